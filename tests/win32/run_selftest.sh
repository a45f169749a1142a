#!/usr/bin/env bash
# Runs the Win32 layer's self-test (test_win32_layer.exe) under Wine on a
# private virtual display and Wine prefix, once with LANG=C and once with
# LANG=ja_JP.UTF-8. Exit 0 when both runs pass, 77 when the program or Wine
# is not available (CTest reports a skip), 1 otherwise.
set -uo pipefail

EXE=${1:-${TARVEX_WIN_BUILD_DIR:-build/win}/test_win32_layer.exe}
if [ ! -f "$EXE" ]; then echo "SKIP: $EXE not built"; exit 77; fi
for t in wine wineboot wineserver Xvfb; do
  command -v "$t" >/dev/null || { echo "SKIP: $t missing"; exit 77; }
done

WORK=$(mktemp -d /tmp/tarvex-win32-selftest.XXXXXX)
XPID=
cleanup() {
  if [ -d "$WORK/pfx" ]; then WINEPREFIX="$WORK/pfx" wineserver -k 2>/dev/null; fi
  [ -n "$XPID" ] && kill "$XPID" 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$WORK/display" 2>/dev/null &
XPID=$!
for _ in $(seq 50); do [ -s "$WORK/display" ] && break; sleep 0.1; done
[ -s "$WORK/display" ] || { echo "FAIL: Xvfb did not start"; exit 1; }
export DISPLAY=":$(cat "$WORK/display")"
export WINEPREFIX="$WORK/pfx" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;libwinpthread-1,libgcc_s_seh-1,libstdc++-6=d"
timeout 180 wineboot -i >/dev/null 2>&1
timeout 60 wineserver -w

status=0
for lang in C ja_JP.UTF-8; do
  out=$(LANG=$lang timeout 120 wine "$EXE" 2>/dev/null | tr -d '\r')
  rc=$?
  echo "[$lang] ${out##*$'\n'}"
  if [ $rc -ne 0 ]; then
    echo "$out" | grep '^FAIL' | sed "s/^/[$lang] /"
    status=1
  fi
done
exit $status
