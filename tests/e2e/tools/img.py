#!/usr/bin/env python3
"""Pixel checks on screenshots of the gadget, for the end-to-end tests.

  img.py ring FILE           checks the 2-pixel bevelled frame along the picture's
                             edges; prints "ok" or the wrong pixels (exit 1)
  img.py ink FILE X Y W H    looks at text in a rectangle whose background is the
                             most common colour there; prints
                             "ink=N shapes=K colours=C": N pixels differ from the
                             background, K distinct glyph shapes (runs of inked
                             columns, compared by their exact pixel mask)
  img.py diff A B X Y W H    number of pixels that differ between two pictures
                             in the rectangle
  img.py count FILE RRGGBB X Y W H   pixels of exactly that colour in the rectangle
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from digits import read_ppm  # noqa: E402

LIGHT_OUT, LIGHT_IN = "D2DAFF", "B3C1FF"
DARK_OUT, DARK_IN = "6886FF", "8EA5FF"

# 2 x 2 frame pieces, rows top to bottom.
CORNERS = {
    "lt": [[LIGHT_OUT, LIGHT_OUT], [LIGHT_OUT, LIGHT_IN]],
    "rt": [[LIGHT_OUT, DARK_OUT], [DARK_IN, DARK_OUT]],
    "lb": [[LIGHT_OUT, DARK_IN], [DARK_OUT, DARK_OUT]],
    "rb": [[DARK_IN, DARK_OUT], [DARK_OUT, DARK_OUT]],
}


class Img:
    def __init__(self, path):
        self.w, self.h, self.pix = read_ppm(path)

    def at(self, x, y):
        i = (y * self.w + x) * 3
        return "%02X%02X%02X" % tuple(self.pix[i:i + 3])


def expected_ring(w, h):
    """Colour of every pixel of the two outer rings of a w x h window."""
    exp = {}
    for x in range(2, w - 2):
        exp[(x, 0)], exp[(x, 1)] = LIGHT_OUT, LIGHT_IN          # mt
        exp[(x, h - 2)], exp[(x, h - 1)] = DARK_IN, DARK_OUT    # mb
    for y in range(2, h - 2):
        exp[(0, y)], exp[(1, y)] = LIGHT_OUT, LIGHT_IN          # lm
        exp[(w - 2, y)], exp[(w - 1, y)] = DARK_IN, DARK_OUT    # rm
    for name, (ox, oy) in {"lt": (0, 0), "rt": (w - 2, 0), "lb": (0, h - 2), "rb": (w - 2, h - 2)}.items():
        for r in range(2):
            for c in range(2):
                exp[(ox + c, oy + r)] = CORNERS[name][r][c]
    return exp


def ring(path):
    img = Img(path)
    bad = [(x, y, want, img.at(x, y)) for (x, y), want in sorted(expected_ring(img.w, img.h).items())
           if img.at(x, y) != want]
    if not bad:
        print("ok")
        return 0
    print("%d frame pixels wrong, e.g.:" % len(bad))
    for x, y, want, got in bad[:12]:
        print("  (%d,%d) want %s got %s" % (x, y, want, got))
    return 1


def ink(path, x0, y0, w, h):
    img = Img(path)
    counts = {}
    for y in range(y0, y0 + h):
        for x in range(x0, x0 + w):
            c = img.at(x, y)
            counts[c] = counts.get(c, 0) + 1
    bg = max(counts, key=counts.get)
    cols = []
    n = 0
    for x in range(x0, x0 + w):
        col = tuple(img.at(x, y) != bg for y in range(y0, y0 + h))
        n += sum(col)
        cols.append(col)
    shapes = set()
    run = []
    for col in cols + [None]:
        if col is not None and any(col):
            run.append(col)
        elif run:
            shapes.add(tuple(run))
            run = []
    print("ink=%d shapes=%d colours=%d" % (n, len(shapes), len(counts)))
    return 0


def diff(a, b, x0, y0, w, h):
    ia, ib = Img(a), Img(b)
    n = sum(1 for y in range(y0, y0 + h) for x in range(x0, x0 + w) if ia.at(x, y) != ib.at(x, y))
    print(n)
    return 0


def count(path, colour, x0, y0, w, h):
    img = Img(path)
    colour = colour.upper()
    print(sum(1 for y in range(y0, y0 + h) for x in range(x0, x0 + w) if img.at(x, y) == colour))
    return 0


def main(argv):
    if len(argv) < 3:
        raise SystemExit(__doc__)
    cmd, args = argv[1], argv[2:]
    if cmd == "ring":
        return ring(args[0])
    if cmd == "ink":
        return ink(args[0], *map(int, args[1:5]))
    if cmd == "diff":
        return diff(args[0], args[1], *map(int, args[2:6]))
    if cmd == "count":
        return count(args[0], args[1], *map(int, args[2:6]))
    raise SystemExit(__doc__)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
