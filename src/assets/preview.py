#!/usr/bin/env python3
"""Composes PNG mock-ups from the art files, to judge the pictures by eye.

    preview.py --out DIR [--art DIR] [--scale N]

Writes DIR/window.png (the 191 x 95 main window at its creation layout,
with sample figures 12/31 23:59, 0523.760 and 0256.000 in the digit cells)
and DIR/sheet.png (every asset on a grey ground, pressed twins beside their
buttons, icon images side by side), both enlarged N times (default 4), and
DIR/window-1x.png at real size.
"""

import argparse
import os
import struct
import sys
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_assets  # noqa: E402


def write_png(path, canvas, scale=1):
    h, w = len(canvas), len(canvas[0])
    raw = bytearray()
    for row in canvas:
        line = bytearray(b"\0")
        for p in row:
            line += bytes(p) * scale
        raw += bytes(line) * scale

    def chunk(tag, data):
        return struct.pack(">I", len(data)) + tag + data + struct.pack(">I", zlib.crc32(tag + data))

    ihdr = struct.pack(">IIBBBBB", w * scale, h * scale, 8, 2, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
                + chunk(b"IEND", b""))


def load_grids(art_dir):
    grids = {}
    for fn in sorted(os.listdir(art_dir)):
        if not fn.endswith(".txt") or fn == "README.txt":
            continue
        art = make_assets.parse_art(os.path.join(art_dir, fn))
        grids[art.name] = art.images
        if art.pressed:
            grids[art.pressed] = [make_assets.pressed_twin(art.images[0])]
    return grids


def blit(canvas, grid, left, top, width=None, height=None):
    """Draws a picture; transparent pixels leave the canvas alone. With a
    width/height it is stretched (nearest pixel), as a stretched image is.
    A picture that has no art yet is left out."""
    if grid is None:
        return
    gh, gw = len(grid), len(grid[0])
    width = width or gw
    height = height or gh
    for y in range(height):
        for x in range(width):
            # Sample at the pixel centre, as the platform's stretch does.
            p = grid[(2 * y + 1) * gh // (2 * height)][(2 * x + 1) * gw // (2 * width)]
            cy, cx = top + y, left + x
            if p is not None and 0 <= cy < len(canvas) and 0 <= cx < len(canvas[0]):
                canvas[cy][cx] = p


def window(grids):
    W, H = 191, 95
    c = [[make_assets.FACE] * W for _ in range(H)]
    g = lambda name: grids[name][0] if name in grids else None  # noqa: E731
    # Frame: corners 2 x 2, edges stretched along the outer edge.
    blit(c, g("FrameLT"), 0, 0)
    blit(c, g("FrameMT"), 2, 0, W - 4, 2)
    blit(c, g("FrameRT"), W - 2, 0)
    blit(c, g("FrameLM"), 0, 2, 2, H - 4)
    blit(c, g("FrameRM"), W - 2, 2, 2, H - 4)
    blit(c, g("FrameLB"), 0, H - 2, 2, 2)
    blit(c, g("FrameMB"), 2, H - 2, W - 4, 2)
    blit(c, g("FrameRB"), W - 2, H - 2, 2, 2)
    # Panels, status bar, buttons, logo and the etched separator.
    blit(c, g("DatePanel"), 4, 5)
    blit(c, g("MemoryPanel"), 4, 32)
    blit(c, g("DatePanel"), 4, 72, 160, 19)
    blit(c, g("Close1"), 95, 5)
    blit(c, g("Hide1"), 112, 5)
    blit(c, g("Settings1"), 129, 5)
    blit(c, g("Extract1"), 94, 22)
    blit(c, g("Logo"), 171, 4)
    for y in range(5, 90):
        c[y][168] = (128, 128, 128)
    for y in range(5, 91):
        c[y][169] = (255, 255, 255)
    # Date and time: 12/31 23:59.
    for left, d in zip((8, 15, 26, 33, 49, 56, 67, 74), "12312359"):
        blit(c, g(f"Digit{d}"), 4 + left, 5 + 8)
    blit(c, g("Slash"), 4 + 22, 5 + 8)
    blit(c, g("Colon"), 4 + 63, 5 + 8)
    # Memory: total 0523.760, free 0256.000.
    for top, level, text in ((9, "LevelTotal", "0523760"), (23, "LevelFree", "0256000")):
        blit(c, g(level), 4 + 6, 32 + top)
        for left, d in zip((28, 35, 42, 49, 60, 67, 74), text):
            blit(c, g(f"Digit{d}"), 4 + left, 32 + top)
        blit(c, g("Dot"), 4 + 56, 32 + top)
    return c


def sheet(grids):
    grey = (96, 96, 104)
    order = sorted(grids, key=lambda n: (len(grids[n][0][0]) * len(grids[n][0]), n))
    pieces = [(n, img) for n in order for img in grids[n]]
    W = 260
    x = y = 4
    row_h = 0
    placed = []
    for name, img in pieces:
        w, h = len(img[0]), len(img)
        if x + w + 4 > W:
            x, y = 4, y + row_h + 4
            row_h = 0
        placed.append((img, x, y))
        x += w + 4
        row_h = max(row_h, h)
    c = [[grey] * W for _ in range(y + row_h + 4)]
    for img, px, py in placed:
        blit(c, img, px, py)
    return c


def main(argv):
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--out", required=True)
    ap.add_argument("--art", default=os.path.join(make_assets.HERE, "art"))
    ap.add_argument("--scale", type=int, default=4)
    args = ap.parse_args(argv)
    try:
        grids = load_grids(args.art)
    except make_assets.ArtError as e:
        print(f"preview: {e}", file=sys.stderr)
        return 1
    os.makedirs(args.out, exist_ok=True)
    win = window(grids)
    write_png(os.path.join(args.out, "window.png"), win, args.scale)
    write_png(os.path.join(args.out, "window-1x.png"), win, 1)
    write_png(os.path.join(args.out, "sheet.png"), sheet(grids), args.scale)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
