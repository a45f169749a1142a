#!/usr/bin/env bash
# A second copy started while one runs is not refused: two independent gadgets
# run side by side, and closing one leaves the other running.
source "$(dirname "$0")/lib.sh"
e2e_setup ja_JP.UTF-8

reg_set Top 1500
reg_set Left 2250
e2e_start
wait_settled 8 || e2e_note "first copy: total memory never drawn"
first_winpid=$(wintool pid "$TITLE")

wine "$EXE" >"$T/exe2.out" 2>&1 &
PID2=$!
E2E_BG_PIDS+=("$PID2")
two_mains() { [ "$(wintool find "$TITLE" | grep -vc 'class=#32770 ')" -ge 2 ]; }
wait_until 40 two_mains || e2e_fail "the second copy shows no window of its own"
second=$(wintool find "$TITLE" | grep -v 'class=#32770 ' | grep -v "pid=$first_winpid " | head -1 | sed 's/^hwnd=\([^ ]*\).*/\1/')
[ -n "$second" ] || e2e_fail "cannot tell the second copy's window from the first's"
sleep 2      # let the second copy reach its settle step too

wintool post "hwnd:$second" 0x10 || e2e_fail "close request to the second copy failed"
wait_exit "$PID2" 20 || e2e_fail "the second copy did not end after its close request"
e2e_check "first copy still running" kill -0 "$PID"
e2e_expect_eq "first copy's window still there" 1 "$(wintool visible "$TITLE")"
e2e_expect_eq "first copy still at its place" "150 100 191 95" "$(wintool rect "$TITLE")"
e2e_close_and_wait 20
e2e_pass
