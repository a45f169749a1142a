#!/usr/bin/env bash
# Archive drop on b_thaw: a ZIP, an LZH and a CAB made here by zip, jlha and gcab are
# dropped in turn, a Desktop folder is picked in the folder picker, the success box
# names the folder, and the extracted files equal what unzip, lha and cabextract give.
# Also: a path with spaces and Japanese characters, several files dropped at once (only
# the first is used), and a drop onto an earlier extraction (the overwrite question,
# answered No, Yes and Cancel).
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/lib2.sh"

for tool in zip unzip jlha lha gcab cabextract; do
    command -v "$tool" >/dev/null || e2e_skip "$tool is not installed"
done

e2e_setup

# --- fixtures: one small tree, packed three ways, and its reference extractions ---
F="$T/fx"
mkdir -p "$F/tree/data" "$F/other" "$F/ref"
printf 'hello\r\nworld\r\n' >"$F/tree/readme.txt"
head -c 30000 /dev/urandom >"$F/tree/data/blob.bin"
seq 1 5000 >"$F/tree/data/numbers.txt"
echo "the other archive" >"$F/other/other.txt"
(cd "$F/tree" && zip -qr "$F/a.zip" readme.txt data) || e2e_fail "zip failed"
(cd "$F/tree" && jlha c "$F/a.lzh" readme.txt data/blob.bin data/numbers.txt >/dev/null 2>&1) || e2e_fail "jlha failed"
(cd "$F/tree" && gcab -c -z "$F/a.cab" readme.txt data/blob.bin data/numbers.txt) || e2e_fail "gcab failed"
(cd "$F/other" && zip -q "$F/other.zip" other.txt) || e2e_fail "zip failed"
mkdir -p "$F/ref/zip" "$F/ref/lzh" "$F/ref/cab" "$F/ref/other"
unzip -q "$F/a.zip" -d "$F/ref/zip" || e2e_fail "unzip failed"
(cd "$F/ref/lzh" && lha xq "$F/a.lzh") || e2e_fail "lha failed"
cabextract -q -d "$F/ref/cab" "$F/a.cab" || e2e_fail "cabextract failed"
unzip -q "$F/other.zip" -d "$F/ref/other" || e2e_fail "unzip failed"
SPACED="$T/my files/書庫 テスト.zip"
mkdir -p "$(dirname "$SPACED")"
cp "$F/a.zip" "$SPACED"
for d in zipout lzhout cabout spcout multiout; do mkdir -p "$E2E_DESKTOP/$d"; done

e2e2_start 1500 1500 0
mem_churn_start
mouse_park

SUCCESS1='解凍は正常に完了しました。'
SUCCESS2='以下のフォルダに解凍されています。'

# expect_success WHAT FOLDER: the success box with the folder; closes it.
expect_success() {
    local mb
    mb=$(wait_msgbox 60) || { e2e2_dump no-box; e2e_fail "no result box after the drop of $1"; }
    expect_text "success box text for $1" "$(crlf "$SUCCESS1" "$SUCCESS2" "$(desktop_win "$2")")" "$(msgbox_text "$mb")"
    e2e_expect_eq "success box icon for $1" information "$(msgbox_icon "$mb")"
    msgbox_answer "$mb" 1 || e2e_fail "the result box for $1 did not close"
}
same_tree() { diff -r "$1" "$2" >&2; }

# The extract button accepts the drag (XdndStatus accept bit 1).
read -r bx by <<<"$(btn_center b_thaw)"
e2e_check "b_thaw accepts a dragged file" xdnd -q -p "$bx" "$by" "$F/a.zip"

# ZIP, LZH, CAB in turn.
for kind in zip lzh cab; do
    drop_and_pick "the $kind archive" "${kind}out" "$F/a.$kind"
    expect_success "the $kind archive" "${kind}out"
    e2e_check "the $kind archive's files equal the reference extraction" same_tree "$F/ref/$kind" "$E2E_DESKTOP/${kind}out"
    after_box "the $kind drop"
done

# A path with spaces and Japanese characters.
drop_and_pick "the archive with spaces and Japanese in its path" spcout "$SPACED"
expect_success "the archive with spaces and Japanese in its path" spcout
e2e_check "the spaced-path archive's files equal the reference" same_tree "$F/ref/zip" "$E2E_DESKTOP/spcout"
after_box "the spaced-path drop"

# Two files at once: only the first is extracted.
drop_and_pick "two archives" multiout "$F/other.zip" "$F/a.zip"
expect_success "two archives" multiout
e2e_check "only the first of two dropped archives is extracted" same_tree "$F/ref/other" "$E2E_DESKTOP/multiout"
after_box "the two-file drop"

# Onto an earlier extraction: the overwrite question names the number of existing files.
question() { crlf "解凍先に同じ名前のファイルが $1 個あります。" '上書きしますか？'; }
# overwrite_round ANSWER_ID N: drops a.zip onto zipout (whose readme.txt was changed and
# which holds N of the archive's files) and answers the question.
overwrite_round() {
    local mb
    printf 'changed\n' >"$E2E_DESKTOP/zipout/readme.txt"
    drop_and_pick "a.zip onto zipout" zipout "$F/a.zip"
    mb=$(wait_msgbox 60) || { e2e2_dump no-question; e2e_fail "no box after dropping onto an earlier extraction"; }
    expect_text "overwrite question text" "$(question "$2")" "$(msgbox_text "$mb")"
    e2e_expect_eq "overwrite question buttons (Yes, No, Cancel)" "2 6 7" \
        "$(msgbox_buttons "$mb" | cut -d: -f1 | sort -n | tr '\n' ' ' | sed 's/ $//')"
    msgbox_answer "$mb" "$1" || e2e_fail "the overwrite question did not close"
}
# No: existing files are kept, the missing one is extracted.
rm -f "$E2E_DESKTOP/zipout/data/numbers.txt"
overwrite_round 7 2
expect_success "the overwrite answered No" zipout
e2e_expect_eq "No keeps the existing file" changed "$(cat "$E2E_DESKTOP/zipout/readme.txt")"
e2e_check "No still extracts the file that was missing" cmp "$F/ref/zip/data/numbers.txt" "$E2E_DESKTOP/zipout/data/numbers.txt"
after_box "the overwrite answered No"

overwrite_round 6 3
expect_success "the overwrite answered Yes" zipout
e2e_check "Yes replaces the existing files" same_tree "$F/ref/zip" "$E2E_DESKTOP/zipout"
after_box "the overwrite answered Yes"

overwrite_round 2 3
# Cancel extracts nothing; the drop then ends in a result box (the other archivers
# cannot read a ZIP file either), which is closed whatever it says.
if mb=$(wait_msgbox 60); then
    e2e_log "box after Cancel: $(show_bytes "$(msgbox_text "$mb")")"
    msgbox_answer "$mb" 1 || e2e_fail "the box after Cancel did not close"
fi
e2e_expect_eq "Cancel leaves the existing file alone" changed "$(cat "$E2E_DESKTOP/zipout/readme.txt")"
after_box "the overwrite answered Cancel"

e2e_close_and_wait 30
e2e_pass
