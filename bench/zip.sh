#!/bin/sh
# Benchmark: extract the ~200 MB mixed-tree ZIP with tarvex-extract (UnZip),
# unzip and bsdtar in the same run; print wall time, MB/s, the ratio against
# the fastest peer and peak memory. Checks the tarvex output against the tree.
#
# usage: bench/zip.sh [HARNESS]   (default build/native/tarvex-extract)
#   TARVEX_BENCH_DIR=/tmp/tarvex-bench BENCH_SCRATCH=/tmp/out BENCH_SIZE_MB=200 REPEAT=3 bench/zip.sh
set -eu
. "$(dirname "$0")/lib.sh"
HARNESS=${1:-$BENCH_REPO/build/native/tarvex-extract}
[ -x "$HARNESS" ] || { echo "no harness at $HARNESS (build it first)" >&2; exit 1; }
bench_inputs bench.zip
ZIP=$BENCH_DIR/bench.zip
BENCH_OUT=$BENCH_SCRATCH/out-zip
echo "archive: $ZIP ($(du -m "$ZIP" | cut -f1) MB, $(find "$BENCH_DIR/tree" -type f | wc -l) files)"

bench_measure tarvex-extract 0 "$HARNESS" UnZip "$ZIP" "$BENCH_OUT"
if ! diff -r "$BENCH_DIR/tree" "$BENCH_OUT/tree" >/dev/null 2>&1 && ! diff -r "$BENCH_DIR/tree" "$BENCH_OUT" >/dev/null 2>&1; then
  echo "tarvex-extract output differs from the tree" >&2
  exit 1
fi
bench_measure unzip 1 unzip -q -o "$ZIP" -d "$BENCH_OUT"
bench_measure bsdtar 1 bsdtar -xf "$ZIP" -C "$BENCH_OUT"
rm -rf "$BENCH_OUT"
bench_report
