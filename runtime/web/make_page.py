#!/usr/bin/env python3
"""Makes the one self-contained page of a program: the page template with the
program's generated script, its WebAssembly (compressed, as base64), the face
the page carries (WOFF2, as base64) and the markup of its window (made by
prerender.js) put inside it, and the page's policy naming each of its
scripts by its hash.

Usage: make_page.py TEMPLATE SCRIPT FACE OUTPUT NAME VERSION [MODULE [WINDOW]]
(MODULE: the program's WebAssembly; without it the page carries none, as
for the checks of the page maker itself. WINDOW: what prerender.js wrote;
without it, or where the program's start failed there, the page carries no
window, its title is NAME and its viewport the device's.)

The same inputs give the same bytes anywhere: the module is compressed by
zlib at a fixed level, with no time stamp or file name in its header.
"""
import base64
import hashlib
import json
import re
import sys
import zlib

# What a script cannot hold inside the page's <script> element, in any case
# of its letters, as HTML reads them: "</script" ends the element there, and
# "<!--" can make the browser look past the element's real end.
CANNOT_STAND_INSIDE = re.compile(r"</script|<!--", re.IGNORECASE)
# Every script the page runs: the template's own are plain <script> elements.
INLINE_SCRIPT = re.compile(r"<script>(.*?)</script>", re.DOTALL)
HASHES = "@EGN_SCRIPT_HASHES@"


def script_hashes(page):
    """Every script the page runs, named for its policy by the SHA-256 of its
    text (UTF-8): "'sha256-...'" each, in the page's order."""
    return ["'sha256-" + base64.b64encode(hashlib.sha256(m.group(1).encode("utf-8")).digest())
            .decode("ascii") + "'" for m in INLINE_SCRIPT.finditer(page)]


def main():
    template, script, face, output, name, version = sys.argv[1:7]
    module = open(sys.argv[7], "rb").read() if len(sys.argv) > 7 else b""
    window = json.load(open(sys.argv[8], encoding="utf-8")) if len(sys.argv) > 8 else {}
    # Read as text, CR LF and CR become LF, as the browser reads them before
    # anything else: each script is hashed as the browser will hash it.
    code = open(script, encoding="utf-8").read()
    if found := CANNOT_STAND_INSIDE.search(code):
        sys.exit(f"make_page.py: {script} holds \"{found.group(0)}\" at character {found.start()}:"
                 " it cannot stand inside the page's script element")
    page = open(template, encoding="utf-8").read()
    if HASHES not in page or page.index(HASHES) > page.find("<script>"):
        sys.exit(f"make_page.py: {template} has no {HASHES} before its first script")
    # The WebAssembly in zlib's format, which the browser's DecompressionStream
    # ("deflate") unpacks; base64 holds no "<", so it cannot end its element early.
    packed = base64.b64encode(zlib.compress(module, 9)).decode("ascii") if module else ""
    # Every placeholder at once: no value is searched for another placeholder.
    # The window's markup, title and viewport come ready to stand in HTML.
    values = {"@EGN_PAGE_NAME@": name, "@EGN_VERSION_TEXT@": version,
              "@EGN_FACE@": base64.b64encode(open(face, "rb").read()).decode("ascii"),
              "@EGN_MODULE@": packed, "@EGN_SCRIPT@": code,
              "@EGN_TITLE@": window.get("title") or name,
              "@EGN_VIEWPORT@": window.get("viewport") or "width=device-width, initial-scale=1",
              "@EGN_WINDOW@": window.get("window", "")}
    for key in values:
        if key not in page:
            sys.exit(f"make_page.py: {template} has no {key}")
    page = re.sub("|".join(values), lambda m: values[m.group(0)], page)
    # The policy names every script the page runs by the SHA-256 of its text
    # (UTF-8), so that no other script can run. The hashes go into the policy in
    # the head, before any script: its text is not hashed.
    page = page.replace(HASHES, " ".join(script_hashes(page)), 1)
    open(output, "w", encoding="utf-8", newline="\n").write(page)


if __name__ == "__main__":
    main()
