#!/usr/bin/env bash
# The free-memory strip follows the machine while the gadget runs, stands still
# while the settings window is open (the readouts are paused), and follows again
# after its OK. While it is open, the settings window's own frame is checked too. A helper on the host allocates and frees 300 MB in turns so that
# the free memory moves by more than the strip's last digit.
source "$(dirname "$0")/lib.sh"
e2e_setup ja_JP.UTF-8

free_strip() { digits_now | cut -d' ' -f4; }
# changes_within SECONDS REF: succeeds when the free strip shows something other than REF.
changes_within() {
    local end=$(($(date +%s%N) / 1000000 + $1 * 1000)) now
    while [ $(($(date +%s%N) / 1000000)) -lt "$end" ]; do
        now=$(free_strip)
        if [ -n "$now" ] && [ "$now" != "$2" ]; then
            e2e_log "free strip $2 -> $now"
            return 0
        fi
        sleep 0.2
    done
    return 1
}

# msgbox_hwnd: Win32 handle of the program's visible message box (caption "Tarvex").
msgbox_hwnd() {
    wintool find "$TITLE" | grep 'visible=1 class=#32770 ' | head -1 | sed 's/^hwnd=\([^ ]*\).*/\1/'
}
has_msgbox() { [ -n "$(msgbox_hwnd)" ]; }

e2e_bg python3 -c '
import time
while True:
    b = b"\x01" * (300 << 20)
    time.sleep(0.4)
    del b
    time.sleep(0.4)
'

e2e_start
wait_settled 8 || e2e_fail "the total memory was never drawn"
sleep 0.5
ref=$(free_strip)
e2e_check "free strip drawn ($ref)" [ "$ref" != 0000.000 ]
e2e_check "free strip changes while running" changes_within 8 "$ref"

# Pause: open the settings window with the settings button.
click_client $BRACH_CENTER
mouse_park
FORM1=$(wait_window '^Form1$' 10) || e2e_fail "the settings button did not open the settings window ('Form1') within 10 s"
sleep 0.5     # a tick that was already queued may still land
# The settings window carries the same bevel along its own edges (191 x 65).
screenshot "$FORM1" "$T/form1.png"
e2e_expect_eq "settings window size" "191 65" "$(win_geometry "$FORM1" | cut -d' ' -f3,4)"
e2e_expect_eq "settings window frame bevel" ok "$(img ring "$T/form1.png" | head -1)"
paused=$(digits_now)
e2e_log "paused at: $paused"
for i in 1 2 3 4; do
    sleep 0.75
    e2e_expect_eq "readouts frozen while the settings window is open (${i})" "$paused" "$(digits_now)"
done

# Resume: OK closes the settings window and the readouts move again.
ok=$(wintool children Form1 | grep -E 'text=&?OK$' | head -1)
[ -n "$ok" ] || e2e_fail "no OK button in the settings window"
read -r bx by bw bh <<<"$(sed 's/.* rect=\([-0-9]*\),\([-0-9]*\),\([0-9]*\),\([0-9]*\) .*/\1 \2 \3 \4/' <<<"$ok")"
xdotool mousemove $((bx + bw / 2)) $((by + bh / 2)) click 1
mouse_park
# OK first tells, in a message box, when switching off takes effect; the
# readouts stay paused until that box is closed.
wait_until 10 has_msgbox || e2e_fail "OK showed no message box"
mb=$(msgbox_hwnd)
sleep 0.6
e2e_expect_eq "readouts still frozen while the message box is open" "$paused" "$(digits_now)"
wintool post "hwnd:$mb" 0x111 1 || e2e_fail "could not press OK in the message box"   # WM_COMMAND IDOK
wait_no_window '^Form1$' 10 || e2e_fail "the settings window stayed open after OK"
e2e_check "free strip changes again after OK" changes_within 8 "$(cut -d' ' -f4 <<<"$paused")"
e2e_close_and_wait 20
e2e_pass
