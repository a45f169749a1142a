#!/usr/bin/env bash
# A WM_NOTIFY posted by another process carries an address in that process's
# memory. Posted to the gadget with a bogus address, it must be ignored: the
# gadget keeps running and still answers a close request.
source "$(dirname "$0")/lib.sh"
e2e_setup ja_JP.UTF-8
e2e_start
wait_settled 8 || e2e_fail "the gadget never settled"
wintool post "$TITLE" 0x4E 0 0x1234 || e2e_fail "could not post WM_NOTIFY"
sleep 0.5
e2e_close_and_wait 20
e2e_pass
