#!/usr/bin/env bash
# Dragging the gadget and the position memory: a left drag on the bare body moves the
# window, every pointer move over the body writes Top, Left and Act, a right-button move
# writes without dragging, a drag on the grip Image6 writes nothing until the next body
# move, presses on elements never drag, and an early move cannot lose a stored Act of 1.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/lib2.sh"

# reg_is NAME VALUE: the stored text is exactly VALUE.
reg_is() { [ "$(reg_get "$1")" = "$2" ]; }
# reg_absent NAME...: none of the values is stored.
reg_absent() {
    local n
    for n in "$@"; do reg_get "$n" >/dev/null && return 1; done
    return 0
}
# rect_of_now: main_rect, failing the test when the window cannot be found.
rect_of_now() {
    local r
    r=$(main_rect)
    [ -n "$r" ] || e2e_fail "wintool cannot find the gadget any more"
    echo "$r"
}
forget() { reg_delete Top; reg_delete Left; reg_delete Act; }
# body_move [DX]: moves the pointer onto the bare body (DX pixels right of the usual point).
body_move() {
    local p
    p=$(client_xy $((BODY_X + ${1:-0})) "$BODY_Y")
    xdotool mousemove $p
}

e2e_setup
reg_set Top 1500
reg_set Left 1500
reg_set Act 1
e2e_start
MAIN_HWND=""
# Pointer moves over the body within the first second, before the settle step has
# given the check box the stored Act: they must not store Act 0.
for i in 1 2 3 4 5 6 7 8; do
    body_move $((i % 3))
    sleep 0.15
done
wait_status_empty 15 || e2e_fail "the status line never emptied (settle step missing?)"
body_move 2
sleep 0.5
e2e_expect_eq "stored Act after body moves during the first second" 1 "$(reg_get Act)"

# A plain move over the body writes all three values; the window stays.
forget
body_move 1
e2e_check "a body move writes Top" wait_until 5 reg_is Top 1500
e2e_expect_eq "Left written by a body move" 1500 "$(reg_get Left)"
e2e_expect_eq "Act written by a body move" 1 "$(reg_get Act)"
e2e_expect_eq "a plain move does not move the window" "100 100 191 95" "$(main_rect)"

# Moves over elements (a button, a digit panel, the grip) write nothing.
forget
xdotool mousemove $(btn_center b_thaw)
sleep 0.3
xdotool mousemove $(client_xy $PANEL_X $PANEL_Y)
sleep 0.3
xdotool mousemove $(client_xy $GRIP_X $GRIP_Y)
sleep 1.2
e2e_check "moves over b_thaw, Picture2 and Image6 write nothing" reg_absent Top Left Act

# Left drag on the body: the window follows; the next body move stores the new place.
drag_from "$BODY_X" "$BODY_Y" 60 40 1
e2e_check "a body drag moves the window by about (60,40)" wait_until 10 moved_near 100 100 60 40
e2e_log "after body drag: $(main_rect)"
read -r top left <<<"$(here_twips)"
body_move 1
e2e_check "Top of the new place stored after the drag" wait_until 5 reg_is Top "$top"
e2e_expect_eq "Left of the new place stored after the drag" "$left" "$(reg_get Left)"
end_press
here=$(rect_of_now)
read -r top left <<<"$(here_twips)"

# Right button held on the body while moving: no drag, but the values are written.
forget
drag_from "$BODY_X" "$BODY_Y" 12 8 3
e2e_check "right-button moves write Top" wait_until 5 reg_is Top "$top"
e2e_expect_eq "right-button moves do not drag" "$here" "$(main_rect)"

# A left press on the memory panel does not drag the window.
drag_from "$PANEL_X" "$PANEL_Y" 30 20 1
sleep 0.5
e2e_expect_eq "a press on Picture2 does not drag" "$here" "$(main_rect)"

# Drag on the grip: the window moves, nothing is stored until the pointer moves over
# the body. (That the very next body move stores it, with no press in between, is
# checked in test_settings_drag_release.sh.)
forget
read -r -a r <<<"$here"
drag_from "$GRIP_X" "$GRIP_Y" -40 30 1
e2e_check "a grip drag moves the window by about (-40,30)" wait_until 10 moved_near "${r[0]}" "${r[1]}" -40 30
e2e_log "after grip drag: $(main_rect)"
read -r top left <<<"$(here_twips)"
xdotool mousemove_relative -- 0 1
sleep 1.2
e2e_check "nothing is stored after a grip drag" reg_absent Top Left Act
end_press
read -r top left <<<"$(here_twips)"
forget
body_move 2
e2e_check "a body move after the grip drag stores Top" wait_until 5 reg_is Top "$top"
e2e_expect_eq "a body move after the grip drag stores Left" "$left" "$(reg_get Left)"

# A grip drag followed by a close: the close stores the place.
read -r -a r <<<"$(rect_of_now)"
drag_from "$GRIP_X" "$GRIP_Y" 20 -10 1
wait_until 10 moved_near "${r[0]}" "${r[1]}" 20 -10 || e2e_note "second grip drag ended at $(main_rect)"
read -r top left <<<"$(here_twips)"
mouse_park
e2e_close_and_wait 30
e2e_expect_eq "Top stored by the close after a grip drag" "$top" "$(reg_get Top)"
e2e_expect_eq "Left stored by the close after a grip drag" "$left" "$(reg_get Left)"
e2e_expect_eq "Act stored by the close" 1 "$(reg_get Act)"

e2e_pass
