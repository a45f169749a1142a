#!/usr/bin/env bash
# Picture buttons: pressed and normal looks under the mouse, capture while a button
# is held, no click when the release happens off the button, the looks around a real
# click, and the close button ending the program with its settings saved.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/lib2.sh"

e2e_setup
e2e2_start 1500 1500 0          # the gadget at 100,100 px
mouse_park

# Every button starts with its normal picture.
for b in b_close b_hide b_rach b_thaw; do
    e2e_expect_eq "$b at start" normal "$(wait_look "$b" normal 5)"
done

# Left press on b_rach shows the pressed picture; moving off and releasing there gives
# the normal picture back and no click: the settings window does not open.
read -r x y <<<"$(btn_center b_rach)"
xdotool mousemove "$x" "$y" mousedown 1
e2e_expect_eq "b_rach while held" pressed "$(wait_look b_rach pressed 5)"
xdotool mousemove 400 400
sleep 0.2
e2e_expect_eq "b_rach held, pointer off the button" pressed "$(look_now b_rach)"
xdotool mouseup 1
e2e_expect_eq "b_rach after a release off the button" normal "$(wait_look b_rach normal 5)"
sleep 1.5
e2e_check "no settings window after a release off b_rach" care_hidden

# The same on b_hide: the window must stay where it is.
read -r x y <<<"$(btn_center b_hide)"
xdotool mousemove "$x" "$y" mousedown 1
e2e_expect_eq "b_hide while held" pressed "$(wait_look b_hide pressed 5)"
xdotool mousemove 400 400 sleep 0.2 mouseup 1
e2e_expect_eq "b_hide after a release off the button" normal "$(wait_look b_hide normal 5)"
sleep 1
e2e_expect_eq "window not hidden by a release off b_hide" "100 100 191 95" "$(main_rect)"

# Right button on b_close: pressed, then normal; a right click closes nothing.
read -r x y <<<"$(btn_center b_close)"
xdotool mousemove "$x" "$y" mousedown 3
e2e_expect_eq "b_close while the right button is held" pressed "$(wait_look b_close pressed 5)"
xdotool mouseup 3
e2e_expect_eq "b_close after the right button is released" normal "$(wait_look b_close normal 5)"
sleep 1
e2e_check "the program still runs after a right click on b_close" kill -0 "$PID"

# Two buttons held on b_hide: the first release brings the normal picture back.
read -r x y <<<"$(btn_center b_hide)"
xdotool mousemove "$x" "$y" mousedown 1
wait_look b_hide pressed 5 >/dev/null
xdotool mousedown 3
sleep 0.2
xdotool mouseup 3
e2e_expect_eq "b_hide after the first of two buttons is released" normal "$(wait_look b_hide normal 5)"
xdotool mousemove 400 400 sleep 0.2 mouseup 1
sleep 1
e2e_expect_eq "window not hidden after the two-button press" "100 100 191 95" "$(main_rect)"
e2e_expect_eq "b_hide at the end of the two-button press" normal "$(look_now b_hide)"

# A real click on b_thaw: pressed while held, normal again before its help box shows.
mouse_park
read -r x y <<<"$(btn_center b_thaw)"
xdotool mousemove "$x" "$y" mousedown 1
e2e_expect_eq "b_thaw while held" pressed "$(wait_look b_thaw pressed 5)"
xdotool mouseup 1
if mb=$(wait_msgbox 10); then
    e2e_expect_eq "b_thaw while its help box is open" normal "$(look_now b_thaw)"
    msgbox_answer "$mb" 1 || e2e_fail "the help box did not close"
else
    e2e_check "a click on b_thaw shows its help box" false
fi
# Each button shows only its own pictures: the others stayed normal throughout.
for b in b_close b_hide b_rach; do
    e2e_expect_eq "$b after the other buttons were used" normal "$(look_now "$b")"
done

# The close button ends the program; the settings are saved on the way out.
reg_delete Top
reg_delete Left
reg_delete Act
read -r x y <<<"$(btn_center b_close)"
xdotool mousemove "$x" "$y" mousedown 1
e2e_expect_eq "b_close while held" pressed "$(wait_look b_close pressed 5)"
xdotool mouseup 1
wait_exit "$PID" 20 || e2e_fail "the program did not end after a click on b_close"
PID=""
e2e_expect_eq "Top saved at close" 1500 "$(reg_get Top)"
e2e_expect_eq "Left saved at close" 1500 "$(reg_get Left)"
e2e_expect_eq "Act saved at close" 0 "$(reg_get Act)"
e2e_check "the tray icon is gone after the close" wait_no_window '^Wine System Tray$' 15

e2e_pass
