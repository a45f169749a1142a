#!/usr/bin/env bash
# The Japanese status text must draw as real glyphs on a system whose code page
# is not Japanese (LANG=C: code page 1252, fonts without Japanese fall back to
# boxes). "メモリ情報取得中..." has eight different characters: real glyphs give
# many distinct shapes, boxes give one. The same text under ja_JP is the reference
# for the amount of ink.
source "$(dirname "$0")/lib.sh"
e2e_setup C

shot_status() {   # $1: file; takes the picture while the settle step has not run
    e2e_start
    shot_before_move "$1" 8 || e2e_fail "no picture of the first second (the window moved at once or never)"
    e2e_close_and_wait 20
    reg_delete Top; reg_delete Left; reg_delete Act
}

shot_status "$T/status_c.png"
read -r ink_c shapes_c _ <<<"$(img ink "$T/status_c.png" $STATUS_RECT | tr '=' ' ' | awk '{print $2, $4}')"
e2e_log "LANG=C: ink=$ink_c shapes=$shapes_c"
e2e_check "LANG=C: status text drawn (ink $ink_c)" [ "$ink_c" -ge 60 ]
e2e_check "LANG=C: status text shows distinct glyphs, not boxes ($shapes_c shapes)" [ "$shapes_c" -ge 6 ]

# Reference: the same first second under the Japanese locale, same prefix.
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
shot_status "$T/status_ja.png"
read -r ink_ja shapes_ja _ <<<"$(img ink "$T/status_ja.png" $STATUS_RECT | tr '=' ' ' | awk '{print $2, $4}')"
e2e_log "ja_JP: ink=$ink_ja shapes=$shapes_ja"
e2e_check "ja_JP: status text shows distinct glyphs ($shapes_ja shapes)" [ "$shapes_ja" -ge 6 ]
diff=$(img diff "$T/status_c.png" "$T/status_ja.png" $STATUS_RECT)
e2e_log "pixels that differ between the two locales: $diff"
e2e_check "same text under both locales (glyph shapes $shapes_c vs $shapes_ja)" [ "$shapes_c" -ge $((shapes_ja - 2)) ]
e2e_pass
