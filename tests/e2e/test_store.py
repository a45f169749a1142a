#!/usr/bin/env python3
"""Stored settings read at start from the registry: where the load step shows the
window and where the settle step leaves it, and whether it is topmost. A Top of 0
selects the fallback place (load step 3000/3700 twips, settle step 0/0) and ignores
Left; a place off the screen is kept. "Act" exactly 1 makes the gadget topmost after
the settle step and is kept at the close. (How texts read as numbers is unit-tested.)"""
from e2e import Session, run

FALLBACK = (200, 247)
CASES = [  # name, Top, Left, Act, place at the load step (None: not checked), settled place, topmost
    ("stored 1500/2250, Act 1", "1500", "2250", "1", (150, 100), (150, 100), 1),
    ("Top 0 ignores Left", "0", "5000", "0", FALLBACK, (0, 0), 0),
    # the window manager pulls a window that first appears off the screen onto it
    ("negative place", "-750", "-1500", "0", None, (-100, -50), 0),
]

with Session() as s:
    for name, top, left, act, load, settled, topmost in CASES:
        g = s.start(settle=False, Top=top, Left=left, Act=act)
        state = run(["xprop", "-id", g.wid, "_NET_WM_STATE"]) or ""
        if not g.status_empty():  # the status text of the first second: the look came before the settle step
            s.check(name + ": not topmost before the settle step", "ABOVE" not in state)
        else:
            s.log("NOTE: %s: first look after the settle step; the state before it not judged" % name)
        if load and (g.first[:2] != settled or load == settled):  # else the settle step came first
            s.expect(name + ": place at the load step", load, g.first[:2])
        s.wait(g.settled, 8)  # (never true for the negative place: the digits lie off the screen)
        s.expect(name + ": place after the settle step", settled + (191, 95), g.rect())
        got = g.info()["topmost"]
        owned = sorted(w["class"] for w in s.windows() if w["owner"] == g.hwnd)
        if topmost and not got and owned:
            # Wine 8 ignores HWND_TOPMOST for a window that owns other windows (the
            # tooltips): the request itself is unit-tested; here the program must only run on.
            s.log("NOTE: %s: not topmost while it owns %s (Wine 8), not judged" % (name, owned))
        else:
            s.expect(name + ": topmost after the settle step", topmost, got)
            if got:
                s.check(name + ": _NET_WM_STATE_ABOVE", "ABOVE" in (run(["xprop", "-id", g.wid, "_NET_WM_STATE"]) or ""))
        g.close()
        s.expect(name + ": Act kept at the close", str(topmost), s.reg("Act"))
