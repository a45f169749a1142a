#!/usr/bin/env python3
"""The extract button's other outcomes: its help box on a click (readouts paused while
it is open); drops anywhere else on the gadget refused; a file that is no archive and
a damaged archive (failure box with the warning icon, nothing written, nothing half
extracted); an entry that climbs out of the folder (nothing written outside it); a
cancelled folder picker (no box, nothing written). The readouts run again after each."""
import os
import zipfile

from e2e import BODY, GRIP, PANEL, Session

HELP = "ここに書庫ファイルをドロップすると解凍できます。\r\n解凍可能な書庫形式は、\r\nZIP,CAB,LZHです。"
FAILURE = ("解凍は失敗しました。\r\n--考えられる原因--\r\n・ZIP,CAB,LZH形式の書庫ファイルではない。\r\n"
           "・書庫ファイルが壊れている。\r\n・書庫ファイル名を含むパスに半角スペースがある。")

with Session() as s:
    F = s.T + "/fx"
    os.makedirs(F)
    with open(F + "/notes.txt", "wb") as f:
        f.write(b"just some text\r\n")
    with zipfile.ZipFile(F + "/good.zip", "w") as z:
        z.writestr("readme.txt", "hello\r\n")
        z.writestr("blob.bin", os.urandom(30000))
    with open(F + "/good.zip", "rb") as f, open(F + "/damaged.zip", "wb") as d:
        d.write(f.read(20000))  # cut inside the second entry: the first is still whole
    with zipfile.ZipFile(F + "/climb.zip", "w") as z:
        z.writestr("fine.txt", "fine\n")
        z.writestr("../climbed.txt", "outside\n")

    g = s.start(Top=1500, Left=1500, Act=0)
    s.churn()
    s.click(*g.button("b_thaw"))
    s.park()
    box = s.must("a help box after a click on b_thaw", s.wait(s.box, 10))
    s.expect("help box text", HELP, s.box_text(box))
    s.expect("help box icon and buttons", ("information", [(1, "OK")]), (s.box_icon(box), s.box_buttons(box)))
    s.check("readouts paused while the help box is open", g.readouts_still(2))
    s.must("the help box closed", s.answer(box, 1))
    s.check("a click on b_thaw opens no folder picker", not s.picker())
    g.resumed("the help box")

    for name, (x, y) in [("the body", BODY), ("the memory panel", PANEL), ("the grip", GRIP), ("b_close", (103, 13)),
                         ("b_rach", (146, 17))]:
        s.check("a drop on %s is refused" % name, g.drop(*g.at(x, y), F + "/good.zip") is False)
    s.pause(1)
    s.check("no folder picker after refused drops", not s.picker())

    def drop_and_pick(what, folder, path, cancel=False):
        os.makedirs(s.desktop(folder))
        s.must("the drop of %s was taken" % what, g.drop(*g.button("b_thaw"), path))
        picker = s.must("a folder picker after the drop of " + what, s.wait(s.picker, 15))
        if cancel:
            s.press_child(picker, 2)
            s.must("the picker closed on Cancel", s.wait(lambda: not s.picker(), 15))
        else:
            s.must(folder + " picked", s.pick(folder))
            box = s.must("a box after the drop of " + what, s.wait(s.box, 60))
            text, icon, buttons = s.box_text(box), s.box_icon(box), s.box_buttons(box)
            s.must("the box after %s closed" % what, s.answer(box, 1))
            return text, icon, buttons

    for what, folder, path in [("a text file", "txtout", F + "/notes.txt"),
                               ("a damaged archive", "badout", F + "/damaged.zip")]:
        s.expect("failure box for " + what, (FAILURE, "warning", [(1, "OK")]), drop_and_pick(what, folder, path))
        s.check("nothing written for " + what, not os.listdir(s.desktop(folder)))
        g.resumed("the drop of " + what)

    s.log("box for the climbing name: %r" % (drop_and_pick("an entry named ../climbed.txt", "climbout", F + "/climb.zip"),))
    outside = [os.path.join(d, "climbed.txt") for d, _, names in os.walk(s.T) if "climbed.txt" in names]
    s.check("nothing written outside the chosen folder (%s)" % outside,
            all(p.startswith(s.desktop("climbout") + "/") for p in outside))
    g.resumed("the climbing-name drop")

    drop_and_pick("a drop whose picker is cancelled", "cancelout", F + "/good.zip", cancel=True)
    s.pause(2)
    s.check("no box after a cancelled picker", not s.box(laid_out=False))
    s.check("nothing written after a cancelled picker", not os.listdir(s.desktop("cancelout")))
    g.resumed("the cancelled picker")
    s.expect("b_thaw's look after all this", "normal", g.look("b_thaw"))
    g.close(30)
