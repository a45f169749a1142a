#!/usr/bin/env python3
"""Dragging and the position memory. A left drag on the bare body or on the grip
(Image6) moves the window, and the mouse is free after the release (a click elsewhere
leaves the gadget in place); a press on the memory panel drags nothing. A pointer move
over the body stores Top, Left and Act, moves over elements store nothing, and after a
grip drag the first move over the body stores the new place; a close stores the place.
(The right button and the first second: unit tests and the Win32 self-test.)"""
from e2e import BODY, GRIP, PANEL, Session


def run(wm):
    with Session(wm=wm) as s:
        stored = lambda: (s.reg("Top"), s.reg("Left"), s.reg("Act"))
        forget = lambda: s.store(Top=None, Left=None, Act=None)
        here = lambda: (str(g.rect()[1] * 15), str(g.rect()[0] * 15), "1")  # what the store should hold

        def body_move(dx=0):
            s.move(*g.at(BODY[0] + dx, BODY[1]))

        g = s.start(Top=1500, Left=1500, Act=1)  # at 100,100
        forget()
        body_move(1)
        s.check("a body move stores Top, Left and Act", s.wait(lambda: stored() == ("1500", "1500", "1"), 5))
        s.expect("a plain move does not move the window", (100, 100, 191, 95), g.rect())
        forget()
        for x, y in (g.button("b_thaw"), g.at(*PANEL), g.at(*GRIP)):
            s.xdo("mousemove", x, y, "sleep", 0.3)
        s.pause(1.2)
        s.expect("moves over b_thaw, the memory panel and the grip store nothing", (None, None, None), stored())

        s.drag(*g.at(*BODY), 60, 40, end=False)
        s.must("a body drag moved the window by about (60,40): %s" % (g.rect(),), s.wait(lambda: g.near(160, 140), 10))
        place = g.rect()
        s.xdo("mousemove", 1000, 700, "click", 1, "sleep", 0.7)
        s.expect("a click on the desktop after a body drag leaves the gadget in place", place, g.rect())
        body_move(1)
        s.check("the next body move stores the new place", s.wait(lambda: stored() == here(), 5))

        s.drag(*g.at(*PANEL), 30, 20)
        s.pause(0.5)
        s.expect("a left press on the memory panel does not drag", place, g.rect())

        forget()
        s.drag(*g.at(*GRIP), -40, 30, end=False)
        s.must("a grip drag moved the window by about (-40,30): %s" % (g.rect(),),
               s.wait(lambda: g.near(place[0] - 40, place[1] + 30), 10))
        want = here()
        s.xdo("mousemove_relative", "--", 0, 1, "sleep", 1.2)
        s.expect("nothing stored after a grip drag", (None, None, None), stored())
        body_move()
        s.check("the first body move after a grip drag stores the new place", s.wait(lambda: stored() == want, 5))
        s.xdo("click", 1, "sleep", 0.3)

        place = g.rect()
        s.drag(*g.at(*GRIP), 20, -10)
        s.check("a second grip drag moved the window", s.wait(lambda: g.near(place[0] + 20, place[1] - 10), 10))
        want = here()
        s.park()
        g.close(30)
        s.expect("stored by the close after a grip drag", want, stored())


if __name__ == "__main__":
    run(wm=True)
