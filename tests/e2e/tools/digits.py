#!/usr/bin/env python3
"""Reads the gadget's digit cells from a screenshot.

usage: digits.py FILE [X0 Y0] [--cells]

FILE is a picture whose point (X0, Y0) (default 0, 0) is the top-left corner of
the gadget window. Every digit cell is a 6 x 7 pixel area; its lit pixels have
the exact colour (107, 198, 255). A cell reads as the digit whose pattern its lit
pixels match exactly, otherwise as "?".

Prints one line "MM/DD hh:mm TTTT.TTT FFFF.FFF" (date, time, total memory, free
memory). With --cells it prints the lit/unlit mask of every cell as well.
"""
import subprocess
import sys

LIT = (107, 198, 255)

# Rows top to bottom; X = lit.
GLYPHS = {
    "0": ["XXXXXX", "X....X", "X....X", "X....X", "X....X", "X....X", "XXXXXX"],
    "1": [".XXX..", "...X..", "...X..", "...X..", "...X..", "...X..", "XXXXXX"],
    "2": ["XXXXXX", ".....X", ".....X", "XXXXXX", "X.....", "X.....", "XXXXXX"],
    "3": ["XXXXXX", ".....X", ".....X", "XXXXXX", ".....X", ".....X", "XXXXXX"],
    "4": ["X....X", "X....X", "X....X", "XXXXXX", ".....X", ".....X", ".....X"],
    "5": ["XXXXXX", "X.....", "X.....", "XXXXXX", ".....X", ".....X", "XXXXXX"],
    "6": ["X.....", "X.....", "X.....", "XXXXXX", "X....X", "X....X", "XXXXXX"],
    "7": ["XXXXXX", "X....X", "X....X", ".....X", ".....X", ".....X", ".....X"],
    "8": ["XXXXXX", "X....X", "X....X", "XXXXXX", "X....X", "X....X", "XXXXXX"],
    "9": ["XXXXXX", "X....X", "X....X", "XXXXXX", ".....X", ".....X", ".....X"],
}

TWIPS = 15
# Picture boxes (window client coordinates, twips) and their cells (box coordinates, twips).
DATE_BOX = (60, 75)
DATE_CELLS = [120, 225, 390, 495, 735, 840, 1005, 1110]
DATE_TOP = 120
MEM_BOX = (60, 480)
MEM_CELLS = [420, 525, 630, 735, 900, 1005, 1110]
MEM_TOPS = (135, 345)


def px(t):
    return int(t / TWIPS + 0.5)


def read_ppm(path):
    data = subprocess.run(["convert", path, "-depth", "8", "ppm:-"], check=True,
                          stdout=subprocess.PIPE).stdout
    # P6 header: magic, width, height, maxval, each separated by whitespace
    fields = []
    pos = 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            while data[pos:pos + 1] != b"\n":
                pos += 1
            continue
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    pos += 1
    if fields[0] != b"P6":
        raise SystemExit("not a PPM picture")
    w, h = int(fields[1]), int(fields[2])
    return w, h, data[pos:]


def cell_mask(img, x, y):
    w, h, pix = img
    rows = []
    for r in range(7):
        row = ""
        for c in range(6):
            xx, yy = x + c, y + r
            if 0 <= xx < w and 0 <= yy < h:
                i = (yy * w + xx) * 3
                row += "X" if tuple(pix[i:i + 3]) == LIT else "."
            else:
                row += "."
        rows.append(row)
    return rows


def decode(mask):
    for d, g in GLYPHS.items():
        if g == mask:
            return d
    return "?"


def cells(x0, y0):
    """Screen positions of all 22 cells: 8 date/time, 7 total, 7 free."""
    out = []
    bx, by = x0 + px(DATE_BOX[0]), y0 + px(DATE_BOX[1])
    out += [(bx + px(l), by + px(DATE_TOP)) for l in DATE_CELLS]
    bx, by = x0 + px(MEM_BOX[0]), y0 + px(MEM_BOX[1])
    for top in MEM_TOPS:
        out += [(bx + px(l), by + px(top)) for l in MEM_CELLS]
    return out


def selftest():
    """Draws known figures into a synthetic window picture and reads them back."""
    import os
    import tempfile
    w, h = 191, 95
    pix = bytearray(b"\x00\x00\x00" * (w * h))
    text = "1231" + "2359" + "0523760" + "9876543"
    for (x, y), ch in zip(cells(0, 0), text):
        for r, row in enumerate(GLYPHS[ch]):
            for c, v in enumerate(row):
                if v == "X":
                    i = ((y + r) * w + x + c) * 3
                    pix[i:i + 3] = bytes(LIT)
    # a lit pixel of a near colour must not count
    x, y = cells(0, 0)[0]
    i = ((y + 1) * w + x + 1) * 3
    pix[i:i + 3] = bytes((107, 198, 254))
    fd, path = tempfile.mkstemp(suffix=".ppm")
    with os.fdopen(fd, "wb") as f:
        f.write(b"P6\n%d %d\n255\n" % (w, h) + bytes(pix))
    try:
        img = read_ppm(path)
        got = "".join(decode(cell_mask(img, x, y)) for x, y in cells(0, 0))
        # every glyph pattern is distinct and reads back as itself
        assert len({"".join(g) for g in GLYPHS.values()}) == 10
        assert got == text, (got, text)
        # one stray lit pixel makes a cell unreadable instead of another digit
        i = ((y + 1) * w + x + 1) * 3
        pix[i:i + 3] = bytes(LIT)
        with open(path, "wb") as f:
            f.write(b"P6\n%d %d\n255\n" % (w, h) + bytes(pix))
        got = "".join(decode(cell_mask(read_ppm(path), x, y)) for x, y in cells(0, 0))
        assert got[0] == "?", got
    finally:
        os.unlink(path)
    print("digits selftest ok")


def main(argv):
    if "--selftest" in argv:
        selftest()
        return
    show = "--cells" in argv
    args = [a for a in argv[1:] if a != "--cells"]
    if not args:
        raise SystemExit(__doc__)
    x0, y0 = (int(args[1]), int(args[2])) if len(args) >= 3 else (0, 0)
    img = read_ppm(args[0])
    masks = [cell_mask(img, x, y) for x, y in cells(x0, y0)]
    d = "".join(decode(m) for m in masks)
    print(f"{d[0:2]}/{d[2:4]} {d[4:6]}:{d[6:8]} {d[8:12]}.{d[12:15]} {d[15:19]}.{d[19:22]}")
    if show:
        for i, m in enumerate(masks):
            print(f"cell {i}: " + " ".join(m))


if __name__ == "__main__":
    main(sys.argv)
