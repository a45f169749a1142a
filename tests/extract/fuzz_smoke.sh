#!/bin/sh
# A short fuzzing run of the ZIP reader and engine, seeded with the corpus ZIPs.
#   fuzz_smoke.sh FUZZER CORPUS_DIR WORK_DIR SECONDS
# Exit 77 (a skip for CTest) when the fuzz program has not been built.
fuzzer=$1 corpus=$2 work=$3 seconds=${4:-25}
if [ ! -x "$fuzzer" ]; then
  echo "no fuzz program at $fuzzer: skipped"
  exit 77
fi
fuzzer=$(cd "$(dirname "$fuzzer")" && pwd)/$(basename "$fuzzer")
mkdir -p "$work/seeds"
if [ -d "$corpus" ]; then
  for f in "$corpus"/zip/*.zip "$corpus"/bad/*zip*; do
    [ -f "$f" ] || continue
    # Large seeds only slow the run down; the small ones cover every feature.
    [ "$(wc -c < "$f")" -le 1048576 ] && cp "$f" "$work/seeds/"
  done
fi
cd "$work" || exit 1
rm -f crash-* leak-* timeout-* oom-*
"$fuzzer" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -max_len=65536 \
          -print_final_stats=1 seeds > fuzz.log 2>&1
status=$?
tail -25 fuzz.log
if [ $status -ne 0 ] || ls crash-* leak-* timeout-* oom-* >/dev/null 2>&1; then
  echo "the fuzzer failed (status $status); failing inputs:" crash-* leak-* timeout-* oom-* 2>/dev/null
  exit 1
fi
exit 0
