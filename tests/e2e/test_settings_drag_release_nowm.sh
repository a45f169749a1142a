#!/usr/bin/env bash
# The checks of test_settings_drag_release.sh without a window manager, where Wine runs
# the move loop itself instead of handing the move to the window manager.
export E2E_WM=0
source "$(dirname "$0")/test_settings_drag_release.sh"
