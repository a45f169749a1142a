#!/bin/sh
# Benchmark of LZH extraction (not a test): the Unlha archiver of the
# extraction harness against lhasa and bsdtar, extracting the same
# archive to disk in the same run. For -lh5-, -lh6- and -lh7- archives of the
# shared benchmark tree it prints wall time, MB/s of extracted data, the ratio
# to the fastest peer (above 1.00 = faster than that peer), CPU time (user +
# system) with its own ratio, and peak RSS. On a shared machine the wall time
# swings with the other load; the CPU time is the steadier comparison.
#
# usage: bench/lzh.sh [HARNESS] [WORKDIR] [SIZE_MB] [RUNS]
#   HARNESS  tarvex-extract (default: build/native/tarvex-extract)
#   WORKDIR  where the inputs are made and extracted (default /tmp/tarvex-lzh-bench)
#   SIZE_MB  size of the tree (default 200), RUNS best-of count (default 3)
# needs: python3 jlha-utils lhasa libarchive-tools zip gcab cabextract, GNU time
# (the 'lha' command may be jLHA, a Java program: lhasa is called by its name)
#
# The long fuzzing run (goal 10 million executions) is, from a clang build
# configured with -DTARVEX_FUZZ=ON in build/fuzz:
#   mkdir -p /tmp/lzh-corpus && cp ../shared/corpus/lzh/* ../shared/corpus/bad/*lzh* /tmp/lzh-corpus/
#   build/fuzz/fuzz_lzh -runs=10000000 -max_len=65536 -rss_limit_mb=1024 -timeout=10 -jobs=2 /tmp/lzh-corpus
set -eu
HERE=$(cd "$(dirname "$0")/.." && pwd)
HARNESS=${1:-$HERE/build/native/tarvex-extract}
WORK=${2:-/tmp/tarvex-lzh-bench}
SIZE_MB=${3:-200}
RUNS=${4:-3}
HARNESS=$(cd "$(dirname "$HARNESS")" && pwd)/$(basename "$HARNESS")
[ -x "$HARNESS" ] || { echo "no harness at $HARNESS" >&2; exit 1; }
mkdir -p "$WORK"
WORK=$(cd "$WORK" && pwd)

if [ ! -f "$WORK/bench_lh5.lzh" ] || [ "$(cat "$WORK/size" 2>/dev/null)" != "$SIZE_MB" ]; then
  sh "$HERE/../shared/bench/make-inputs.sh" "$WORK" "$SIZE_MB"
  rm -f "$WORK/bench_lh6.lzh" "$WORK/bench_lh7.lzh"
  echo "$SIZE_MB" > "$WORK/size"
fi
for m in 6 7; do
  [ -f "$WORK/bench_lh$m.lzh" ] || (cd "$WORK" && jlha a2o${m}q "bench_lh$m.lzh" tree)
done
TREE_BYTES=$(du -sb --apparent-size "$WORK/tree" | cut -f1)

# run NAME ARCHIVE: best wall time (s), the CPU time (s) and peak RSS (KB) of
# that run, over RUNS runs, each into a fresh empty folder.
run() {
  tool=$1 archive=$2 best="" rss="" cpu=""
  i=0
  while [ $i -lt "$RUNS" ]; do
    out="$WORK/out-$tool"
    rm -rf "$out" && mkdir -p "$out"
    sync
    case $tool in
      tarvex) set -- "$HARNESS" Unlha "$archive" "$out" ;;
      lhasa)  set -- sh -c 'cd "$1" && lhasa xq "$2" </dev/null' sh "$out" "$archive" ;;
      bsdtar) set -- bsdtar -x -f "$archive" -C "$out" ;;
    esac
    /usr/bin/time -f "%e %M %U %S" -o "$WORK/time.txt" "$@" >/dev/null 2>&1 || { echo "$tool failed on $archive" >&2; }
    read -r t m u s < "$WORK/time.txt"
    if [ -z "$best" ] || awk "BEGIN{exit !($t < $best)}"; then best=$t; rss=$m; cpu=$(awk "BEGIN{print $u + $s}"); fi
    i=$((i + 1))
  done
  # Check the output against the tree (content only).
  if ! diff -r -q "$WORK/tree" "$out/tree" >/dev/null 2>&1; then echo "  ($tool: output differs from the tree)" >&2; fi
  rm -rf "$out"
  echo "$best $rss $cpu"
}

printf '%-8s %-8s %8s %9s %10s %8s %10s %9s\n' method tool wall_s MB/s vs_fastest cpu_s vs_fastest peak_MB
for m in 5 6 7; do
  a="$WORK/bench_lh$m.lzh"
  set -- $(run tarvex "$a"); tt=$1 tr=$2 tc=$3
  set -- $(run lhasa "$a"); lt=$1 lr=$2 lc=$3
  set -- $(run bsdtar "$a"); bt=$1 br=$2 bc=$3
  fastest=$(awk "BEGIN{print ($lt < $bt) ? $lt : $bt}")
  fastcpu=$(awk "BEGIN{print ($lc < $bc) ? $lc : $bc}")
  for row in "tarvex $tt $tr $tc" "lhasa $lt $lr $lc" "bsdtar $bt $br $bc"; do
    set -- $row
    awk -v m="-lh$m-" -v n="$1" -v t="$2" -v r="$3" -v c="$4" -v b="$TREE_BYTES" -v f="$fastest" -v fc="$fastcpu" 'BEGIN{
      printf "%-8s %-8s %8.2f %9.1f %10.2f %8.2f %10.2f %9.1f\n", m, n, t, (t > 0 ? b / 1e6 / t : 0), (t > 0 ? f / t : 0),
             c, (c > 0 ? fc / c : 0), r / 1024 }'
  done
done
