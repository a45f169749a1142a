#!/usr/bin/env bash
# Close requests end the program and store "Top", "Left" and "Act":
#  - WM_CLOSE after the settle step stores the current place and the stored choice;
#  - Alt+F4 does the same;
#  - a close request within the first second (before the settle step has set the
#    check box from the store) must not turn a stored Act 1 into 0.
source "$(dirname "$0")/lib.sh"
e2e_setup ja_JP.UTF-8

store() { reg_set Top "$1"; reg_set Left "$2"; reg_set Act "$3"; }
expect_store() {
    e2e_expect_eq "$1: stored Top" "$2" "$(reg_get Top)"
    e2e_expect_eq "$1: stored Left" "$3" "$(reg_get Left)"
    e2e_expect_eq "$1: stored Act" "$4" "$(reg_get Act)"
}

e2e_log "case: WM_CLOSE after the settle step"
store 1500 2250 1
e2e_start
wait_settled 8 || e2e_note "total memory never drawn"
e2e_close_and_wait 20
expect_store "WM_CLOSE" 1500 2250 1

e2e_log "case: Alt+F4"
store 3000 4500 0
e2e_start
wait_settled 8 || e2e_note "total memory never drawn"
# The key-up may reach a window that is already gone; that error is harmless.
xdotool key --window "$WID" alt+F4 2>/dev/null
wait_exit "$PID" 20 || e2e_fail "Alt+F4 did not end the program within 20 s"
PID=""
expect_store "Alt+F4" 3000 4500 0

e2e_log "case: close within the first second"
# Stored Top 0: the load step shows the window at 3000/3700 and the settle step
# would move it to 0/0, so the stored place tells whether the close came first.
store 0 0 1
e2e_start
xdotool key --window "$WID" alt+F4 2>/dev/null     # quickest close request there is
wait_exit "$PID" 20 || e2e_fail "early close did not end the program within 20 s"
PID=""
if [ "$(reg_get Top)" != 0 ]; then
    echo "ok: the close came before the settle step" >&2
    e2e_expect_eq "early close: stored place is the load step's" "3700 3000" "$(reg_get Top) $(reg_get Left)"
else
    e2e_note "the close came after the settle step (stored $(reg_get Top)/$(reg_get Left)); the early case was not reached"
fi
e2e_expect_eq "early close: stored Act" 1 "$(reg_get Act)"

e2e_log "case: two close requests in a row"
store 1500 2250 0
e2e_start
wait_settled 8 || true
wid=$(wintool find "$TITLE" | head -1 | sed 's/^hwnd=\([^ ]*\).*/\1/')
wintool post "hwnd:$wid" 0x10 || e2e_fail "first WM_CLOSE not posted"
wintool post "hwnd:$wid" 0x10 || true     # the window may be gone already
wait_exit "$PID" 20 || e2e_fail "the program did not end after two WM_CLOSE"
PID=""
expect_store "double close" 1500 2250 0
e2e_pass
