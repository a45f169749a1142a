#!/usr/bin/env python3
"""Builds the program's pictures from their text form.

Every picture is authored as one text file in src/assets/art/ (see
art/README.txt for the format). This script checks them all, then writes one
.bmp, .ico or .cur per asset and tarvex.rc, the resource script that compiles
them into tarvex.exe under the ids of asset_ids.h, together with the
application manifest tarvex.manifest beside this script.

    make_assets.py --out DIR [--art DIR] [--ids FILE] [--list]

Nothing is written unless every art file is valid; errors go to stderr with
the file and line, and the exit status is 1.
"""

import argparse
import os
import re
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
MANIFEST = os.path.join(HERE, "tarvex.manifest")

# Button edge rule: the pressed twin of a button turns the inner white
# highlight (second row and second column) into the face colour.
WHITE = (255, 255, 255)
FACE = (162, 181, 255)

KINDS = ("bitmap", "icon", "cursor")
EXT = {"bitmap": "bmp", "icon": "ico", "cursor": "cur"}
RC_TYPE = {"bitmap": "BITMAP", "icon": "ICON", "cursor": "CURSOR"}


class ArtError(Exception):
    pass


class Art:
    """One parsed art file: a palette and one or more pixel grids."""

    def __init__(self, path):
        self.path = path
        self.name = None
        self.kind = None
        self.hotspot = None
        self.pressed = None
        self.palette = {}   # char -> (r, g, b) or None for transparent
        self.images = []    # list of grids; a grid is a list of rows of (r,g,b) or None

    def size(self, i=0):
        g = self.images[i]
        return len(g[0]), len(g)


def parse_art(path):
    art = Art(path)
    section = None
    grid = None
    grid_lines = []

    def fail(lineno, msg):
        raise ArtError(f"{path}:{lineno}: {msg}")

    def close_grid():
        if grid is None:
            return
        if not grid:
            fail(grid_lines[0] if grid_lines else 0, "empty image")
        width = len(grid[0])
        for row, ln in zip(grid, grid_lines):
            if len(row) != width:
                fail(ln, f"row has {len(row)} pixels, the first row has {width}")
        art.images.append(grid)

    with open(path, encoding="utf-8") as f:
        lines = f.read().splitlines()

    for lineno, raw in enumerate(lines, 1):
        if section == "image":
            # Inside the pixel part every character is a pixel ('#' too);
            # blank lines are skipped and 'image' starts the next picture.
            text = raw.rstrip()
            if text == "":
                continue
            if text == "image":
                close_grid()
                grid, grid_lines = [], []
                continue
            row = []
            for ch in text:
                if ch not in art.palette:
                    fail(lineno, f"pixel {ch!r} is not in the palette")
                row.append(art.palette[ch])
            grid.append(row)
            grid_lines.append(lineno)
            continue

        stripped = raw.strip()
        line = stripped if stripped.startswith("color ") else stripped.split("#", 1)[0].strip()
        if not line:
            continue
        words = line.split()
        key = words[0]
        if key == "asset" and len(words) == 2:
            art.name = words[1]
        elif key == "kind" and len(words) == 2 and words[1] in KINDS:
            art.kind = words[1]
        elif key == "hotspot" and len(words) == 3:
            try:
                art.hotspot = (int(words[1]), int(words[2]))
            except ValueError:
                fail(lineno, "hotspot needs two whole numbers")
        elif key == "pressed" and len(words) == 2:
            art.pressed = words[1]
        elif key == "color":
            # color C R G B   or   color C transparent   (C is any one
            # character except space; '#' is allowed here)
            m = re.fullmatch(r"color (\S) +(?:(\d+) +(\d+) +(\d+)|(transparent))(?: +#.*)?", stripped)
            if not m:
                fail(lineno, "expected 'color C R G B' or 'color C transparent'")
            ch = m.group(1)
            if ch in art.palette:
                fail(lineno, f"colour {ch!r} defined twice")
            if m.group(5):
                art.palette[ch] = None
            else:
                rgb = tuple(int(m.group(i)) for i in (2, 3, 4))
                if any(v > 255 for v in rgb):
                    fail(lineno, "colour components must be 0..255")
                art.palette[ch] = rgb
        elif key == "image" and len(words) == 1:
            section = "image"
            grid, grid_lines = [], []
        else:
            fail(lineno, f"cannot read {raw.strip()!r}")
    if section != "image":
        raise ArtError(f"{path}: no image")
    close_grid()

    if art.name is None or art.kind is None:
        raise ArtError(f"{path}: needs 'asset NAME' and 'kind {'|'.join(KINDS)}'")
    if art.kind == "cursor":
        if art.hotspot is None:
            raise ArtError(f"{path}: a cursor needs 'hotspot X Y'")
        w, h = art.size()
        if not (0 <= art.hotspot[0] < w and 0 <= art.hotspot[1] < h):
            raise ArtError(f"{path}: hotspot outside the picture")
        colours = {c for c in art.palette.values() if c is not None}
        if len(colours | {(0, 0, 0)}) > 16:
            raise ArtError(f"{path}: a 16-colour cursor may use at most 15 colours besides black")
    elif art.hotspot is not None:
        raise ArtError(f"{path}: only a cursor has a hotspot")
    if art.kind == "bitmap":
        if len(art.images) != 1:
            raise ArtError(f"{path}: a bitmap has exactly one image")
        if any(p is None for row in art.images[0] for p in row):
            raise ArtError(f"{path}: a bitmap cannot have transparent pixels")
    if art.pressed and art.kind != "bitmap":
        raise ArtError(f"{path}: only a button bitmap has a pressed twin")
    for g in art.images:
        w, h = len(g[0]), len(g)
        if w > 256 or h > 256:
            raise ArtError(f"{path}: {w} x {h} is too large for an icon or bitmap here")
    return art


def pressed_twin(grid):
    """The pressed look: the white highlight on the second row and the second
    column (inside the outer edge ring) becomes the face colour."""
    h, w = len(grid), len(grid[0])
    out = [list(row) for row in grid]
    for y in range(1, h - 1):
        for x in range(1, w - 1):
            if (y == 1 or x == 1) and out[y][x] == WHITE:
                out[y][x] = FACE
    return out


def read_ids(path):
    """Names and numbers of the Asset enum; Digit1..Digit8 follow Digit0."""
    with open(path, encoding="utf-8") as f:
        text = f.read()
    m = re.search(r"enum class Asset[^{]*\{(.*?)\};", text, re.S)
    if not m:
        raise ArtError(f"{path}: no 'enum class Asset'")
    ids = {}
    for name, value in re.findall(r"\b(\w+)\s*=\s*(\d+)", m.group(1)):
        ids[name] = int(value)
    if "Digit0" in ids:
        for n in range(1, 10):
            ids.setdefault(f"Digit{n}", ids["Digit0"] + n)
    return ids


# ---------------------------------------------------------------- encoders

def _row_bytes_24(row):
    data = bytearray()
    for p in row:
        r, g, b = p if p is not None else (0, 0, 0)
        data += bytes((b, g, r))
    data += b"\0" * (-len(data) % 4)
    return bytes(data)


def _mask_rows(grid):
    """1-bit AND mask, bottom-up, each row padded to 4 bytes; 1 = transparent."""
    out = bytearray()
    for row in reversed(grid):
        bits = bytearray((len(row) + 7) // 8)
        for x, p in enumerate(row):
            if p is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        bits += b"\0" * (-len(bits) % 4)
        out += bits
    return bytes(out)


def _info_header(w, h, bpp, image_size, colours=0):
    # BITMAPINFOHEADER; 3780 pixels per metre is 96 dpi.
    return struct.pack("<IiiHHIIiiII", 40, w, h, 1, bpp, 0, image_size, 3780, 3780, colours, 0)


def encode_bmp(grid):
    h, w = len(grid), len(grid[0])
    pixels = b"".join(_row_bytes_24(row) for row in reversed(grid))
    info = _info_header(w, h, 24, len(pixels))
    offset = 14 + len(info)
    head = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return head + info + pixels


def _icon_dib_24(grid):
    h, w = len(grid), len(grid[0])
    xor = b"".join(_row_bytes_24(row) for row in reversed(grid))
    mask = _mask_rows(grid)
    # The height counts both the colour image and the mask.
    return _info_header(w, 2 * h, 24, len(xor) + len(mask)) + xor + mask


def _cursor_dib_4(grid):
    h, w = len(grid), len(grid[0])
    colours = [(0, 0, 0)]
    for row in grid:
        for p in row:
            if p is not None and p not in colours:
                colours.append(p)
    colours += [(0, 0, 0)] * (16 - len(colours))
    index = {}
    for i, c in enumerate(colours):
        index.setdefault(c, i)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in colours)
    xor = bytearray()
    for row in reversed(grid):
        line = bytearray((w + 1) // 2)
        for x, p in enumerate(row):
            i = index[p] if p is not None else 0
            line[x // 2] |= i << 4 if x % 2 == 0 else i
        line += b"\0" * (-len(line) % 4)
        xor += line
    mask = _mask_rows(grid)
    return _info_header(w, 2 * h, 4, len(xor) + len(mask), 16) + palette + bytes(xor) + mask


def encode_icon_file(images, cursor_hotspot=None):
    """An .ico (or, with a hot spot, .cur) file: directory plus one DIB per image."""
    is_cursor = cursor_hotspot is not None
    dibs = [(_cursor_dib_4(g) if is_cursor else _icon_dib_24(g)) for g in images]
    head = struct.pack("<HHH", 0, 2 if is_cursor else 1, len(images))
    offset = len(head) + 16 * len(images)
    entries = b""
    for g, dib in zip(images, dibs):
        h, w = len(g), len(g[0])
        if is_cursor:
            entries += struct.pack("<BBBBHHII", w % 256, h % 256, 16, 0,
                                   cursor_hotspot[0], cursor_hotspot[1], len(dib), offset)
        else:
            entries += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 24, len(dib), offset)
        offset += len(dib)
    return head + entries + b"".join(dibs)


# ---------------------------------------------------------------- driver

def load_all(art_dir, ids):
    """Parses every art file; returns a list of (name, kind, id, bytes)."""
    files = sorted(f for f in os.listdir(art_dir) if f.endswith(".txt") and f != "README.txt")
    outputs = []
    errors = []
    seen = {}
    for fn in files:
        try:
            art = parse_art(os.path.join(art_dir, fn))
            made = [(art.name, art.images[0])]
            if art.pressed:
                made.append((art.pressed, pressed_twin(art.images[0])))
            for name, grid in made:
                if name not in ids:
                    raise ArtError(f"{art.path}: {name} is not an Asset id")
                if name in seen:
                    raise ArtError(f"{art.path}: {name} is also made by {seen[name]}")
                seen[name] = fn
                if art.kind == "bitmap":
                    data = encode_bmp(grid)
                elif art.kind == "icon":
                    data = encode_icon_file(art.images)
                else:
                    data = encode_icon_file(art.images, art.hotspot)
                outputs.append((name, art.kind, ids[name], data))
        except (ArtError, OSError, UnicodeDecodeError) as e:
            errors.append(str(e))
    missing = sorted(n for n, v in ids.items() if v != 0 and n not in seen)
    if missing:
        errors.append(f"{art_dir}: no art for {', '.join(missing)}")
    if errors:
        raise ArtError("\n".join(errors))
    return sorted(outputs, key=lambda o: o[2])


def rc_path(path):
    return os.path.abspath(path).replace("\\", "/").replace('"', '""')


def rc_text(outputs, out_dir):
    lines = ["// tarvex.exe's pictures, generated by make_assets.py from src/assets/art,",
             "// and its application manifest (src/assets/tarvex.manifest).",
             "// Resource ids are the values of tarvex::Asset (assets/asset_ids.h).",
             "#include <winuser.rh>", "",
             f'CREATEPROCESS_MANIFEST_RESOURCE_ID RT_MANIFEST "{rc_path(MANIFEST)}"']
    for name, kind, rid, _ in outputs:
        path = rc_path(os.path.join(out_dir, f"{name}.{EXT[kind]}"))
        lines.append(f'{rid} {RC_TYPE[kind]} "{path}"  // {name}')
    return "\n".join(lines) + "\n"


def write_file(path, data):
    """Writes through a temporary file, so no half-written picture is left."""
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, path)


def main(argv):
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--out", required=True, help="folder for the .bmp/.ico/.cur files and tarvex.rc")
    ap.add_argument("--art", default=os.path.join(HERE, "art"))
    ap.add_argument("--ids", default=os.path.join(HERE, "asset_ids.h"))
    ap.add_argument("--list", action="store_true",
                    help="only print the names of the files that would be written")
    args = ap.parse_args(argv)
    try:
        outputs = load_all(args.art, read_ids(args.ids))
    except (ArtError, OSError) as e:
        print(f"make_assets: {e}", file=sys.stderr)
        return 1
    if args.list:
        for name, kind, _, _ in outputs:
            print(f"{name}.{EXT[kind]}")
        print("tarvex.rc")
        return 0
    os.makedirs(args.out, exist_ok=True)
    for name, kind, _, data in outputs:
        write_file(os.path.join(args.out, f"{name}.{EXT[kind]}"), data)
    # The resource script last: it is the build's sign that all files are there.
    write_file(os.path.join(args.out, "tarvex.rc"), rc_text(outputs, args.out).encode())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
