#!/usr/bin/env python3
"""The readouts against the truth, and the Japanese texts under the C locale.

The digits against the truth taken in the same second: month/day and hour:minute of
the local clock (a minute may roll over between the readings around a picture), under
Wine's own Japanese formats and under the C locale's (no format is set in the prefix:
the readout shows the true time whatever the user's formats); the total memory as
Windows reports it, in KB while that has at most seven digits, else in MB (1024 KB),
rounded down; the free memory in the same unit, within 5 % of the total of what Windows
reports at that moment, and not above the total.

Under the C locale (code page 1252, whose default fonts show Japanese as boxes) the
status text of the first second ("メモリ情報取得中...", eight different characters)
draws as as many distinct glyphs as under a Japanese locale, and the four balloons
(blue, title and body lines) show their Japanese as glyphs."""
import re
import time

from e2e import C, JA, STATUS, Session


def cells(n):  # the seven memory cells with the fixed dot, e.g. 0523.760
    s = "%07d" % min(n, 9999999)
    return s[:4] + "." + s[4:]


with Session(lang=C) as s:
    total = s.must("memory figures from Windows", s.memstat()[0])
    unit, name = (1, "KB") if total // 1024 <= 9999999 else (1024, "MB")
    total //= 1024 * unit
    shapes = {}
    for lang, samples in ((C, 1), (JA, 3)):
        g = s.start(settle=False, lang=lang, Top=None, Left=None, Act=None)
        early, moved = g.first_second()
        s.must("a picture of the first second under " + lang, early and moved)
        ink, shapes[lang] = early.ink(*STATUS)
        s.check("%s: status text drawn (ink %d) as distinct glyphs (%d)" % (lang, ink, shapes[lang]),
                ink >= 60 and shapes[lang] >= 6)
        s.must("the settle step", s.wait(g.settled, 15))
        s.pause(1)  # the free memory is first drawn 200 ms after the settle step
        for i in range(samples):
            before, free_before = time.strftime("%m/%d %H:%M"), s.memstat()[1] // 1024 // unit
            img = g.shot()
            after, free_after = time.strftime("%m/%d %H:%M"), s.memstat()[1] // 1024 // unit
            # Other programs move the free memory while the picture is taken: the shown
            # figure is judged against both readings.
            low, high = sorted((free_before, free_after))
            free = free_before if free_before == free_after else "%d-%d" % (low, high)
            date, clock, shown_total, shown_free = img.digits()
            what = "%s, sample %d: " % (lang, i + 1)
            s.check(what + "date and time %s %s (clock %s .. %s)" % (date, clock, before, after),
                    date + " " + clock in (before, after))
            s.expect(what + "total memory in " + name, cells(total), shown_total)
            n = int(shown_free.replace(".", "")) if re.fullmatch(r"\d{4}\.\d{3}", shown_free) else None
            s.check(what + "free memory %s near %s %s and not above the total" % (shown_free, free, name),
                    n is not None and low - total // 20 <= n <= high + total // 20 and n <= total)
            s.pause(1.5)
        g.close()
    s.check("as many glyph shapes under C as under ja_JP (%(C)d, %(ja_JP.UTF-8)d)" % shapes,
            shapes[C] >= shapes[JA] - 2)
    g = s.start(Top=3000, Left=3000, Act=0)
    g.check_balloons()
