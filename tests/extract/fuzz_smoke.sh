#!/bin/sh
# A short fuzzing run of one archive reader, seeded with the corpus archives of
# its format (cabinets also with small LZX and Quantum ones from cabgen.py).
#   fuzz_smoke.sh FUZZER CORPUS_DIR WORK_DIR SECONDS zip|cab|lzh
# Exit 77 (a skip for CTest) when the fuzz program has not been built.
fuzzer=$1 corpus=$2 work=$3 seconds=${4:-25} format=${5:-zip}
if [ ! -x "$fuzzer" ]; then
  echo "no fuzz program at $fuzzer: skipped"
  exit 77
fi
fuzzer=$(cd "$(dirname "$fuzzer")" && pwd)/$(basename "$fuzzer")
cabgen=$(cd "$(dirname "$0")/../cab" && pwd)/cabgen.py
rm -rf "$work"
mkdir -p "$work/seeds"
for f in "$corpus/$format"/* "$corpus"/bad/*"$format"*; do
  # Large seeds only slow the run down; the small ones cover every feature.
  [ -f "$f" ] && [ "$(wc -c < "$f")" -le 1048576 ] && cp "$f" "$work/seeds/"
done
if [ "$format" = cab ]; then
  python3 "$cabgen" lzx 15 "$work/seeds/lzx15.cab" 1 --size 40000 --e8 >/dev/null
  python3 "$cabgen" lzx 21 "$work/seeds/lzx21.cab" 2 --size 3000 >/dev/null
  python3 "$cabgen" quantum 10 "$work/seeds/qtm10.cab" 3 --size 40000 >/dev/null
  python3 "$cabgen" quantum 21 "$work/seeds/qtm21.cab" 4 --size 3000 >/dev/null
fi
cd "$work" || exit 1
# No allocation stacks and a small quarantine: a third less time per run
# (a failing input is kept, and its run repeated with full reports).
export ASAN_OPTIONS="${ASAN_OPTIONS:-malloc_context_size=0:quarantine_size_mb=16}"
"$fuzzer" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -max_len=65536 \
          -print_final_stats=1 seeds > fuzz.log 2>&1
status=$?
tail -25 fuzz.log
if [ $status -ne 0 ] || ls crash-* leak-* timeout-* oom-* >/dev/null 2>&1; then
  echo "the fuzzer failed (status $status); failing inputs:" crash-* leak-* timeout-* oom-* 2>/dev/null
  exit 1
fi
grep -q "Done [0-9]* runs" fuzz.log || { echo "fuzzer did not finish its run"; exit 1; }
