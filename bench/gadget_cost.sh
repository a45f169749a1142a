#!/usr/bin/env bash
# Cost of the running gadget: CPU seconds and resident memory of tarvex.exe over
# a measuring window (60 s by default), against a do-nothing Win32 window
# (idlewin.exe) measured in the same run, in the same prefix, one after the other.
# Also the prefix's wineserver's share and Xvfb's, since every repaint costs there.
# The pointer is parked away from both windows (a hovered tooltip costs CPU).
#
# Usage: bench/gadget_cost.sh [SECONDS]
# Environment: as for the end-to-end tests (TARVEX_WIN_BUILD_DIR, TARVEX_EXE,
# TARVEX_TOOLS, E2E_WORK).
# Goal: the readouts add less than 60 ms of CPU per minute over the do-nothing window.
SECS=${1:-60}
E2E_DEADLINE=${E2E_DEADLINE:-0}     # no test watchdog: the measurement takes minutes
source "$(dirname "$0")/../tests/e2e/lib.sh"
TEST_NAME=gadget_cost
[ -f "$TOOLS/idlewin.exe" ] || e2e_fail "helper not built: $TOOLS/idlewin.exe"
e2e_setup ja_JP.UTF-8

# measure PID NAME: prints "cpu_s wineserver_s xvfb_s rss_kb" over SECS seconds.
measure() {
    local p=$1 ws a b wa wb xa xb
    ws=$(prefix_wineserver_pid) || e2e_fail "no wineserver for $WINEPREFIX"
    mouse_park
    a=$(proc_cpu "$p"); wa=$(proc_cpu "$ws"); xa=$(proc_cpu "$XPID")
    sleep "$SECS"
    b=$(proc_cpu "$p"); wb=$(proc_cpu "$ws"); xb=$(proc_cpu "$XPID")
    echo "$(echo "$b - $a" | bc) $(echo "$wb - $wa" | bc) $(echo "$xb - $xa" | bc) $(proc_rss_kb "$p")"
}

# 1. The do-nothing window.
wine "$TOOLS/idlewin.exe" >/dev/null 2>&1 &
IDLE=$!
E2E_BG_PIDS+=("$IDLE")
wait_window '^IdleWin$' 40 >/dev/null || e2e_fail "idlewin did not show its window"
sleep 3
read -r idle_cpu idle_ws idle_x idle_rss <<<"$(measure "$IDLE")"
wintool close IdleWin
wait_exit "$IDLE" 20 || kill -KILL "$IDLE"

# 2. The gadget, after its start-up has settled.
e2e_start
wait_settled 10 || e2e_note "total memory never drawn"
sleep 3
digits=$(digits_now)
read -r t_cpu t_ws t_x t_rss <<<"$(measure "$PID")"
e2e_check "gadget still running after the measurement" kill -0 "$PID"
e2e_close_and_wait 20

per_min() { echo "scale=3; $1 * 60 / $SECS" | bc; }
extra_ms=$(echo "($t_cpu - $idle_cpu) * 60000 / $SECS" | bc)
extra_all_ms=$(echo "($t_cpu + $t_ws + $t_x - $idle_cpu - $idle_ws - $idle_x) * 60000 / $SECS" | bc)
echo
echo "Gadget cost over $SECS s (readouts showed: $digits)"
printf '%-22s %12s %14s %10s %12s\n' "" "process CPU s" "wineserver s" "Xvfb s" "RSS kB"
printf '%-22s %12s %14s %10s %12s\n' "do-nothing window" "$idle_cpu" "$idle_ws" "$idle_x" "$idle_rss"
printf '%-22s %12s %14s %10s %12s\n' "tarvex.exe" "$t_cpu" "$t_ws" "$t_x" "$t_rss"
echo "per minute: tarvex.exe $(per_min "$t_cpu") s, do-nothing $(per_min "$idle_cpu") s"
echo "extra CPU of the gadget process: ${extra_ms} ms per minute (goal: < 60 ms)"
echo "extra CPU including wineserver and Xvfb: ${extra_all_ms} ms per minute"
echo "extra resident memory: $((t_rss - idle_rss)) kB"
if [ "$extra_ms" -lt 60 ]; then echo "goal met"; else echo "goal NOT met"; fi
e2e_pass
