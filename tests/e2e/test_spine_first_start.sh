#!/usr/bin/env bash
# First start with an empty settings store: the gadget appears as a 191 x 95
# window at the load step's fallback place (Left 3000, Top 3700 twips), shows
# "メモリ情報取得中..." in its status line, and about a second later the settle step
# moves it to the top-left corner and empties the status line. The frame's
# bevel has its exact colours. A close request then ends the process and leaves
# the position and the always-on-top choice in the store.
source "$(dirname "$0")/lib.sh"
e2e_setup ja_JP.UTF-8

FALLBACK="$(twips_to_px 3000) $(twips_to_px 3700)"    # 200 247

e2e_start
read -r x y w h <<<"$E2E_FIRST_GEOM"
e2e_expect_eq "window size" "191 95" "$w $h"
e2e_expect_eq "first position (load step fallback)" "$FALLBACK" "$x $y"

# The settle step moves it to (0,0) about one second after start; keep the last
# picture taken before that move.
shot_before_move "$T/early.png" 8
rc=$?
ms=$(echo "($(date +%s.%N) - $E2E_WINDOW_TIME) * 1000 / 1" | bc)
[ "$rc" = 2 ] && e2e_fail "window still at its first place 8 s after it appeared; expected the settle step to move it to (0,0)"
[ "$rc" = 1 ] && e2e_fail "the window moved before the first picture could be taken; cannot check the first second"
e2e_log "moved to ($E2E_MOVED_TO) about ${ms} ms after first seen"
e2e_expect_eq "place after the settle step" "0 0" "$E2E_MOVED_TO"
e2e_expect_eq "Win32 rectangle after the settle step" "0 0 191 95" "$(wintool rect "$TITLE")"
e2e_expect_eq "not topmost with an empty store" "0" "$(wintool topmost "$TITLE")"

# Status line: text before the settle step, nothing after it.
sleep 0.5
screenshot "$WID" "$T/settled.png"
late=$(img ink "$T/settled.png" $STATUS_RECT)
e2e_log "status line after settle: $late"
e2e_check "status line empty after the settle step ($late)" [ "${late%% *}" = "ink=0" ]
early=$(img ink "$T/early.png" $STATUS_RECT)
e2e_log "status line before settle: $early"
read -r ink shapes <<<"$(tr '=' ' ' <<<"$early" | awk '{print $2, $4}')"
# "メモリ情報取得中..." : eight different characters, then dots.
e2e_check "status text drawn before the first second (ink ${ink:-0})" [ "${ink:-0}" -ge 60 ]
e2e_check "status text shows distinct glyphs (${shapes:-0} shapes)" [ "${shapes:-0}" -ge 6 ]
e2e_check "status text colour RGB(183,198,255) present" \
    [ "$(img count "$T/early.png" B7C6FF $STATUS_RECT)" -gt 0 ]

# Frame: the 2-pixel bevel runs along all four edges with its exact colours.
ring=$(img ring "$T/settled.png")
e2e_check "frame bevel colours: $ring" [ "$ring" = ok ]

# Close request: the process ends; the store holds the settled place and Act 0.
e2e_close_and_wait 20
e2e_expect_eq "stored Top" "0" "$(reg_get Top)"
e2e_expect_eq "stored Left" "0" "$(reg_get Left)"
e2e_expect_eq "stored Act" "0" "$(reg_get Act)"
e2e_check "no window left behind" wait_no_window "^${TITLE}\$" 5
e2e_pass
