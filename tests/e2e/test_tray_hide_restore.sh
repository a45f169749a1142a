#!/usr/bin/env bash
# Hide to the tray and back: the hide button parks the window at Left -50000 twips
# keeping its Top, a click on the tray icon brings it back to the exact place; a close
# while hidden stores the off-screen Left, and the next run's tray click goes to 0,0.
#
# Without a window manager: Wine unmaps a window that moves wholly off the screen and
# maps it again when it comes back. A reparenting window manager then takes it in as a
# new window, and Wine reads the new frame's passing position as a move to (0,0): the
# restored gadget stood at 0,0 for Windows while X showed it in place (about one
# restore in ten on a loaded machine).
export E2E_WM=0
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/lib2.sh"

e2e_setup
e2e2_start 2400 1800 0          # Left 120 px, Top 160 px
e2e_expect_eq "start position" "120 160 191 95" "$(main_rect)"
wait_window '^Wine System Tray$' 10 >/dev/null || e2e_fail "no tray icon (Wine's tray window did not appear)"

# Hide: Left -50000 twips = -3333 px, Top unchanged.
read -r x y <<<"$(btn_center b_hide)"
xdotool mousemove "$x" "$y" click 1
mouse_park
e2e_check "hidden at Left -3333 px with Top kept" wait_main_rect "-3333 160 191 95" 10
e2e_log "after hide: $(main_rect)"
e2e_check "the window stays shown while hidden (moved, not unmapped)" \
    [ "$(wintool visible "hwnd:$(main_hwnd)")" = 1 ]

# The tray click restores the exact place.
tray_click || e2e_fail "cannot click the tray icon"
e2e_check "restored to 120,160 by the tray click" wait_main_rect "120 160 191 95" 10
e2e_log "after restore: $(main_rect)"
mouse_park

# Hide, then close while hidden: Left is stored as -50000, Top as it was.
read -r x y <<<"$(btn_center b_hide)"
xdotool mousemove "$x" "$y" click 1
mouse_park
wait_main_rect "-3333 160 191 95" 10 || e2e_fail "second hide did not happen: $(main_rect)"
e2e_close_and_wait 30
e2e_expect_eq "Left stored after a close while hidden" -50000 "$(reg_get Left)"
e2e_expect_eq "Top stored after a close while hidden" 2400 "$(reg_get Top)"
e2e_check "the tray icon is removed at exit" wait_no_window '^Wine System Tray$' 15

# Next run: the window starts off screen; the tray click knows no earlier hide and
# brings it to the top-left corner of the screen.
wine "$EXE" >"$T/exe2.out" 2>&1 &
PID=$!
MAIN_HWND=""
wait_until 40 main_hwnd >/dev/null || e2e_fail "the second run shows no window"
e2e_check "second run starts off screen" wait_main_rect "-3333 160 191 95" 10
sleep 1.5   # past the settle step, which re-applies the same stored place
e2e_expect_eq "second run after its settle step" "-3333 160 191 95" "$(main_rect)"
tray_click || e2e_fail "cannot click the tray icon in the second run"
e2e_check "tray click without an earlier hide goes to 0,0" wait_main_rect "0 0 191 95" 10
mouse_park
WID=$(wait_window "^${TITLE}\$" 20) || e2e_fail "no X window for the second run"

# A tray click while shown jumps back to where the window was at the last hide (here:
# none in this run, so 0,0 again), also after the window was dragged elsewhere.
wait_status_empty 15 || e2e_fail "the second run's status line never emptied"
drag_from "$BODY_X" "$BODY_Y" 40 50 1
wait_until 10 moved_near 0 0 40 50 || e2e_fail "the drag in the second run ended at $(main_rect)"
end_press
mouse_park
tray_click || e2e_fail "cannot click the tray icon after the drag"
e2e_check "a tray click while shown returns to the last hide position (0,0)" wait_main_rect "0 0 191 95" 10
e2e_log "after the tray click that follows a drag: $(main_rect)"
read -r top left <<<"$(here_twips)"
mouse_park
e2e_close_and_wait 30
e2e_expect_eq "Top stored at the end of the second run" "$top" "$(reg_get Top)"
e2e_expect_eq "Left stored at the end of the second run" "$left" "$(reg_get Left)"

e2e_pass
