#!/usr/bin/env python3
"""Makes the one self-contained page of a program: the page template with the
program's generated script (its WebAssembly inlined) and the face the page
carries (WOFF2, as base64) put inside it.

Usage: make_page.py TEMPLATE SCRIPT FACE OUTPUT NAME VERSION
"""
import base64
import re
import sys

# What a script cannot hold inside the page's <script> element, in any case
# of its letters, as HTML reads them: "</script" ends the element there, and
# "<!--" can make the browser look past the element's real end.
CANNOT_STAND_INSIDE = re.compile(r"</script|<!--", re.IGNORECASE)

template, script, face, output, name, version = sys.argv[1:7]
code = open(script, encoding="utf-8").read()
if found := CANNOT_STAND_INSIDE.search(code):
    sys.exit(f"make_page.py: {script} holds \"{found.group(0)}\" at character {found.start()}:"
             " it cannot stand inside the page's script element")
page = open(template, encoding="utf-8").read()
for key, value in (("@EGN_PAGE_NAME@", name), ("@EGN_VERSION_TEXT@", version),
                   ("@EGN_FACE@", base64.b64encode(open(face, "rb").read()).decode("ascii")),
                   ("@EGN_SCRIPT@", code)):  # the script last: it is not searched again
    if key not in page:
        sys.exit(f"make_page.py: {template} has no {key}")
    page = page.replace(key, value)
open(output, "w", encoding="utf-8").write(page)
