#!/usr/bin/env bash
# Builds everything and runs every test: unit tests, archive conformance and
# integration tests, short fuzz runs and the end-to-end tests of tarvex.exe
# under Wine on a virtual display. The last line is CTest's summary.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test
scripts/build.sh all
cd build/native
ctest --output-on-failure --timeout 900 -j "$(nproc)"
