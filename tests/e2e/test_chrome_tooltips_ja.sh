#!/usr/bin/env bash
# Balloon tooltips of the four buttons under a Japanese locale: blue balloon, title and
# body lines as given by the CR LF breaks, Japanese glyphs drawn.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/lib2.sh"

e2e_setup ja_JP.UTF-8
e2e2_start 3000 3000 0
tooltip_checks
e2e_pass
