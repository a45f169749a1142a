#!/bin/sh
# Builds win_unicode_check.exe against the Windows build of tarvex_extract and
# runs it under Wine: the engine's Win32 file layer with Japanese names.
#   win_unicode.sh WIN_BUILD_DIR WORK_DIR
# Exit 77 (a skip for CTest) without the Windows build, mingw-w64 or Wine.
set -u
winbuild=$1 work=$2
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
cxx=x86_64-w64-mingw32-g++-posix
if [ ! -f "$winbuild/libtarvex_extract.a" ] || ! command -v $cxx >/dev/null || ! command -v wine >/dev/null; then
  echo "no Windows build of tarvex_extract at $winbuild, or no mingw-w64/wine: skipped"
  exit 77
fi
mkdir -p "$work"
work=$(cd "$work" && pwd)
$cxx -std=c++20 -O2 -municode -static -DUNICODE -D_UNICODE -I"$repo/src" \
     "$here/win_unicode_check.cpp" "$winbuild/libtarvex_extract.a" -lz -o "$work/win_unicode_check.exe" || exit 1

python3 - "$work/jp.zip" <<'PY'
import struct, sys, zlib
entries = [("表だよ/ソース.txt".encode("cp932"), b"cp932 name", 0),
           ("日本語/ファイル①.txt".encode("utf-8"), b"utf8 name", 0x800)]
body = central = b""
for name, data, flags in entries:
    crc, off = zlib.crc32(data), len(body)
    # DOS time 12:00:00, date 2025-01-01
    body += struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, flags, 0, 0x6000, 0x5A21, crc, len(data), len(data), len(name), 0) + name + data
    central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, flags, 0, 0x6000, 0x5A21, crc, len(data), len(data),
                           len(name), 0, 0, 0, 0, 0, off) + name
end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 2, 2, len(central), len(body), 0)
open(sys.argv[1], "wb").write(body + central + end)
PY
python3 -c 'import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as z:
    z.writestr("Ä.txt", "upper")
    z.writestr("ä.txt", "lower")' "$work/case.zip"

rm -rf "$work/run"
mkdir -p "$work/run"
export WINEPREFIX="$work/pfx" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;libwinpthread-1,libgcc_s_seh-1,libstdc++-6=d"
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
out=$(timeout 300 wine "$work/win_unicode_check.exe" "$(winpath "$work/run")" "$(winpath "$work/jp.zip")" \
      "$(winpath "$work/case.zip")" 2>&1)
status=$?
printf '%s\n' "$out" | tr -d '\r'
[ $status -eq 0 ] && printf '%s\n' "$out" | grep -q '^OK' && exit 0
exit 1
