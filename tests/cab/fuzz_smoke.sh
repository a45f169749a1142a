#!/bin/sh
# A short run of the cabinet fuzzer, seeded with the corpus cabinets and small
# LZX and Quantum cabinets written by cabgen.py.
#   fuzz_smoke.sh FUZZER CORPUS_DIR WORK_DIR SECONDS
# Exit 77 (a skip for CTest) when the fuzz program has not been built.
fuzzer=$1 corpus=$2 work=$3 seconds=${4:-20}
here=$(cd "$(dirname "$0")" && pwd)
if [ ! -x "$fuzzer" ]; then
  echo "no fuzz program at $fuzzer: skipped"
  exit 77
fi
fuzzer=$(cd "$(dirname "$fuzzer")" && pwd)/$(basename "$fuzzer")
rm -rf "$work"
mkdir -p "$work/seeds"
if [ -d "$corpus" ]; then
  for f in "$corpus"/cab/*.cab "$corpus"/bad/*cab*; do
    [ -f "$f" ] || continue
    [ "$(wc -c < "$f")" -le 65536 ] && cp "$f" "$work/seeds/"
  done
fi
python3 "$here/cabgen.py" lzx 15 "$work/seeds/lzx15.cab" 1 --size 40000 --e8 >/dev/null
python3 "$here/cabgen.py" lzx 21 "$work/seeds/lzx21.cab" 2 --size 3000 >/dev/null
python3 "$here/cabgen.py" quantum 10 "$work/seeds/qtm10.cab" 3 --size 40000 >/dev/null
python3 "$here/cabgen.py" quantum 21 "$work/seeds/qtm21.cab" 4 --size 3000 >/dev/null
cd "$work" || exit 1
"$fuzzer" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -max_len=65536 \
          -print_final_stats=1 seeds > fuzz.log 2>&1
tail -20 fuzz.log
if ls crash-* leak-* timeout-* oom-* >/dev/null 2>&1; then
  echo "fuzzer found a failing input:" crash-* leak-* timeout-* oom-* 2>/dev/null
  exit 1
fi
grep -q "Done [0-9]* runs" fuzz.log || { echo "fuzzer did not finish its run"; exit 1; }
exit 0
