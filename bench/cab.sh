#!/bin/sh
# Cabinet extraction speed: tarvex-extract Cab against cabextract and 7z on
# the same input in the same run, extracting to disk.
#
#   bench/cab.sh [HARNESS] [INPUTS_DIR] [RUNS]
#
# HARNESS    the native harness (default build/native/tarvex-extract)
# INPUTS_DIR holds bench_mszip.cab and tree/ from shared/bench/make-inputs.sh;
#            made there when missing (default /tmp/tarvex-bench)
# RUNS       timed runs per tool, interleaved (default 3); the best is kept
# LZX_MB     environment: size of an extra LZX (2^21) benchmark cabinet
#            written by tests/cab/cabgen.py (default 32; 0 skips it)
# OUT_DIR    environment: where the tools extract to (default inside
#            INPUTS_DIR); a tmpfs such as /dev/shm takes the disk's write-back
#            out of the comparison on a busy machine
#
# Prints, per input and tool: best wall time, MB/s of extracted data, ratio
# to the fastest peer's time (below 1.0 is faster) and peak RSS.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
HARNESS=${1:-$ROOT/build/native/tarvex-extract}
INPUTS=${2:-/tmp/tarvex-bench}
RUNS=${3:-3}
LZX_MB=${LZX_MB:-32}
HARNESS=$(cd "$(dirname "$HARNESS")" && pwd)/$(basename "$HARNESS")
[ -x "$HARNESS" ] || { echo "no harness at $HARNESS" >&2; exit 1; }
for t in cabextract 7z /usr/bin/time python3; do
  command -v "$t" >/dev/null || { echo "needs $t" >&2; exit 1; }
done

if [ ! -f "$INPUTS/bench_mszip.cab" ]; then
  sh "$ROOT/../shared/bench/make-inputs.sh" "$INPUTS" 200
fi
mkdir -p "${OUT_DIR:-$INPUTS}"
WORK=$(mktemp -d "${OUT_DIR:-$INPUTS}/cab_bench_XXXXXX")
trap 'rm -rf "$WORK"' EXIT

# run TOOL CAB DEST -> prints "seconds rss_kb"
run() {
  tool=$1 cab=$2 dest=$3
  rm -rf "$dest"
  mkdir -p "$dest"
  case $tool in
    tarvex) set -- "$HARNESS" Cab "$cab" "$dest" ;;
    cabextract) set -- cabextract -q -d "$dest" "$cab" ;;
    7z) set -- 7z x -y -bd -o"$dest" "$cab" ;;
  esac
  sync
  /usr/bin/time -v "$@" > "$WORK/out.txt" 2> "$WORK/time.txt" || {
    echo "$tool failed on $cab" >&2
    cat "$WORK/out.txt" "$WORK/time.txt" >&2
    exit 1
  }
  wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$WORK/time.txt")
  rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$WORK/time.txt")
  secs=$(echo "$wall" | awk -F: '{ s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; print s }')
  echo "$secs $rss"
}

bench() {
  label=$1 cab=$2 bytes=$3 check=$4
  echo "== $label: $(basename "$cab"), $(($(stat -c %s "$cab") / 1000000)) MB packed, $((bytes / 1000000)) MB out"
  for tool in tarvex cabextract 7z; do echo "99999 0" > "$WORK/best_$tool"; done
  i=0
  while [ $i -lt "$RUNS" ]; do
    for tool in tarvex cabextract 7z; do
      r=$(run $tool "$cab" "$WORK/out_$tool")
      # keep the fastest run and its RSS
      awk -v r="$r" '{ split(r, a, " "); if (a[1] < $1) print r; else print $0 }' "$WORK/best_$tool" > "$WORK/b"
      mv "$WORK/b" "$WORK/best_$tool"
      if [ $i -eq 0 ] && [ $tool = tarvex ]; then $check "$WORK/out_tarvex"; fi
      rm -rf "$WORK/out_$tool"
    done
    i=$((i + 1))
  done
  fastest=$(cat "$WORK/best_cabextract" "$WORK/best_7z" | awk 'NR == 1 || $1 < m { m = $1 } END { print m }')
  printf '%-11s %8s %8s %12s %10s\n' tool seconds MB/s ratio peak_RSS_MB
  for tool in tarvex cabextract 7z; do
    read -r secs rss < "$WORK/best_$tool"
    awk -v t=$tool -v s="$secs" -v r="$rss" -v b="$bytes" -v f="$fastest" \
      'BEGIN { printf "%-11s %8.2f %8.1f %12.2f %10.1f\n", t, s, b / 1e6 / s, s / f, r / 1024 }'
  done
}

check_tree() {
  diff -r "$INPUTS/tree" "$1/tree" > /dev/null || { echo "tarvex output differs from the tree" >&2; exit 1; }
}
tree_bytes=$(find "$INPUTS/tree" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')
bench "MSZIP (gcab -cz)" "$INPUTS/bench_mszip.cab" "$tree_bytes" check_tree

if [ "$LZX_MB" -gt 0 ]; then
  # Matches reach at most window - 4 back: 7z misreads the largest distance.
  lzx="$INPUTS/bench_lzx21_${LZX_MB}mb_d4.cab"
  if [ ! -f "$lzx" ]; then
    python3 "$ROOT/tests/cab/cabgen.py" lzx 21 "$lzx" 2026 --size $((LZX_MB * 1000000)) --e8 \
      --max-dist $((2097152 - 4)) > "$lzx.sha256"
  fi
  check_lzx() {
    want=$(cut -d' ' -f1 "$lzx.sha256")
    got=$(sha256sum "$1/payload.bin" | cut -d' ' -f1)
    [ "$want" = "$got" ] || { echo "tarvex LZX output differs" >&2; exit 1; }
  }
  bench "LZX 2^21 (tests/cab/cabgen.py plan, not a real compressor)" "$lzx" $((LZX_MB * 1000000)) check_lzx
fi
