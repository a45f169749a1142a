#!/usr/bin/env python3
"""Makes the README's pictures from the real tarvex.exe under Wine on a virtual
display (needs build/win from scripts/build.sh):
  docs/gadget.png     the running gadget (real size, and 3x)
  docs/settings.png   the settings window open below the gadget (and 2x)
  docs/extracted.png  the success box after a ZIP was dropped on the extract button"""
import os
import sys
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from e2e import SRC, Session, run  # noqa: E402

OUT = os.path.join(SRC, "docs")


def crop(name, x, y, w, h, scale=None):
    path = os.path.join(OUT, name)
    run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (w, h, x, y), "+repage", path], check=True)
    if scale:
        run(["convert", path, "-filter", "point", "-resize", "%d%%" % scale, path[:-4] + "@3x.png"], check=True)


with Session(deadline=300) as s:
    g = s.start(Top=1500, Left=1500, Act=0)
    s.pause(2)
    x, y = g.at(0, 0)
    crop("gadget.png", x, y, 191, 95, 300)
    s.click(*g.button("b_rach"))
    s.park()
    care = s.must("the settings window", s.wait(lambda: s.find("Form1"), 10))[0]
    s.pause(1)
    crop("settings.png", x, y, 191, 160, 200)
    s.post(care["hwnd"], 0x10)
    s.wait(lambda: not s.find("Form1"), 10)
    os.makedirs(s.desktop("extracted"))
    with zipfile.ZipFile(s.T + "/sample.zip", "w") as z:
        z.writestr("docs/readme.txt", "メモ\r\n")
    s.must("the drop", g.drop(*g.button("b_thaw"), s.T + "/sample.zip"))
    s.must("the folder picked", s.wait(s.picker, 15) and s.pick("extracted"))
    box = s.must("the result box", s.wait(s.box, 60))
    s.pause(1)
    s.park()
    crop("extracted.png", *next(w["rect"] for w in s.windows() if w["hwnd"] == box))
    s.answer(box, 1)
    g.close()
    print("pictures written to " + OUT)
