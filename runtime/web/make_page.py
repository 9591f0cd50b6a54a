#!/usr/bin/env python3
"""Makes the one self-contained page of a program: the page template with the
program's generated script, its WebAssembly (compressed, as text), the face
the page carries (WOFF2, as base64) and the markup of its window (made by
prerender.js) put inside it, and the page's policy naming each of its
scripts by its hash.

Usage: make_page.py TEMPLATE SCRIPT FACE OUTPUT NAME VERSION [MODULE [WINDOW]]
(MODULE: the program's WebAssembly, compressed in zlib's format (zopfli
--zlib); without it the page carries none, as for the checks of the page
maker itself. WINDOW: what prerender.js wrote; without it, or where the
program's start failed there, the page carries no window, its title is NAME
and its viewport the device's.)

The same inputs give the same bytes anywhere. The template's own scripts
and style go into the page without their comments and indentation (the
template is where they are read); its first comment, the page's notice,
stays.
"""
import base64
import hashlib
import json
import os
import re
import sys

# What a script cannot hold inside the page's <script> element, in any case
# of its letters, as HTML reads them: "</script" ends the element there, and
# "<!--" can make the browser look past the element's real end.
CANNOT_STAND_INSIDE = re.compile(r"</script|<!--", re.IGNORECASE)
# Every script the page runs: the template's own are plain <script> elements.
INLINE_SCRIPT = re.compile(r"<script>(.*?)</script>", re.DOTALL)
HASHES = "@EGN_SCRIPT_HASHES@"
# Scripts of this folder that pages share, each put in place of its marker.
SHARED = {"@EGN_AFTER_FIRST_PAINT@": os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                                  "after_first_paint.js")}


def script_hashes(page):
    """Every script the page runs, named for its policy by the SHA-256 of its
    text (UTF-8): "'sha256-...'" each, in the page's order."""
    return ["'sha256-" + base64.b64encode(hashlib.sha256(m.group(1).encode("utf-8")).digest())
            .decode("ascii") + "'" for m in INLINE_SCRIPT.finditer(page)]


# The codes that HTML does not keep as they are in text: NUL, CR, "&", "<".
AWKWARD = [0x00, 0x0D, 0x26, 0x3C]


def as_text(data):
    """Bytes as text of seven bits a character, most significant first, the
    last seven filled with zero bits. A code HTML keeps as it is stands for
    itself (one byte of UTF-8); an awkward one goes with the next seven bits
    into one character of two bytes, U+0080 + 128 k + next (k its place in
    AWKWARD), or U+0280 + k where nothing follows. 8/7 of the bytes, where
    base64 takes 4/3."""
    codes, acc, bits = [], 0, 0
    for byte in data:
        acc, bits = (acc << 8) | byte, bits + 8
        while bits >= 7:
            bits -= 7
            codes.append((acc >> bits) & 0x7F)
        acc &= (1 << bits) - 1
    if bits:
        codes.append((acc << (7 - bits)) & 0x7F)
    out, i = [], 0
    while i < len(codes):
        if codes[i] not in AWKWARD:
            out.append(chr(codes[i]))
        elif i + 1 < len(codes):
            out.append(chr(0x80 + 128 * AWKWARD.index(codes[i]) + codes[i + 1]))
            i += 1
        else:
            out.append(chr(0x280 + AWKWARD.index(codes[i])))
        i += 1
    return "".join(out)


def from_text(text):
    """The bytes as_text wrote."""
    out, acc, bits = bytearray(), 0, 0
    for c in map(ord, text):
        codes = ([c] if c < 0x80 else [AWKWARD[(c - 0x80) >> 7], (c - 0x80) & 0x7F] if c < 0x280
                 else [AWKWARD[c - 0x280]])
        for code in codes:
            acc, bits = (acc << 7) | code, bits + 7
            if bits >= 8:
                bits -= 8
                out.append(acc >> bits)
                acc &= (1 << bits) - 1
    return bytes(out)


def lean(script):
    """A script of the page's own without its comment lines and indentation."""
    lines = (line.strip() for line in script.split("\n"))
    return "\n".join(line for line in lines if not line.startswith("//"))


def without_comments(template):
    """The template's own scripts and style without their comments and
    indentation, and its HTML comments but the first."""
    first = template.index("-->") + 3
    head, rest = template[:first], template[first:]
    rest = re.sub(r"\n?<!--.*?-->", "", rest, flags=re.DOTALL)

    def script(m):
        return m.group(1) + lean(m.group(2)) + m.group(3)

    def style(m):
        text = re.sub(r"/\*.*?\*/\n?", "", m.group(2), flags=re.DOTALL)
        return m.group(1) + "\n".join(line.strip() for line in text.split("\n")) + m.group(3)

    rest = re.sub(r"(<script>)(.*?)(</script>)", script, rest, flags=re.DOTALL)
    rest = re.sub(r"(<style>)(.*?)(</style>)", style, rest, flags=re.DOTALL)
    return head + rest


def filled(template, values, tool):
    """The page of `template` (a path) with its comments gone, every marker
    of `values` replaced at once (no value is searched for another marker)
    and the policy naming every script the page runs by the SHA-256 of its
    text (UTF-8), so that no other script can run. The hashes go into the
    policy in the head, before any script: its text is not hashed. `tool`
    names the script in its messages."""
    page = without_comments(open(template, encoding="utf-8").read())
    # The scripts every page may share, where it holds their marker.
    for key, path in SHARED.items():
        if key in page:
            values = {**values, key: lean(open(path, encoding="utf-8").read().rstrip("\n"))}
    if HASHES not in page or page.index(HASHES) > page.find("<script>"):
        sys.exit(f"{tool}: {template} has no {HASHES} before its first script")
    for key in values:
        if key not in page:
            sys.exit(f"{tool}: {template} has no {key}")
    page = re.sub("|".join(values), lambda m: values[m.group(0)], page)
    return page.replace(HASHES, " ".join(script_hashes(page)), 1)


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
    # The WebAssembly in zlib's format, which the browser's DecompressionStream
    # ("deflate") unpacks; as text that holds no "<", so that it cannot end
    # its element early. The window's markup, title and viewport come ready
    # to stand in HTML.
    values = {"@EGN_PAGE_NAME@": name, "@EGN_VERSION_TEXT@": version,
              "@EGN_FACE@": base64.b64encode(open(face, "rb").read()).decode("ascii"),
              "@EGN_MODULE@": as_text(module), "@EGN_SCRIPT@": code,
              "@EGN_TITLE@": window.get("title") or name,
              "@EGN_VIEWPORT@": window.get("viewport") or "width=device-width, initial-scale=1",
              "@EGN_WINDOW@": window.get("window", "")}
    page = filled(template, values, "make_page.py")
    open(output, "w", encoding="utf-8", newline="\n").write(page)


if __name__ == "__main__":
    main()
