# Shared helpers of the extraction benchmarks (sourced by bench/zip.sh and
# the CAB and LZH benchmarks). Not tests: they print figures.
#
#   bench_inputs FILE...    make the inputs once (locked, so parallel runs share them)
#   bench_measure NAME CMD  run CMD (into a fresh $BENCH_OUT) REPEAT times, keep the
#                           best wall time and the largest peak memory of the runs
#   bench_report            print the table: wall, MB/s, ratio against the fastest peer
#
# Settings (environment): TARVEX_BENCH_DIR (default /tmp/tarvex-bench),
# BENCH_SCRATCH (outputs; default the same folder), BENCH_SIZE_MB (default 200),
# REPEAT (default 3).

BENCH_DIR=${TARVEX_BENCH_DIR:-/tmp/tarvex-bench}
BENCH_SCRATCH=${BENCH_SCRATCH:-$BENCH_DIR}   # where outputs are written
BENCH_SIZE_MB=${BENCH_SIZE_MB:-200}
REPEAT=${REPEAT:-3}
BENCH_REPO=$(cd "$(dirname "$0")/.." && pwd)
BENCH_RESULTS=""

bench_inputs() {
  # bench_inputs FILE...: the tree and the named archives must be in BENCH_DIR;
  # they are made once by the shared make-inputs.sh when any is missing.
  present=1
  [ -d "$BENCH_DIR/tree" ] || present=0
  for f in "$@"; do [ -s "$BENCH_DIR/$f" ] || present=0; done
  [ $present = 1 ] && return 0
  mkdir -p "$BENCH_DIR"
  (
    flock 9
    missing=0
    [ -d "$BENCH_DIR/tree" ] || missing=1
    for f in "$@"; do [ -s "$BENCH_DIR/$f" ] || missing=1; done
    if [ $missing = 1 ]; then
      echo "making inputs in $BENCH_DIR (${BENCH_SIZE_MB} MB)..." >&2
      sh "$BENCH_REPO/../shared/bench/make-inputs.sh" "$BENCH_DIR" "$BENCH_SIZE_MB" >&2
    fi
  ) 9>"$BENCH_DIR/.lock"
}

# Size of the extracted tree in bytes.
bench_tree_bytes() { du -sb --apparent-size "$BENCH_DIR/tree" | cut -f1; }

# bench_measure NAME IS_PEER(0|1) CMD... ; CMD writes into $BENCH_OUT.
bench_measure() {
  name=$1; peer=$2; shift 2
  best=""; rss=0
  mkdir -p "$BENCH_SCRATCH"
  i=0
  while [ $i -lt "$REPEAT" ]; do
    rm -rf "$BENCH_OUT"; mkdir -p "$BENCH_OUT"; sync
    /usr/bin/time -f "%e %M" -o "$BENCH_SCRATCH/.time" "$@" >/dev/null 2>"$BENCH_SCRATCH/.stderr" || {
      echo "$name failed:" >&2; tail -3 "$BENCH_SCRATCH/.stderr" >&2; return 1; }
    read -r wall kb < "$BENCH_SCRATCH/.time"
    if [ -z "$best" ] || awk "BEGIN{exit !($wall < $best)}"; then best=$wall; fi
    [ "$kb" -gt "$rss" ] && rss=$kb
    i=$((i + 1))
  done
  BENCH_RESULTS="$BENCH_RESULTS$name $peer $best $rss
"
}

bench_report() {
  bytes=$(bench_tree_bytes)
  printf '%s' "$BENCH_RESULTS" | awk -v bytes="$bytes" '
    NF == 4 { name[NR] = $1; peer[NR] = $2; wall[NR] = $3; rss[NR] = $4; n = NR
              if ($2 == 1 && (fast == "" || $3 < fast)) fast = $3 }
    END {
      printf "%-16s %9s %9s %12s %12s\n", "tool", "wall s", "MB/s", "vs fastest", "max RSS MB"
      for (i = 1; i <= n; i++) {
        w = wall[i] > 0 ? wall[i] : 0.01
        printf "%-16s %9.2f %9.1f %11.2fx %12.1f\n", name[i], wall[i], bytes / 1e6 / w,
               (fast == "" ? 1 : w / (fast > 0 ? fast : 0.01)), rss[i] / 1024
      }
      printf "(%d MB tree; best of the runs; vs fastest = wall time / fastest peer wall time)\n", bytes / 1e6
    }'
}
