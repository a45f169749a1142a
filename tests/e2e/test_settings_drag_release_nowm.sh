#!/usr/bin/env bash
# The checks of test_settings_drag_release.sh without a window manager, where Wine runs
# the move loop itself: a failure here is the program's own, while a failure only in the
# other test comes from the way Wine hands the move to a window manager.
export E2E_WM=0
source "$(dirname "$0")/test_settings_drag_release.sh"
