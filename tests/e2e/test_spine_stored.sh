#!/usr/bin/env bash
# Stored positions: each case stores "Top" and "Left" texts, starts the gadget,
# and checks where the load step shows it and where the settle step leaves it.
# Text-to-number rule: leading blanks skipped, the leading number taken, text
# without a number and numbers outside the signed 32-bit range read as 0, and a
# Top of 0 selects the fallback place (load: 3000/3700 twips, settle: 0/0) with
# the stored Left ignored. Every case must also leave a running program.
source "$(dirname "$0")/lib.sh"
e2e_setup ja_JP.UTF-8

FALLBACK="$(twips_to_px 3000) $(twips_to_px 3700)"

# run_case NAME TOP LEFT LOAD_XY SETTLED_XY  (LOAD_XY "-" = not checked)
run_case() {
    local name=$1 top=$2 left=$3 want_load=$4 want_settled=$5 x y rect
    e2e_log "case: $name"
    reg_set Top "$top"
    reg_set Left "$left"
    reg_set Act 0
    e2e_start
    read -r x y _ _ <<<"$E2E_FIRST_GEOM"
    if [ "$want_load" != - ]; then
        if [ "$x $y" = "$want_settled" ] && [ "$want_load" != "$want_settled" ]; then
            e2e_note "$name: settle step ran before the first look; load place not checked"
        else
            e2e_expect_eq "$name: place at the load step" "$want_load" "$x $y"
        fi
    fi
    wait_settled 8 || e2e_note "$name: total memory never drawn; checking after the timeout"
    rect=$(wintool rect "$TITLE")
    e2e_expect_eq "$name: place after the settle step" "$want_settled 191 95" "$rect"
    e2e_check "$name: program still running" kill -0 "$PID"
    e2e_close_and_wait 20
}

run_case "stored 1500/2250"          1500          2250     "150 100"   "150 100"
run_case "Top 0 ignores Left"        0             5000     "$FALLBACK" "0 0"
run_case "blank before the number"   " 1500"       "  2250" "150 100"   "150 100"
run_case "number followed by text"   "1500abc"     "2250px" "150 100"   "150 100"
run_case "letters only"              "abc"         "2250"   "$FALLBACK" "0 0"
run_case "empty texts"               ""            ""       "$FALLBACK" "0 0"
run_case "Top beyond 32 bits"        "99999999999" "2250"   "$FALLBACK" "0 0"
run_case "Left beyond 32 bits"       "1500"        "-99999999999" "0 100" "0 100"
# The window manager pulls a window that first appears off-screen onto the
# screen, so only the settled place of a negative position is checked.
run_case "negative place"            "-750"        "-1500"  -           "-100 -50"
run_case "fractions"                 "1507.5"      "2242.5" "149 101"   "149 101"
e2e_pass
