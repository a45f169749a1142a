#!/usr/bin/env bash
# The extract button's other outcomes: its help box on a click, drops anywhere else on
# the gadget refused, a file that is no archive (failure box, warning icon, nothing
# written), a damaged archive and one with a name that climbs out of the folder (nothing
# written outside the folder, no half-extracted files), and a cancelled folder picker
# (no box). The readouts run again after each.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/lib2.sh"

command -v zip >/dev/null || e2e_skip "zip is not installed"
e2e_setup

F="$T/fx"
mkdir -p "$F/tree"
printf 'just some text\r\n' >"$F/notes.txt"
head -c 30000 /dev/urandom >"$F/tree/blob.bin"
printf 'hello\r\n' >"$F/tree/readme.txt"
(cd "$F/tree" && zip -q "$F/good.zip" readme.txt blob.bin) || e2e_fail "zip failed"
# damaged: cut inside the second entry's data, so the first entry is still whole
head -c 20000 "$F/good.zip" >"$F/damaged.zip"
# an entry whose name leads out of the chosen folder, beside a harmless one
python3 - "$F/climb.zip" <<'EOF' || e2e_fail "cannot write climb.zip"
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as z:
    z.writestr("fine.txt", "fine\n")
    z.writestr("../climbed.txt", "outside\n")
EOF
for d in txtout badout climbout cancelout; do mkdir -p "$E2E_DESKTOP/$d"; done

e2e2_start 1500 1500 0
mem_churn_start
mouse_park

FAILURE=$(crlf '解凍は失敗しました。' '--考えられる原因--' '・ZIP,CAB,LZH形式の書庫ファイルではない。' \
    '・書庫ファイルが壊れている。' '・書庫ファイル名を含むパスに半角スペースがある。')
# expect_failure WHAT: the failure box with its five lines and the warning icon.
expect_failure() {
    local mb
    mb=$(wait_msgbox 60) || { e2e2_dump no-box; e2e_fail "no result box after the drop of $1"; }
    expect_text "failure box text for $1" "$FAILURE" "$(msgbox_text "$mb")"
    e2e_expect_eq "failure box icon for $1" warning "$(msgbox_icon "$mb")"
    e2e_expect_eq "failure box buttons for $1" "1:OK" "$(msgbox_buttons "$mb")"
    msgbox_answer "$mb" 1 || e2e_fail "the failure box for $1 did not close"
}
no_picker() { ! wait_picker 1 >/dev/null; }
empty_dir() { [ -z "$(ls -A "$1")" ]; }

# Help box on a click: three lines, information icon, OK only; the readouts pause.
xdotool mousemove $(btn_center b_thaw) click 1
mouse_park
mb=$(wait_msgbox 10) || e2e_fail "no help box after a click on b_thaw"
expect_text "help box text" "$(crlf 'ここに書庫ファイルをドロップすると解凍できます。' '解凍可能な書庫形式は、' 'ZIP,CAB,LZHです。')" \
    "$(msgbox_text "$mb")"
e2e_expect_eq "help box icon" information "$(msgbox_icon "$mb")"
e2e_expect_eq "help box buttons" "1:OK" "$(msgbox_buttons "$mb")"
e2e_check "readouts paused while the help box is open" readouts_still 2
msgbox_answer "$mb" 1 || e2e_fail "the help box did not close"
e2e_check "a click on b_thaw opens no folder picker" no_picker
after_box "the help box"

# Drops anywhere but b_thaw are refused: the XdndStatus accept bit is 0.
for spot in "body $BODY_X $BODY_Y" "memory-panel $PANEL_X $PANEL_Y" "grip $GRIP_X $GRIP_Y" \
    "b_close 103 13" "b_rach 146 17"; do
    set -- $spot
    read -r sx sy <<<"$(client_xy "$2" "$3")"
    xdnd -q "$sx" "$sy" "$F/good.zip"
    e2e_expect_eq "drop on the $1 refused (exit 3 = accept bit 0)" 3 "$?"
done
sleep 1
e2e_check "no folder picker after refused drops" no_picker

# A file that is no archive: failure box, nothing written.
drop_and_pick "a text file" txtout "$F/notes.txt"
expect_failure "a text file"
e2e_check "nothing written for a text file" empty_dir "$E2E_DESKTOP/txtout"
after_box "the text-file drop"

# A damaged archive: failure, and no half-extracted file is left behind.
drop_and_pick "a damaged archive" badout "$F/damaged.zip"
expect_failure "a damaged archive"
e2e_check "no half-extracted files from a damaged archive" empty_dir "$E2E_DESKTOP/badout"
after_box "the damaged-archive drop"

# An entry named ../climbed.txt: whatever the box says, nothing lands outside the folder.
drop_and_pick "an archive with a climbing name" climbout "$F/climb.zip"
if mb=$(wait_msgbox 60); then
    e2e_log "box for the climbing name: $(show_bytes "$(msgbox_text "$mb")")"
    msgbox_answer "$mb" 1 || e2e_fail "the box for the climbing name did not close"
else
    e2e_check "a result box after the climbing-name drop" false
fi
outside=$(find "$WINEPREFIX/drive_c" "$T" -name climbed.txt 2>/dev/null | grep -v "^$E2E_DESKTOP/climbout/")
e2e_check "nothing written outside the chosen folder (found: ${outside:-nothing})" [ -z "$outside" ]
after_box "the climbing-name drop"

# Cancel in the folder picker: no box, nothing written.
drop_on b_thaw "$F/good.zip" >/dev/null || e2e_fail "the drop to cancel was not delivered"
picker_cancel || e2e_fail "could not cancel the folder picker"
sleep 2
e2e_check "no box after a cancelled picker" no_msgbox
e2e_check "nothing written after a cancelled picker" empty_dir "$E2E_DESKTOP/cancelout"
after_box "the cancelled picker"

# The button kept its normal picture through all of this.
e2e_expect_eq "b_thaw after the drops" normal "$(look_now b_thaw)"

e2e_close_and_wait 30
e2e_pass
