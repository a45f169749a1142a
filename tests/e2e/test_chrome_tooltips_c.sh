#!/usr/bin/env bash
# Balloon tooltips of the four buttons under the C locale (code page 1252): the
# program must still draw its Japanese texts as glyphs, not as boxes.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/lib2.sh"

e2e_setup C
e2e2_start 3000 3000 0
tooltip_checks
e2e_pass
