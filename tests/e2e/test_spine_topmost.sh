#!/usr/bin/env bash
# Stored "Act": exactly 1 makes the gadget topmost after the settle step;
# 0, empty and non-numeric texts leave it an ordinary window.
# Wine 8 ignores HWND_TOPMOST for a window that owns other top-level windows
# (tooltips, or a hidden settings window owned by it), so when the flag is missing
# while the gadget owns such windows, the check reports that and only asserts that
# the program keeps running (the request itself is unit-tested).
source "$(dirname "$0")/lib.sh"
e2e_setup ja_JP.UTF-8

QUIRK=0
run_case() {
    local name=$1 act=$2 want=$3 got owned
    e2e_log "case: $name"
    reg_set Top 1500
    reg_set Left 2250
    reg_set Act "$act"
    e2e_start
    # Before the settle step (about a second after start) the gadget is an
    # ordinary window. Judged only when the look comes within 0.3 s of the
    # window's appearance: on a loaded machine the settle step can come first.
    got=$(xprop -id "$WID" _NET_WM_STATE 2>/dev/null | grep -c ABOVE)
    if [ "$(echo "$(date +%s.%N) - $E2E_WINDOW_TIME < 0.3" | bc)" = 1 ]; then
        e2e_expect_eq "$name: not topmost before the settle step" 0 "$got"
    else
        e2e_note "$name: first look too late for the state before the settle step"
    fi
    wait_settled 8 || e2e_note "$name: total memory never drawn"
    got=$(wintool topmost "$TITLE")
    if [ "$want" = 1 ] && [ "$got" != 1 ]; then
        owned=$(owned_count)
        if [ "${owned:-0}" -gt 0 ]; then
            e2e_note "$name: WS_EX_TOPMOST missing while the window owns $owned window(s)" \
                "($(wintool owned "$TITLE" | sed 's/.*class=\([^ ]*\).*/\1/' | sort | uniq -c | tr -s ' \n' ' '))" \
                "- the known Wine 8 behaviour, not judged here"
            QUIRK=1
        else
            e2e_expect_eq "$name: topmost after the settle step" 1 "$got"
        fi
    else
        e2e_expect_eq "$name: topmost after the settle step" "$want" "$got"
    fi
    if [ "$want" = 1 ] && [ "$got" = 1 ]; then
        # With a window manager the X window carries the "above" state too.
        e2e_check "$name: _NET_WM_STATE_ABOVE" bash -c "xprop -id $WID _NET_WM_STATE | grep -q ABOVE"
    fi
    e2e_check "$name: program still running" kill -0 "$PID"
    e2e_close_and_wait 20
    e2e_expect_eq "$name: Act kept in the store" "$(printf '%s' "$act" | awk '{v=$1+0} END {print (v==1)?1:0}')" "$(reg_get Act)"
}

run_case "Act 1"        1     1
run_case "Act 0"        0     0
run_case "Act empty"    ""    0
run_case "Act letters"  "yes" 0
run_case "Act padded 1" " 1"  1
[ "$QUIRK" = 1 ] && e2e_note "topmost could not be observed under this Wine; see above"
e2e_pass
