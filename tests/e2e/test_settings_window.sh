#!/usr/bin/env bash
# The settings window: opened by b_rach right below the gadget, modal, the readouts
# paused and the status line set while it is open; OK shows the next-start message and
# resumes the readouts; the check box reaches the store ("Act") with the next body move;
# reopening shows the box as it was left.
#
# Whether the gadget really becomes topmost is not checked here: Wine 8 ignores
# HWND_TOPMOST for a window that owns tooltip windows, so the check would fail for a
# correct program.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/lib2.sh"

NOTE_TEXT='最前面表示機能をOFFにした場合は、次回起動時から有効です。'

# box_sig: checksum of the check box's square (the left 16 pixels of the control).
box_sig() {
    local r
    r=$(child_rect "$(care_hwnd)" "$ACTC_ID") || return 1
    set -- $r
    import -window root -crop "16x${4}+$1+$2" +repage rgb:- 2>/dev/null | md5sum | cut -c1-32
}
box_sig_is_not() { [ "$(box_sig)" != "$1" ]; }
body_move() { xdotool mousemove $(client_xy $((BODY_X + ${1:-0})) "$BODY_Y"); }
care_rect_is() { [ "$(care_rect)" = "$1" ]; }
reg_is() { [ "$(reg_get "$1")" = "$2" ]; }

open_settings() {
    xdotool mousemove $(btn_center b_rach) click 1
    wait_until 10 care_visible || e2e_fail "the settings window did not open"
}
# press_ok_and_check_note WHAT: presses OK, checks the message box, closes it.
press_ok_and_check_note() {
    local mb
    click_child "$(care_hwnd)" "$OK_ID" || e2e_fail "cannot press OK"
    if ! mb=$(wait_msgbox 5); then
        # a click that lands while the window is still settling can be lost: once more
        e2e_note "no message box 5 s after OK ($1); pressing OK again"
        click_child "$(care_hwnd)" "$OK_ID"
        mb=$(wait_msgbox 10) || { screenshot_root "$T/no-box.png"; e2e_fail "no message box after OK ($1)"; }
    fi
    expect_text "message box text after OK ($1)" "$NOTE_TEXT" "$(msgbox_text "$mb")"
    e2e_expect_eq "message box icon after OK ($1)" information "$(msgbox_icon "$mb")"
    e2e_expect_eq "message box buttons after OK ($1)" "1:OK" "$(msgbox_buttons "$mb")"
    e2e_check "readouts still paused while the message box is open ($1)" readouts_still 2
    msgbox_answer "$mb" 1 || e2e_fail "the message box did not close ($1)"
    e2e_check "settings window hidden after OK ($1)" wait_until 10 care_hidden
}

e2e_setup
e2e2_start 1500 1500 0
mem_churn_start
mouse_park
readouts_change 15 || e2e_fail "the readouts do not change at all, so a pause cannot be seen"

open_settings
wait_until 5 care_rect_is "100 195 191 65"
e2e_expect_eq "settings window right below the gadget, same left, 191x65" "100 195 191 65" "$(care_rect)"
e2e_expect_eq "gadget stays in place" "100 100 191 95" "$(main_rect)"
e2e_check "the status line shows a text while the settings window is open" status_shown
mouse_park
e2e_check "readouts paused while the settings window is open" readouts_still 3

ACTC_ID=$(care_child_id '常に最前面表示')
OK_ID=$(care_child_id '&OK')
[ -n "$ACTC_ID" ] || e2e_fail "no check box '常に最前面表示' in the settings window: $(wintool children "hwnd:$(care_hwnd)")"
[ -n "$OK_ID" ] || e2e_fail "no button '&OK' in the settings window"

# The gadget takes no input while the settings window is open.
xdotool mousemove $(btn_center b_thaw) click 1
sleep 1.5
e2e_check "a click on the gadget while the settings window is open does nothing" no_msgbox

# Tick the box.
unticked=$(box_sig)
click_child "$(care_hwnd)" "$ACTC_ID"
mouse_park  # a themed box looks different under the pointer
sleep 0.5
e2e_check "the check box shows a tick" wait_until 5 box_sig_is_not "$unticked"
ticked=$(box_sig)
press_ok_and_check_note "box ticked"
mouse_park
e2e_check "readouts run again after OK" readouts_change 10
e2e_check "status line empty again after OK" wait_status_empty 5
e2e_check "the program still runs after the topmost request" kill -0 "$PID"

# The choice reaches the store with the next body move, not with OK.
reg_delete Act
body_move
e2e_check "Act 1 stored by the next body move" wait_until 5 reg_is Act 1

# Reopen: the box is as it was left; untick it and press OK again.
open_settings
e2e_expect_eq "check box still ticked on reopening" "$ticked" "$(box_sig)"
click_child "$(care_hwnd)" "$ACTC_ID"
mouse_park
sleep 0.5
e2e_check "the tick goes away" wait_until 5 box_sig_is_not "$ticked"
press_ok_and_check_note "box unticked"
mouse_park
e2e_check "readouts run again after the second OK" readouts_change 10
body_move 1
e2e_check "Act 0 stored by the next body move" wait_until 5 reg_is Act 0

# A close request from outside saves the choice as well.
mouse_park
e2e_close_and_wait 30
e2e_expect_eq "Act stored at close" 0 "$(reg_get Act)"
e2e_expect_eq "Top stored at close" 1500 "$(reg_get Top)"

e2e_pass
