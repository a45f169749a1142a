#!/usr/bin/env bash
# A DLL that bears a system library's name and lies beside the program (as
# anything can in a download folder) is never put to use: the gadget takes
# system libraries from System32 only. Wine prefers its own builtin DLLs, so
# "uxtheme=n,b" makes it search like Windows, where the first file found wins.
# Wine's user32 itself tries the name before the program's first instruction
# and lets go of the file again; what counts is that the running gadget does
# not hold it.
source "$(dirname "$0")/lib.sh"
e2e_setup
command -v x86_64-w64-mingw32-gcc >/dev/null || e2e_skip "no mingw-w64 C compiler"
mkdir "$T/app" && cp "$EXE" "$T/app/"
echo 'int planted;' | x86_64-w64-mingw32-gcc -shared -x c -o "$T/app/uxtheme.dll" - || e2e_fail "cannot build the DLL"
WINEDLLOVERRIDES="$WINEDLLOVERRIDES;uxtheme=n,b" e2e_start "$T/app/tarvex.exe"
e2e_check "the planted uxtheme.dll is not loaded" [ -z "$(grep -F "$T/app/uxtheme.dll" "/proc/$PID/maps")" ]
e2e_close_and_wait
e2e_pass
