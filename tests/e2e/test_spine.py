#!/usr/bin/env python3
"""The program's life. First start with an empty store: a 191 x 95 window at the load
step's fallback place, every digit 0 and "メモリ情報取得中..." in the status line for
the first second, then the settle step moves it to the corner and empties the status
line; the frame's bevel has its exact colours. Close requests (WM_CLOSE, Alt+F4, two in
a row) end the program and store Top, Left and Act. A second copy is not refused: two
gadgets run side by side and closing one leaves the other. A DLL named like a system
library beside the program (as anything can lie in a download folder) is never used:
"uxtheme=n,b" makes Wine search as Windows does, where the first file found wins; Wine's
own user32 tries the name before the program starts and lets go of it again, so what
counts is that the running gadget does not hold it."""
import os
import shutil

from e2e import EXE, STATUS, WINE_ENV, Session, run

with Session() as s:
    g = s.start(settle=False)
    s.expect("first place (load step's fallback, 3000/3700 twips) and size", (200, 247, 191, 95), g.first)
    early, moved = g.first_second()
    s.must("a picture of the first second (%s)" % ("moved at once" if moved else "never moved"), early and moved)
    s.expect("digits during the first second", ("00/00", "00:00", "0000.000", "0000.000"), early.digits())
    ink, shapes = early.ink(*STATUS)
    s.check("status text drawn in the first second (ink %d, %d glyph shapes)" % (ink, shapes), ink >= 60 and shapes >= 6)
    s.check("status text colour (183,198,255) present", early.count((183, 198, 255), *STATUS) > 0)
    s.expect("place after the settle step", (0, 0), moved)
    s.expect("Windows' view after the settle step (rect, topmost)", ((0, 0, 191, 95), 0), (g.rect(), g.info()["topmost"]))
    s.pause(0.5)
    settled = g.shot()
    s.check("status line empty after the settle step", g.status_empty(settled))
    s.check("frame bevel colours", settled.ring_ok())
    g.close()
    s.expect("stored after the first run (Top, Left, Act)", ("0", "0", "0"), (s.reg("Top"), s.reg("Left"), s.reg("Act")))
    s.check("no window left behind", s.wait(lambda: not s.xwins("^Tarvex$"), 5))

    for how, posts, stored in [("WM_CLOSE", 1, ("1500", "2250", "1")), ("Alt+F4", 0, ("3000", "4500", "0")),
                               ("two WM_CLOSE in a row", 2, ("1500", "2250", "0"))]:
        g = s.start(**dict(zip(("Top", "Left", "Act"), stored)))
        if not posts:
            s.key(g.wid, g.hwnd, "alt+F4")
        for _ in range(posts):
            s.post(g.hwnd, 0x10)
        s.must(how + " ended the program", g.wait_exit(20))
        s.expect("stored after %s (Top, Left, Act)" % how, stored, (s.reg("Top"), s.reg("Left"), s.reg("Act")))

    g = s.start(Top=1500, Left=2250, Act=0)
    second = s.start()
    s.post(second.hwnd, 0x10)
    s.must("the second copy ended on its close request", second.wait_exit(20))
    s.expect("the first copy runs on, shown, in place", (True, 1, (150, 100, 191, 95)),
             (g.alive(), g.info()["visible"], g.rect()))
    g.close()

    app = os.path.join(s.T, "app")
    os.mkdir(app)
    shutil.copy(EXE, app)
    planted = os.path.join(app, "uxtheme.dll")
    if run(["x86_64-w64-mingw32-gcc", "-shared", "-x", "c", "-o", planted, "-"], input="int planted;\n") is None:
        s.skip("no mingw-w64 C compiler to build the planted DLL")
    g = s.start(exe=os.path.join(app, "tarvex.exe"),
                env={"WINEDLLOVERRIDES": WINE_ENV["WINEDLLOVERRIDES"] + ";uxtheme=n,b"})
    with open("/proc/%d/maps" % g.proc.pid) as maps:
        s.check("the planted uxtheme.dll is not loaded", planted not in maps.read())
    g.close()
