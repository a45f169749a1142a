#!/usr/bin/env python3
"""The Japanese texts under the C locale (code page 1252, whose default fonts show
Japanese as boxes): the status text of the first second ("メモリ情報取得中...",
eight different characters) draws as as many distinct glyphs as under a Japanese
locale, and the four balloons show their Japanese as glyphs."""
from e2e import JA, STATUS, Session, C

with Session(lang=C) as s:
    shapes = {}
    for lang in (C, JA):
        g = s.start(settle=False, lang=lang, Top=None, Left=None, Act=None)
        early, moved = g.first_second()
        s.must("a picture of the first second under " + lang, early and moved)
        ink, shapes[lang] = early.ink(*STATUS)
        s.check("%s: status text drawn (ink %d) as distinct glyphs (%d)" % (lang, ink, shapes[lang]),
                ink >= 60 and shapes[lang] >= 6)
        g.close()
    s.check("as many glyph shapes under C as under ja_JP (%(C)d, %(ja_JP.UTF-8)d)" % shapes,
            shapes[C] >= shapes[JA] - 2)
    g = s.start(Top=3000, Left=3000, Act=0)
    g.check_balloons()
