#!/usr/bin/env bash
# The end of a drag gives the mouse back: after a body drag a click elsewhere on the
# screen leaves the gadget where it is, and after a grip drag the very next pointer move
# over the body stores the new place.
#
# Under Wine with a window manager the window manager moves the window, and mouse moves
# keep reaching the gadget meanwhile; a drag started again on each of them leaves the
# gadget following the pointer after the release, so that the next press anywhere on
# the screen drags it there.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/lib2.sh"

reg_is() { [ "$(reg_get "$1")" = "$2" ]; }

e2e_setup
e2e2_start 1500 1500 0

drag_from "$BODY_X" "$BODY_Y" 60 40 1
wait_until 10 moved_near 100 100 60 40 || e2e_fail "the body drag ended at $(main_rect)"
before=$(main_rect)
xdotool mousemove 1000 700 click 1
sleep 0.7
e2e_expect_eq "a click on the desktop after a body drag leaves the gadget in place" "$before" "$(main_rect)"
end_press

read -r -a r <<<"$(main_rect)"
drag_from "$GRIP_X" "$GRIP_Y" -40 30 1
wait_until 10 moved_near "${r[0]}" "${r[1]}" -40 30 || e2e_fail "the grip drag ended at $(main_rect)"
read -r top left <<<"$(here_twips)"
reg_delete Top
reg_delete Left
xdotool mousemove $(client_xy "$BODY_X" "$BODY_Y")
e2e_check "the first body move after a grip drag stores Top" wait_until 5 reg_is Top "$top"
e2e_expect_eq "the first body move after a grip drag stores Left" "$left" "$(reg_get Left)"

end_press
mouse_park
e2e_close_and_wait 30
e2e_pass
