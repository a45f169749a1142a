#!/usr/bin/env bash
# Makes the README's pictures from the real tarvex.exe under Wine on a virtual
# display (needs build/win and build/native from scripts/build.sh):
#   docs/gadget.png     the running gadget (real size and 3x)
#   docs/settings.png   the settings window open below the gadget
#   docs/extracted.png  the success box after a ZIP was dropped on the extract button
set -euo pipefail
cd "$(dirname "$0")/.."
OUT=$PWD/docs
export TARVEX_WIN_BUILD_DIR=${TARVEX_WIN_BUILD_DIR:-$PWD/build/win}
export E2E_NATIVE_TOOLS=${E2E_NATIVE_TOOLS:-$PWD/build/native/e2e-tools}
E2E_DEADLINE=0
source tests/e2e/lib.sh
source tests/e2e/lib2.sh
TEST_NAME=screenshots
e2e_setup ja_JP.UTF-8

# crop FILE X Y W H [SCALE]: a region of the screen.
crop() {
    import -window root -crop "$4x$5+$2+$3" +repage "$1"
    [ -z "${6:-}" ] || convert "$1" -filter point -resize "$6%" "${1%.png}@3x.png"
}

e2e2_start 1500 1500 0
mouse_park
sleep 2
read -r gx gy <<<"$(gadget_xy)"
crop "$OUT/gadget.png" "$gx" "$gy" 191 95 300

# The settings window, right below the gadget.
xdotool mousemove $(btn_center b_rach) click 1
wait_until 10 care_visible || e2e_fail "the settings window did not open"
mouse_park
sleep 1
crop "$OUT/settings.png" "$gx" "$gy" 191 160 200
wintool close Form1 >/dev/null 2>&1 || true
wait_until 10 care_hidden || true

# A ZIP dropped on the extract button, extracted into a folder on the Desktop.
mkdir -p "$T/src/docs" "$E2E_DESKTOP/extracted"
printf 'メモ\r\n' >"$T/src/docs/readme.txt"
(cd "$T/src" && zip -qr "$T/sample.zip" docs)
drop_on b_thaw "$T/sample.zip" >/dev/null || e2e_fail "drop not delivered"
wait_picker 15 >/dev/null || e2e_fail "no folder picker"
picker_choose extracted || e2e_fail "could not pick the folder"
mb=$(wait_msgbox 60) || e2e_fail "no result box"
sleep 1
mouse_park
screenshot_root "$T/root.png"
read -r bx by bw bh <<<"$(wintool rect "hwnd:$mb")"
convert "$T/root.png" -crop "${bw}x${bh}+${bx}+${by}" +repage "$OUT/extracted.png"
msgbox_answer "$mb" 1 || true
e2e_close_and_wait 20
echo "pictures written to $OUT"
e2e_pass
