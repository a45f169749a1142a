#!/usr/bin/env bash
# Helpers of the button, tooltip, tray, dragging, settings-window and archive-drop
# end-to-end tests. Source it after lib.sh:
#     source "$(dirname "$0")/lib.sh"; source "$(dirname "$0")/lib2.sh"
#
# Extra environment (optional):
#   TARVEX_XDND_DROP   the xdnd-drop program (default: $E2E_NATIVE_TOOLS/xdnd-drop as the
#                      native build makes it, else built from tools/xdnd_drop.c into
#                      $E2E_WORK/bin on first use)

# --------------------------------------------------------------------------
# Geometry of the gadget (client pixels; 15 twips per pixel)
# --------------------------------------------------------------------------
# btn_geom NAME: "x y w h" of a picture button on the main window's client area.
btn_geom() {
    case "$1" in
        b_close) echo "95 5 17 17" ;;   # 1425,75  255x255 twips
        b_hide) echo "112 5 17 17" ;;   # 1680,75  255x255
        b_rach) echo "129 5 35 25" ;;   # 1935,75  525x375
        b_thaw) echo "94 22 35 47" ;;   # 1410,330 525x705
        *) return 1 ;;
    esac
}
# Points of the main window's client area that other tests need:
#  - BODY: bare window surface between b_thaw/b_rach and the separator lines
#    (x 130..168, y 31..71 is covered by no element);
#  - GRIP: the middle of Image6 (2565,60 240x1320 twips = 171,4 16x88 px);
#  - PANEL: inside Picture2 (the memory panel), an element that takes its own mouse events.
BODY_X=150 BODY_Y=50
GRIP_X=179 GRIP_Y=48
PANEL_X=40 PANEL_Y=50

# gadget_xy: "X Y" of the main window's top-left corner on the screen (X window of $WID).
gadget_xy() {
    local g
    read -r -a g <<<"$(win_geometry "$WID")"
    echo "${g[0]} ${g[1]}"
}
# btn_center NAME: screen "X Y" of the middle of a button.
btn_center() {
    local b o
    read -r -a b <<<"$(btn_geom "$1")"
    read -r -a o <<<"$(gadget_xy)"
    echo "$((o[0] + b[0] + b[2] / 2)) $((o[1] + b[1] + b[3] / 2))"
}
# client_xy X Y: screen "X Y" of a client point of the main window.
client_xy() {
    local o
    read -r -a o <<<"$(gadget_xy)"
    echo "$((o[0] + $1)) $((o[1] + $2))"
}

# Dragging ----------------------------------------------------------------
# drag_from CX CY DX DY BUTTON: press at a client point, nudge the pointer by one pixel
# (the drag starts on the first move with the button held, so the window follows the
# pointer from there on), then move in ten steps to DX,DY from the press point, release.
drag_from() {
    local sx sy i
    read -r sx sy <<<"$(client_xy "$1" "$2")"
    xdotool mousemove "$sx" "$sy" mousedown "$5"
    sleep 0.2
    xdotool mousemove $((sx + 1)) $((sy + 1))
    sleep 0.3
    for i in $(seq 10); do
        xdotool mousemove $((sx + $3 * i / 10)) $((sy + $4 * i / 10))
        sleep 0.05
    done
    sleep 0.2
    xdotool mouseup "$5"
}
# end_press: a click where the pointer is (on the gadget, right after a drag), without
# moving. Under Wine with a window manager, mouse moves keep reaching the gadget while the
# window manager moves it; a program that starts a drag on each of them nests move loops,
# and the gadget then follows the pointer until the next press.
# test_settings_drag_release.sh checks exactly that; the tests that are about something
# else call this after a drag so that such a fault shows in one place only.
end_press() {
    xdotool click 1
    sleep 0.3
}
# moved_near X0 Y0 DX DY: the window's top-left is within 2 px of X0+DX,Y0+DY (the
# nudge before the move loop may or may not count).
moved_near() {
    local r
    read -r -a r <<<"$(main_rect)"
    local ex=$(($1 + $3)) ey=$(($2 + $4))
    [ "${r[0]}" -ge $((ex - 2)) ] && [ "${r[0]}" -le $((ex + 2)) ] &&
        [ "${r[1]}" -ge $((ey - 2)) ] && [ "${r[1]}" -le $((ey + 2)) ] && [ "${r[2]} ${r[3]}" = "191 95" ]
}
# here_twips: "TOP LEFT" of the window in twips, as the store should hold them.
here_twips() {
    local r
    read -r -a r <<<"$(main_rect)"
    echo "$((r[1] * 15)) $((r[0] * 15))"
}

# main_hwnd: Win32 handle of the gadget (the "Tarvex" window that is not a dialog box),
# cached in MAIN_HWND after the first call.
MAIN_HWND=""
main_hwnd() {
    if [ -z "$MAIN_HWND" ]; then
        MAIN_HWND=$(wintool find "$TITLE" | grep -v 'class=#32770 ' | head -1 | sed -n 's/^hwnd=\([^ ]*\) .*/\1/p')
    fi
    [ -n "$MAIN_HWND" ] && echo "$MAIN_HWND"
}
# main_rect: "x y w h" of the gadget as Windows sees it (also when it is off screen).
main_rect() {
    wintool rect "hwnd:$(main_hwnd)"
}
# wait_main_rect "X Y W H" [TIMEOUT_S]: waits until main_rect reports exactly that.
wait_main_rect() {
    wait_until "${2:-10}" _rect_is "$1"
}
_rect_is() { [ "$(main_rect)" = "$1" ]; }

# win_field LINE NAME: value of "NAME=..." in a wintool description line (not text=).
win_field() {
    sed -n -E "s/(^|.* )$2=([^ ]*).*/\\2/p" <<<"$1" | head -1
}

# --------------------------------------------------------------------------
# Start-up
# --------------------------------------------------------------------------
# e2e2_start TOP LEFT [ACT]: stores the position (twips) and optionally "Act", starts the
# program and waits until its settle step has run (the status line has emptied).
e2e2_start() {
    reg_set Top "$1"
    reg_set Left "$2"
    if [ $# -ge 3 ]; then reg_set Act "$3"; fi
    e2e_start
    MAIN_HWND=""
    main_hwnd >/dev/null || e2e_fail "wintool finds no '$TITLE' window"
    wait_status_empty 15 || e2e_fail "the status line never emptied (settle step missing?)"
}

# status_empty: the status line `info` (150,1125 1425x180 twips = 10,75 95x12 px)
# shows nothing: its area is the plain black of the status bar.
status_empty() {
    local f="$T/.status.png" c
    screenshot "$WID" "$f" || return 1
    c=$(convert "$f" -crop 95x12+10+75 +repage -format %c histogram:info: 2>/dev/null | grep -c .)
    [ "$c" = 1 ] && convert "$f" -crop 95x12+10+75 +repage -format %c histogram:info: | grep -q '#000000'
}
status_shown() { ! status_empty; }
wait_status_empty() { wait_until "${1:-10}" status_empty; }

# --------------------------------------------------------------------------
# Button looks
# --------------------------------------------------------------------------
# btn_look FILE NAME: "normal" when the inner highlight (second pixel row and second
# pixel column, corners left out) is all white, "pressed" when it is all face colour
# (162,181,255), otherwise "other:<colours>". FILE is a screenshot of the main window.
btn_look() {
    local b row col
    read -r -a b <<<"$(btn_geom "$2")"
    row=$(convert "$1" -crop "$((b[2] - 4))x1+$((b[0] + 2))+$((b[1] + 1))" +repage -format %c histogram:info: 2>/dev/null |
        sed -n 's/.*#\([0-9A-Fa-f]\{6\}\).*/\1/p' | sort -u | tr '\n' ' ')
    col=$(convert "$1" -crop "1x$((b[3] - 4))+$((b[0] + 1))+$((b[1] + 2))" +repage -format %c histogram:info: 2>/dev/null |
        sed -n 's/.*#\([0-9A-Fa-f]\{6\}\).*/\1/p' | sort -u | tr '\n' ' ')
    if [ "$row$col" = "FFFFFF FFFFFF " ]; then
        echo normal
    elif [ "$row$col" = "A2B5FF A2B5FF " ]; then
        echo pressed
    else
        echo "other:row=${row}col=${col}"
    fi
}
# look_now NAME: the button's look on a fresh screenshot.
look_now() {
    screenshot "$WID" "$T/.look.png" && btn_look "$T/.look.png" "$1"
}
# wait_look NAME LOOK [TIMEOUT_S]: waits until the button shows LOOK; prints the last look.
wait_look() {
    local end l
    end=$(($(date +%s) + ${3:-5}))
    while :; do
        l=$(look_now "$1")
        [ "$l" = "$2" ] && { echo "$l"; return 0; }
        [ "$(date +%s)" -ge "$end" ] && { echo "$l"; return 1; }
        sleep 0.1
    done
}

# --------------------------------------------------------------------------
# Readouts: running or frozen (compares the two digit panels of screenshots)
# --------------------------------------------------------------------------
# readout_sig: checksum of the date/time and memory panels (Picture1 and Picture2,
# client 4,5 .. 93,69).
readout_sig() {
    screenshot "$WID" "$T/.sig.png" || return 1
    convert "$T/.sig.png" -crop 89x64+4+5 +repage rgb:- 2>/dev/null | md5sum | cut -c1-32
}
# mem_churn_start: keeps the free physical memory moving (allocates and frees 64 MB
# twice a second) so that a running memory meter changes its digits at every tick.
mem_churn_start() {
    e2e_bg python3 -c '
import time
while True:
    b = bytearray(b"\x01") * (64 << 20)
    time.sleep(0.25)
    del b
    time.sleep(0.25)
'
}
# readouts_change [TIMEOUT_S]: succeeds as soon as the panels change (readouts running).
readouts_change() {
    local s0 end
    s0=$(readout_sig)
    end=$(($(date +%s) + ${1:-10}))
    while [ "$(date +%s)" -le "$end" ]; do
        sleep 0.2
        [ "$(readout_sig)" != "$s0" ] && return 0
    done
    return 1
}
# readouts_still SECONDS: succeeds when the panels do not change for that long (frozen).
readouts_still() {
    local s0 end
    s0=$(readout_sig)
    end=$(($(date +%s%N) / 1000000 + $1 * 1000))
    while [ $(($(date +%s%N) / 1000000)) -le "$end" ]; do
        sleep 0.2
        [ "$(readout_sig)" != "$s0" ] && return 1
    done
    return 0
}

# --------------------------------------------------------------------------
# Message boxes (caption "Tarvex", dialog class #32770)
# --------------------------------------------------------------------------
# wait_msgbox [TIMEOUT_S]: prints the hwnd of the visible message box of the program.
wait_msgbox() {
    local end h
    end=$(($(date +%s) + ${1:-15}))
    while [ "$(date +%s)" -le "$end" ]; do
        h=$(wintool find "$TITLE" | grep 'class=#32770 ' | grep ' visible=1 ' | head -1 | sed -n 's/^hwnd=\([^ ]*\) .*/\1/p')
        [ -n "$h" ] && { echo "$h"; return 0; }
        sleep 0.2
    done
    return 1
}
# e2e2_dump NAME: keeps a picture of the screen and the window list in $T for a
# failure message (the scratch dir is kept when a test fails).
e2e2_dump() {
    screenshot_root "$T/$1.png"
    wintool list >"$T/$1.windows.txt" 2>&1
    { kill -0 "$PID" 2>/dev/null && echo "program running" || echo "program gone"; } >>"$T/$1.windows.txt"
    echo "state kept in $T/$1.png and $T/$1.windows.txt" >&2
}
# no_msgbox: no message box of the program is visible.
no_msgbox() {
    ! wintool find "$TITLE" | grep 'class=#32770 ' | grep -q ' visible=1 '
}
# wait_no_msgbox [TIMEOUT_S]
wait_no_msgbox() { wait_until "${1:-15}" no_msgbox; }

# child_text HWND ID: the exact text of the child with that control id, CR LF kept,
# written to stdout without a trailing newline.
child_text() {
    wine "$TOOLS/wintool.exe" children "hwnd:$1" 2>/dev/null | python3 -c '
import re, sys
data = sys.stdin.buffer.read()
want = sys.argv[1].encode()
# one record per child; a record starts with "hwnd=" at a line start, the text runs to the next record
for rec in re.split(rb"\n(?=hwnd=0x)", data):
    if re.search(rb" id=" + want + rb" ", rec):
        t = rec.split(b" text=", 1)[1]
        if t.endswith(b"\n"): t = t[:-1]
        sys.stdout.buffer.write(t)
        sys.exit(0)
sys.exit(1)
' "$2"
}
# msgbox_text HWND: the message text of a box (the static with id 65535).
msgbox_text() { child_text "$1" 65535; }
# child_rect HWND ID: screen "x y w h" of a child of a dialog.
child_rect() {
    local line
    line=$(wintool children "hwnd:$1" | grep " id=$2 " | head -1)
    [ -n "$line" ] || return 1
    win_field "$line" rect | tr ',' ' '
}
# msgbox_icon HWND: "warning", "information" or "none", from the colours of the
# icon (static id 1088): Wine draws the warning sign in orange, the information sign in blue.
msgbox_icon() {
    local r f="$T/.icon.png"
    r=$(child_rect "$1" 1088) || { echo none; return 0; }
    set -- $r
    import -window root -crop "${3}x${4}+$1+$2" +repage "$f" 2>/dev/null
    convert "$f" -depth 8 txt:- 2>/dev/null | awk -F'[(),]' '
        NR > 1 { r = $3 + 0; g = $4 + 0; b = $5 + 0
                 if (r > 200 && g > 60 && g < 200 && b < 90) o++
                 if (b > 140 && r < 110 && g < 150) bl++ }
        END { if (o >= 30) print "warning"; else if (bl >= 30) print "information"; else print "none" }'
}
# msgbox_buttons HWND: the texts of its buttons, one line each, as "ID:TEXT".
msgbox_buttons() {
    wintool children "hwnd:$1" | grep ' class=Button ' | while read -r line; do
        echo "$(win_field "$line" id):${line##* text=}"
    done
}
# click_child HWND ID: clicks the middle of a dialog's child (button).
click_child() {
    local r
    r=$(child_rect "$1" "$2") || return 1
    set -- $r
    xdotool mousemove $(($1 + $3 / 2)) $(($2 + $4 / 2)) click 1
}
# msgbox_answer HWND ID: presses a button of a box (1 OK, 2 Cancel, 6 Yes, 7 No) and
# waits for the box to go.
msgbox_answer() {
    click_child "$1" "$2" || wintool post "hwnd:$1" 0x111 "$2"
    wait_until 15 _gone "$1" || { wintool post "hwnd:$1" 0x111 "$2"; wait_until 10 _gone "$1"; }
}
_gone() { ! wintool visible "hwnd:$1" 2>/dev/null | grep -q 1; }

# crlf LINE...: the lines joined with CR LF (no trailing newline).
crlf() {
    local first=1 l
    for l in "$@"; do
        [ $first = 1 ] || printf '\r\n'
        printf '%s' "$l"
        first=0
    done
}
# show_bytes TEXT: the text with CR and LF made visible, for failure messages.
show_bytes() { printf '%s' "$1" | sed -z 's/\r/<CR>/g; s/\n/<LF>/g'; }
# expect_text WHAT EXPECTED ACTUAL: soft check, CR LF exact.
expect_text() {
    if [ "$2" = "$3" ]; then
        echo "ok: $1" >&2
    else
        echo "FAIL: $1: expected '$(show_bytes "$2")', got '$(show_bytes "$3")'" >&2
        E2E_SOFT_FAILS=$((E2E_SOFT_FAILS + 1))
    fi
}

# --------------------------------------------------------------------------
# Settings window "Form1"
# --------------------------------------------------------------------------
care_line() { wintool find Form1 | head -1; }
care_visible() { [ "$(win_field "$(care_line)" visible)" = 1 ]; }
care_hidden() { ! care_visible; }
care_hwnd() { win_field "$(care_line)" hwnd; }
care_rect() { win_field "$(care_line)" rect | tr ',' ' '; }
# care_child_id TEXT: control id of the settings window's child whose text is TEXT.
care_child_id() {
    wintool children "hwnd:$(care_hwnd)" | awk -v t="$1" 'index($0, " text=" t) && substr($0, index($0, " text=") + 6) == t' |
        head -1 | sed -n 's/.* id=\([-0-9]*\) .*/\1/p'
}

# --------------------------------------------------------------------------
# Tray (Wine's own "Wine System Tray" window when no tray host runs)
# --------------------------------------------------------------------------
# tray_click: left click on the first icon of the tray window.
tray_click() {
    local tw
    tw=$(wait_window '^Wine System Tray$' 10) || return 1
    xdotool mousemove --window "$tw" 10 10 click 1
}

# --------------------------------------------------------------------------
# Tooltips
# --------------------------------------------------------------------------
# hover NAME: rests the pointer on a button the way a user does (from outside, into
# the button, then a few pixels further in).
hover() {
    local c
    read -r -a c <<<"$(btn_center "$1")"
    mouse_park
    sleep 0.2
    xdotool mousemove $((c[0] - 5)) $((c[1] - 3))
    sleep 0.1
    xdotool mousemove "${c[0]}" "${c[1]}"
}
# wait_balloon [TIMEOUT_S]: prints the screen "x y w h" of the visible tooltip window.
wait_balloon() {
    local end l r prev=""
    end=$(($(date +%s) + ${1:-5}))
    while [ "$(date +%s)" -le "$end" ]; do
        # a balloon is first shown, then placed: take its rect once it holds still
        l=$(wintool list | grep ' class=tooltips_class32 ' | grep ' visible=1 ' | head -1)
        if [ -n "$l" ]; then
            r=$(win_field "$l" rect)
            if [ "$r" = "$prev" ] && [ "${r#0,0,}" = "$r" ]; then
                tr ',' ' ' <<<"$r"
                return 0
            fi
            prev=$r
        else
            prev=""
        fi
        sleep 0.2
    done
    return 1
}
# balloon_stats FILE: analyses a screenshot of a balloon. Prints
#   "blue=N lines=N segs=N same=N"
# blue: pixels of the background colour (56,112,168); lines: rows of white text inside
# the blue area (the title line counts); segs: glyph-sized runs of text lines (rule lines
# left out); same: how many
# of those runs are one and the same bitmap. Text that the font cannot show comes out
# as a row of identical boxes (same close to segs); real Japanese text does not.
balloon_stats() {
    convert "$1" -depth 8 rgb:- 2>/dev/null | python3 -c '
import sys
from collections import Counter
w, h = int(sys.argv[1]), int(sys.argv[2])
d = sys.stdin.buffer.read()
if len(d) < 3 * w * h: print("blue=0 lines=0 segs=0 same=0"); sys.exit()
def px(x, y):
    i = 3 * (y * w + x); return d[i], d[i + 1], d[i + 2]
BG = (56, 112, 168)
blue = 0
txt = []
for y in range(h):
    xs = [x for x in range(w) if px(x, y) == BG]
    blue += len(xs)
    row = [False] * w
    if xs:
        for x in range(min(xs), max(xs) + 1):
            row[x] = min(px(x, y)) > 200
    txt.append(row)
bands, y = [], 0
while y < h:
    if any(txt[y]):
        s = y
        while y < h and any(txt[y]): y += 1
        bands.append((s, y))
    else:
        y += 1
segs = []
for a, b in bands:
    if b - a < 6:
        continue  # rule lines: a row of dashes, alike by nature
    cols = [any(txt[yy][x] for yy in range(a, b)) for x in range(w)]
    x = 0
    while x < w:
        if cols[x]:
            s = x
            while x < w and cols[x]: x += 1
            if x - s >= 3:
                segs.append(tuple(tuple(txt[yy][s:x]) for yy in range(a, b)))
        else:
            x += 1
same = Counter(segs).most_common(1)[0][1] if segs else 0
print("blue=%d lines=%d segs=%d same=%d" % (blue, len(bands), len(segs), same))
' $(identify -format '%w %h' "$1")
}
# stat_of STATS NAME: one number of a balloon_stats line.
stat_of() { sed -n "s/.*\\b$2=\\([0-9]*\\).*/\\1/p" <<<"$1"; }

# --------------------------------------------------------------------------
# Files and drops
# --------------------------------------------------------------------------
# xdnd_bin: path of the xdnd-drop program (built once per work dir when needed).
xdnd_bin() {
    if [ -n "${TARVEX_XDND_DROP:-}" ] && [ -x "$TARVEX_XDND_DROP" ]; then
        echo "$TARVEX_XDND_DROP"
        return 0
    fi
    if [ -n "${E2E_NATIVE_TOOLS:-}" ] && [ -x "$E2E_NATIVE_TOOLS/xdnd-drop" ]; then
        echo "$E2E_NATIVE_TOOLS/xdnd-drop"
        return 0
    fi
    local out="$E2E_WORK/bin/xdnd-drop" src="$E2E_DIR/tools/xdnd_drop.c"
    mkdir -p "$E2E_WORK/bin"
    (
        flock -w 60 9 || exit 1
        if [ ! -x "$out" ] || [ "$src" -nt "$out" ]; then
            gcc -O2 -o "$out.tmp" "$src" -lX11 && mv "$out.tmp" "$out"
        fi
    ) 9>"$E2E_WORK/bin/.lock" || return 1
    [ -x "$out" ] && echo "$out"
}
# xdnd ARGS...: runs xdnd-drop (see tools/xdnd_drop.c for the arguments).
xdnd() {
    local b
    b=$(xdnd_bin) || e2e_fail "cannot build xdnd-drop"
    "$b" "$@"
}
# drop_on NAME FILE...: drops files on the middle of a button; the program's drop handler
# opens modal windows, so the drop does not wait for the protocol's end.
drop_on() {
    local c
    read -r -a c <<<"$(btn_center "$1")"
    shift
    xdnd -n "${c[0]}" "${c[1]}" "$@"
}

# Folder picker (SHBrowseForFolder). Its caption depends on the language.
picker_title() {
    case "$E2E_LANG" in ja_JP*) echo 'フォルダーの参照' ;; *) echo 'Browse for Folder' ;; esac
}
# wait_picker [TIMEOUT_S]: prints the Win32 handle of the visible folder picker.
wait_picker() {
    local end l
    end=$(($(date +%s) + ${1:-15}))
    while [ "$(date +%s)" -le "$end" ]; do
        l=$(wintool find "$(picker_title)" | grep ' visible=1 ' | head -1)
        [ -n "$l" ] && { win_field "$l" hwnd; return 0; }
        sleep 0.2
    done
    return 1
}
# picker_choose NAME: in the open picker, selects the Desktop folder NAME (typed into the
# tree) and presses OK. The keys go as real input to the picker once it has the focus
# (Wine hands keys to the foreground window's focus). Not xdotool's --window: it sends
# a key's press through the X server's input when the window has the focus and through
# XSendEvent when not, so a Return whose press closed the picker could have its release
# sent aside; the X server then kept Return down and repeated it into the next box,
# which closed by itself (the overwrite question answered Yes, the result box gone).
picker_choose() {
    local xw
    xw=$(wait_window "^$(picker_title)\$" 15) || return 1
    xdotool windowactivate --sync "$xw" 2>/dev/null
    sleep 0.5
    xdotool key shift+Tab sleep 0.2 type --delay 60 "$1"
    sleep 0.3
    xdotool key Return
    wait_no_window "^$(picker_title)\$" 15
}
# picker_cancel: presses Cancel in the open picker.
picker_cancel() {
    local h
    h=$(wait_picker 15) || return 1
    click_child "$h" 2 || wintool post "hwnd:$h" 0x111 2
    wait_no_window "^$(picker_title)\$" 15
}
# desktop_win NAME: the Windows path of a folder on the prefix's Desktop.
desktop_win() {
    local u
    u=$(basename "$(dirname "$E2E_DESKTOP")")
    printf 'C:\\users\\%s\\Desktop\\%s' "$u" "$1"
}

# _glyphs_ok SEGS SAME: enough text runs, and fewer than a third of them alike.
_glyphs_ok() { [ "$1" -ge 10 ] && [ $(($2 * 3)) -lt "$1" ]; }

# no_balloon: no tooltip window is visible.
no_balloon() { ! wintool list | grep ' class=tooltips_class32 ' | grep -q ' visible=1 '; }

# tooltip_checks: hovers each button in turn and checks its balloon: blue background
# (56,112,168), white text in as many lines as the title plus the body has (three body
# lines for b_close and b_rach, four for b_hide and b_thaw), and the Japanese texts drawn
# as glyphs, not as rows of identical boxes. Screenshots stay in $T as balloon-NAME.png.
tooltip_checks() {
    local b want r st blue lines segs same
    for b in b_close b_hide b_thaw b_rach; do
        case $b in b_close | b_rach) want=4 ;; *) want=5 ;; esac
        mouse_park
        wait_until 5 no_balloon || e2e_note "a balloon was still up before hovering $b"
        # Under Wine a balloon now and then stays parked at 0,0 for the whole hover;
        # hovering again places it.
        local try
        r=""
        for try in 1 2 3; do
            hover "$b"
            r=$(wait_balloon 4) && break
            r=""
            e2e_note "balloon of $b not placed on hover $try"
            mouse_park
            wait_until 5 no_balloon
        done
        if [ -z "$r" ]; then
            e2e_check "balloon of $b appears" false
            continue
        fi
        sleep 0.4   # let it finish painting
        set -- $r
        import -window root -crop "${3}x${4}+$1+$2" +repage "$T/balloon-$b.png" 2>/dev/null
        st=$(balloon_stats "$T/balloon-$b.png")
        e2e_log "balloon of $b at $r: $st"
        blue=$(stat_of "$st" blue)
        lines=$(stat_of "$st" lines)
        segs=$(stat_of "$st" segs)
        same=$(stat_of "$st" same)
        e2e_check "balloon of $b has the blue background (56,112,168) ($blue px)" [ "${blue:-0}" -ge 3000 ]
        e2e_expect_eq "text lines of the $b balloon (title + body)" "$want" "$lines"
        e2e_check "balloon of $b shows its Japanese text as glyphs, not boxes ($same of $segs runs alike)" \
            _glyphs_ok "${segs:-0}" "${same:-0}"
    done
    mouse_park
}

# after_box WHAT: the readouts run again and the status line is empty after a drop.
after_box() {
    mouse_park
    e2e_check "readouts run again after $1" readouts_change 10
    e2e_check "status line empty after $1" wait_status_empty 5
}
# drop_and_pick WHAT FOLDER FILE...: drops, picks a Desktop folder in the picker.
drop_and_pick() {
    local what=$1 folder=$2
    shift 2
    drop_on b_thaw "$@" >/dev/null || e2e_fail "the drop of $what was not delivered"
    wait_picker 15 >/dev/null || { e2e2_dump no-picker; e2e_fail "no folder picker after the drop of $what"; }
    picker_choose "$folder" || e2e_fail "could not pick $folder for $what"
}
