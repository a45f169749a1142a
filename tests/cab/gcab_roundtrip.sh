#!/bin/sh
# Cabinets written by gcab (stored and MSZIP) from a tree made here, read
# back by `tarvex-extract Cab`: the tree must come back byte for byte with
# its file times; damaged copies must fail and leave the folder empty.
#
# usage: gcab_roundtrip.sh HARNESS
set -eu
HARNESS=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
command -v gcab >/dev/null || { echo "gcab not installed: skipped"; exit 77; }
W=$(mktemp -d /tmp/cab_gcab_XXXXXX)
trap 'rm -rf "$W"' EXIT
fail=0
note() { echo "$*"; }
bad() { echo "FAIL: $*"; fail=1; }

mkdir -p "$W/src/tree/deep/er/still" "$W/src/tree/名前/フォルダ" "$W/src/tree/many"
python3 - "$W/src/tree" <<'PY'
import os, random, sys
root = sys.argv[1]
rng = random.Random(4)
def w(rel, data):
    with open(os.path.join(root, rel), 'wb') as f:
        f.write(data)
words = [b'cabinet', b'folder', b'block', b'window', b'\xe6\x97\xa5\xe6\x9c\xac', b'data', b'\r\n', b'\n']
w('text.txt', b' '.join(rng.choice(words) for _ in range(120000)))
w('random.bin', rng.randbytes(150000))
w('empty.txt', b'')
w('exact_block.bin', bytes(32768))
w('deep/er/still/leaf.txt', b'leaf\n')
w('名前/フォルダ/テスト①.txt', '日本語の中身\n'.encode() * 50)
for i in range(60):
    w('many/f%02d.txt' % i, rng.randbytes(rng.randint(0, 3000)))
PY
# Whole-second times in the DOS range, on every file.
find "$W/src/tree" -type f -exec touch -d '2021-03-04 05:06:08' {} +

cd "$W/src"
gcab -c "$W/none.cab" tree
gcab -cz "$W/mszip.cab" tree
for cab in none mszip; do
  out="$W/out_$cab"
  mkdir "$out"
  if ! "$HARNESS" Cab "$W/$cab.cab" "$out" >/dev/null 2>&1; then
    bad "$cab: Cab failed"
    continue
  fi
  if ! diff -r "$W/src/tree" "$out/tree" >/dev/null; then
    bad "$cab: extracted tree differs"
  fi
  want=$(stat -c %Y "$W/src/tree/text.txt")
  got=$(stat -c %Y "$out/tree/text.txt")
  [ "$want" = "$got" ] || bad "$cab: file time $got, wanted $want"
  note "ok: $cab"
done

# Damage: a flipped byte in the middle (data blocks), and a cut file.
size=$(stat -c %s "$W/mszip.cab")
cp "$W/mszip.cab" "$W/flipped.cab"
printf '\377\000\377' | dd of="$W/flipped.cab" bs=1 seek=$((size / 2)) conv=notrunc 2>/dev/null
head -c $((size * 2 / 3)) "$W/mszip.cab" > "$W/cut.cab"
for cab in flipped cut; do
  out="$W/out_$cab"
  mkdir "$out"
  if "$HARNESS" Cab "$W/$cab.cab" "$out" >/dev/null 2>&1; then
    bad "$cab: Cab reported success"
  fi
  [ -z "$(ls -A "$out")" ] || bad "$cab: folder not left empty"
  note "ok: $cab fails cleanly"
done

[ $fail = 0 ] && echo "gcab round trip: all passed"
exit $fail
