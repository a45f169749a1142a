#!/usr/bin/env python3
"""The picture buttons. Any mouse button pressed on a button shows
its pressed picture, the first release its normal one; the button keeps the mouse while
held, and a release off it is no click (no settings window, no hide). A real click on
b_thaw shows the normal picture again before its help box; each button shows only its
own pictures. The close button ends the program and saves the settings on the way
out, and the tray icon goes (the balloons: test_readouts.py). A WM_NOTIFY posted from
another process carries an address of that process: with a bogus one the gadget runs
on and still answers its close."""
from e2e import BUTTONS, Session

with Session() as s:
    g = s.start(Top=1500, Left=1500, Act=0)  # at 100,100
    s.park()
    for b in BUTTONS:
        s.expect(b + " at start", "normal", g.wait_look(b, "normal"))

    def press(b, button=1):
        s.xdo("mousemove", *g.button(b), "mousedown", button)
        s.expect("%s while button %d is held" % (b, button), "pressed", g.wait_look(b, "pressed"))

    press("b_rach")
    s.xdo("mousemove", 400, 400, "sleep", 0.2)
    s.expect("b_rach held, the pointer off it", "pressed", g.look("b_rach"))
    s.xdo("mouseup", 1)
    s.expect("b_rach after a release off it", "normal", g.wait_look("b_rach", "normal"))
    s.pause(1.5)
    s.check("no settings window after a release off b_rach", not s.find("Form1"))

    press("b_hide")
    s.xdo("mousemove", 400, 400, "sleep", 0.2, "mouseup", 1)
    s.expect("b_hide after a release off it", "normal", g.wait_look("b_hide", "normal"))
    press("b_close", 3)
    s.xdo("mouseup", 3)
    s.expect("b_close after the right button's release", "normal", g.wait_look("b_close", "normal"))
    press("b_hide")
    s.xdo("mousedown", 3, "sleep", 0.2, "mouseup", 3)
    s.expect("b_hide after the first of two buttons is released", "normal", g.wait_look("b_hide", "normal"))
    s.xdo("mousemove", 400, 400, "sleep", 0.2, "mouseup", 1)
    s.pause(1)
    s.expect("not hidden by releases off b_hide, not closed by a right click", (True, (100, 100, 191, 95)),
             (g.alive(), g.rect()))

    s.park()
    press("b_thaw")
    s.xdo("mouseup", 1)
    box = s.must("a help box after a click on b_thaw", s.wait(s.box, 10))
    s.expect("b_thaw while its help box is open", "normal", g.look("b_thaw"))
    s.must("the help box closed", s.answer(box, 1))
    for b in ("b_close", "b_hide", "b_rach"):
        s.expect(b + " after the other buttons were used", "normal", g.look(b))

    s.post(g.hwnd, 0x4E, 0, 0x1234)  # WM_NOTIFY
    s.pause(0.5)
    s.check("still running after a foreign WM_NOTIFY", g.alive())

    s.store(Top=None, Left=None, Act=None)
    press("b_close")
    s.xdo("mouseup", 1)
    s.must("a click on b_close ended the program", g.wait_exit(20))
    s.expect("saved at the close (Top, Left, Act)", ("1500", "1500", "0"), (s.reg("Top"), s.reg("Left"), s.reg("Act")))
    s.check("the tray icon is gone after the close", s.wait(lambda: not s.xwins("^Wine System Tray$"), 15))
