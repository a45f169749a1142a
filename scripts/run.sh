#!/usr/bin/env bash
# Builds tarvex.exe and runs it under Wine in its own prefix
# (~/.local/share/tarvex/wineprefix, or $TARVEX_WINEPREFIX).
#  - With DISPLAY set, the gadget appears on that display and runs until you close it.
#  - Without DISPLAY, it runs on a private virtual display: once the readouts show
#    real figures it saves a picture of the gadget to build/screenshot.png, then
#    closes the gadget the way the system would (WM_CLOSE) and cleans up.
# The display and Wine set-up is the end-to-end tests' own (tests/e2e/e2e.py).
# Usage: scripts/run.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh run
scripts/build.sh win
exec python3 tests/e2e/e2e.py run
