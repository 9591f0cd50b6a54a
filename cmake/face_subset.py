#!/usr/bin/python3
"""Cuts the subset of a face that the runtime carries, and names it.

Usage: face_subset.py SOURCE OUTPUT UNICODES FAMILY [woff2]

Only the characters UNICODES lists (U+XXXX-YYYY,...), or, for "window:FILE",
the characters a page's window shows (the text of the markup in FILE, as
runtime/web/prerender.js writes it) and the ten digits, without hinting. The
subset is a modified version of the font, and the SIL Open Font License 1.1
(condition 3) keeps a Reserved Font Name ("Liberation") from it: the subset
is named FAMILY instead. Debian's Python, where fontTools is installed.
"""
import html
import json
import re
import sys

from fontTools import subset

source, output, unicodes, family = sys.argv[1:5]
options = subset.Options()
options.hinting = False
options.drop_tables += ["FFTM"]
options.flavor = sys.argv[5] if len(sys.argv) > 5 else None
font = subset.load_font(source, options)
subsetter = subset.Subsetter(options)
if unicodes.startswith("window:"):
    markup = json.load(open(unicodes[len("window:"):], encoding="utf-8"))["window"]
    shown = html.unescape(re.sub(r"<[^>]*>", "", markup)) + "0123456789"
    wanted = sorted({ord(c) for c in shown if c.isprintable()})
else:
    wanted = subset.parse_unicodes(unicodes)
subsetter.populate(unicodes=wanted)
subsetter.subset(font)

postscript = family.replace(" ", "") + "-Regular"
names = {1: family, 3: f"{postscript};subset", 4: family, 6: postscript, 16: family, 21: family}
table = font["name"]
for record in list(table.names):
    if record.nameID in names:
        table.setName(names[record.nameID], record.nameID, record.platformID,
                      record.platEncID, record.langID)
subset.save_font(font, output, options)
