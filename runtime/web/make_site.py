#!/usr/bin/env python3
"""Makes the site of a program's page: the same window as an installable web
app that works off line, for a static host. From the finished page it writes
into OUTPUT_DIR (emptied first, so that it holds the site and nothing else):

  index.html            the page, its policy opened for exactly what the
                        site adds, with the manifest linked and the worker
                        registered, without the module and the face, which
                        are files of their own
  ID.wasm               the program's WebAssembly, which the page compiles
                        while it streams in (a host compresses it on the way)
  ID-face.woff2         the face the page carries, which the browser loads
                        only where it is used, drawing the text in the
                        system's serif until it comes
  manifest.webmanifest  names, colours and icons
  icon-N.png            the window's image at N pixels, from PIXELS files
                        (N x N pixels, 4 bytes each, R G B A, as
                        packaging/icon_pixels.cpp writes them)
  sw.js                 the worker: keeps every file of the site, and
                        serves the site from its copy
  NAME.html             each other page given (PAGES, self-contained pages
                        such as egn-list.html), as it is but for its policy,
                        which lets it reach the site itself, and its module,
                        where it carries one, which is NAME.wasm; linked
                        from index.html below the window, by its title
  NAME.wasm             that page's WebAssembly

Usage: make_site.py PAGE DESCRIPTION OUTPUT_DIR ID NAME SHORT_NAME PIXELS... [PAGES...]
(DESCRIPTION: the window's stored description, for the window's colour; ID:
the program's name, which names the worker's caches; PAGES: the arguments
that end in .html.)

The same inputs give the same bytes anywhere: the PNGs are compressed by
zlib at a fixed level and carry no time, and the worker's cache is named by
a hash of the other files.
"""
import base64
import hashlib
import json
import math
import os
import re
import shutil
import struct
import sys
import zlib

# The site names its scripts by hash as the page does, by the page maker's own
# function (it lies beside this file).
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_page import from_text, script_hashes  # noqa: E402

page_path, description, output, program, name, short_name = sys.argv[1:7]
pixel_files = [a for a in sys.argv[7:] if not a.endswith(".html")]
other_pages = [a for a in sys.argv[7:] if a.endswith(".html")]

POLICY = re.compile(r'<meta http-equiv="Content-Security-Policy" content="([^"]*)">')
# The module the page carries, and its face.
MODULE = re.compile(r'<template id="egn-module">([^<]*)</template>\n')
FACE = re.compile(r'url\(data:font/woff2;base64,([A-Za-z0-9+/=]*)\)')
FACE_RULE = re.compile(r"@font-face \{[^}]*\}")
# The page's notice: its first paragraph speaks of one file that holds
# everything and connects nowhere, and its second of the face inside it; the
# site says what it is instead (SITE_NOTICE), and where its face is.
NOTICE = re.compile(r"(<!--\n  )([^\n:]+): the window in one page\b.*?cookies or storage\.\n", re.DOTALL)
FACE_NOTICE = 'The face "EGN Check Serif" inside this page'
SITE_NOTICE = """@NAME@: the window as a site, for any browser, on or off line.
  The program (its WebAssembly, @PROGRAM@.wasm, and its script here), its
  style and a face (@PROGRAM@-face.woff2) all come from this site. Its policy
  allows connections to this site alone, so nothing typed here leaves the
  device. It keeps no cookies; its worker (sw.js) keeps a copy of the site's
  own files, so that the window opens without the network.
"""
# What a self-contained page's notice adds on the site, where its module is
# a file of its own.
OTHER_NOTICE = """

  On this site its WebAssembly is the site's file @WASM@, and its policy
  allows connections to this site alone."""
# The page's surround: the colour round the window, which a starting app
# shows before the window is built.
SURROUND = re.compile(r"\bhtml\s*\{[^}]*?\bbackground(?:-color)?\s*:\s*(#[0-9a-fA-F]{6})\b")
# The only Trusted Types policy of the site: it lets the worker's own address
# through and nothing else (the registration below).
TRUSTED_TYPES_POLICY = "egn-site"
WORKER = "sw.js"
MANIFEST = "manifest.webmanifest"


# The links to the site's other pages: below the window, outside its frame,
# dark on white whatever the window's surround, and as large as a finger.
LINKS = ('<nav style="margin: 0 8px 8px; background: #fff; font: 12pt/1.4 serif">@LINKS@</nav>\n')
LINK = '<a href="@HREF@" style="display: inline-block; padding: 12px 8px; color: #00e">@TITLE@</a>'
TITLE = re.compile(r"<title>([^<]*)</title>")


def fail(message):
    sys.exit(f"make_site.py: {message}")


def window_colour():
    """The window's own colour, as the page paints it: the form's back-color
    (0x00BBGGRR) in the description, as #rrggbb."""
    text = open(description, encoding="latin-1").read()
    form = re.split(r"^\s*control ", text, maxsplit=1, flags=re.MULTILINE)[0]
    found = re.search(r"^\s*back-color = 0x00([0-9A-Fa-f]{2})([0-9A-Fa-f]{2})([0-9A-Fa-f]{2})\s*$",
                      form, re.MULTILINE)
    if not found:
        fail(f"{description} gives the form no back-color")
    blue, green, red = found.groups()
    return f"#{red}{green}{blue}".lower()


def png(pixels, size):
    """RGBA pixels as a PNG: 8 bits a channel, no interlace, every row
    filtered by its difference from the row above (the window's image is
    blocks of one colour, so most rows become zeros), and no time."""
    stride = 4 * size
    rows = [pixels[y * stride:(y + 1) * stride] for y in range(size)]
    raw = b"".join(b"\x02" + bytes((a - b) & 0xFF for a, b in zip(row, above))
                   for row, above in zip(rows, [bytes(stride)] + rows[:-1]))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data)))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def icons():
    """Each PIXELS file as icon-N.png, N from its length."""
    made = {}
    for path in pixel_files:
        pixels = open(path, "rb").read()
        size = math.isqrt(len(pixels) // 4)
        if size == 0 or 4 * size * size != len(pixels):
            fail(f"{path} is not a square of RGBA pixels ({len(pixels)} bytes)")
        made[f"icon-{size}.png"] = png(pixels, size)
    return made


def site_policy(policy):
    """The page's policy with exactly what the site adds: its manifest, its
    worker and their icons from the site itself, and one Trusted Types policy
    (the worker's address). Scripts are named by hash when the page is
    finished; every other directive stays as the page has it."""
    directives = policy_directives(policy)
    for key, want in (("default-src", "'none'"), ("require-trusted-types-for", "'script'"),
                      ("script-src", "'wasm-unsafe-eval'"), ("trusted-types", None)):
        if key not in directives or (want is not None and want not in directives[key]):
            fail(f"{page_path}: its policy has no {key} {want or ''}".rstrip())
    directives["script-src"] = ["@HASHES@"] + [v for v in directives["script-src"]
                                                if not v.startswith("'sha256-")]
    directives["trusted-types"] = [TRUSTED_TYPES_POLICY]
    # The manifest's icons are loaded as the page's images: by img-src.
    directives["img-src"] = ["'self'"] + directives.get("img-src", [])
    directives["manifest-src"] = ["'self'"]
    directives["worker-src"] = ["'self'"]
    # The module and the face are the site's own files.
    directives["connect-src"] = ["'self'"]
    directives["font-src"] = ["'self'"]
    return policy_text(directives)


def policy_directives(policy):
    """A policy's directives, in its order: each name with its values."""
    directives = {}
    for directive in filter(None, (d.strip() for d in policy.split(";"))):
        key, *values = directive.split()
        directives[key] = values
    return directives


def policy_text(directives):
    return "; ".join(" ".join([key] + values) for key, values in directives.items())


# Registers the worker once the page is there. The page's Trusted Types make
# the worker's address a TrustedScriptURL, which only the site's one policy
# gives, and only for that address. Where there is no worker (plain http://
# away from this machine, an old browser) the window works as ever, only not
# without the network.
REGISTRATION = """<script>
// The site's worker keeps a copy of every file of the site (sw.js), so that
// the window opens again without the network.
if ("serviceWorker" in navigator) {
  var egnWorker = "@WORKER@";
  if (window.trustedTypes) {
    egnWorker = trustedTypes.createPolicy("@POLICY@", {
      createScriptURL: function (url) {
        if (url === "@WORKER@") return url;
        throw new TypeError("@POLICY@: " + url + " is not the site's worker");
      }
    }).createScriptURL(egnWorker);
  }
  navigator.serviceWorker.register(egnWorker).catch(function (error) {
    console.warn("Без мрежа страницата няма да се отваря: " + error);
  });
}
</script>
"""

# The worker. Its cache is named by the site's scope and by a hash of every
# other file, so a changed site is a changed worker: the browser installs it,
# it keeps the new files, and the old copy goes when it takes over.
WORKER_SCRIPT = """// @PROGRAM@'s site, kept for use without the network. Made by make_site.py.
"use strict";
// This site's caches (one copy a version; another site of the same origin
// keeps its own) and the version of this one: a hash of the files.
const PREFIX = "@PROGRAM@ " + self.registration.scope + " ";
const CACHE = PREFIX + "@VERSION@";
const FILES = @FILES@;

// Install: the whole site into the new cache, fresh from the host (not from
// the browser's HTTP cache, which may still hold the files of an older
// version); if any file fails, this version is not installed.
self.addEventListener("install", function (event) {
  event.waitUntil(caches.open(CACHE).then(function (cache) {
    return cache.addAll(FILES.map(function (file) {
      return new Request(file, { cache: "reload" });
    }));
  }).then(function () { return self.skipWaiting(); }));
});

// Activate: the older versions' caches go, and the open pages are served
// from this one at once.
self.addEventListener("activate", function (event) {
  event.waitUntil(caches.keys().then(function (names) {
    return Promise.all(names.filter(function (name) {
      return name.startsWith(PREFIX) && name !== CACHE;
    }).map(function (name) { return caches.delete(name); }));
  }).then(function () { return self.clients.claim(); }));
});

// Every request: from the copy when it is there (the site's folder itself
// is its index.html, as a static host serves it), otherwise from the network.
self.addEventListener("fetch", function (event) {
  const request = event.request.url === self.registration.scope ? "index.html" : event.request;
  event.respondWith(caches.match(request, { cacheName: CACHE }).then(function (kept) {
    return kept || fetch(event.request);
  }));
});
"""


def main():
    page = open(page_path, encoding="utf-8").read()
    policies = POLICY.findall(page)
    if len(policies) != 1:
        fail(f"{page_path} has {len(policies)} Content-Security-Policy elements, not one")
    surround = SURROUND.search(page)
    if not surround:
        fail(f"{page_path} gives html no background colour")
    for mark in ("</head>", "</body>"):
        if page.count(mark) != 1:
            fail(f"{page_path} has {page.count(mark)} {mark}, not one")

    files = icons()
    sizes = sorted(int(re.search(r"\d+", f).group()) for f in files)
    if not {192, 512} <= set(sizes):
        fail(f"the icons are {sizes} pixels; an installable app needs 192 and 512")
    # The module and the face as files of their own: the first paint waits for
    # neither, and the browser loads the face only where it is used.
    module, face = MODULE.search(page), FACE.search(page)
    if not module or not face:
        fail(f"{page_path} carries no module or no face")
    files[f"{program}.wasm"] = zlib.decompress(from_text(module.group(1)))
    files[f"{program}-face.woff2"] = base64.b64decode(face.group(1))
    # A face inside the page is there within a frame, and the window's text
    # waits for it; one that comes over the network comes a round trip
    # after the window is laid out (a second on a phone's slow network),
    # so there the text is drawn at once in the system's serif, and the
    # face takes its place when it comes (font-display: swap).
    declared = FACE_RULE.search(page)
    if not declared or face.group(0) not in declared.group(0):
        fail(f"{page_path} declares its face outside one @font-face rule")
    page = page.replace(module.group(0), "", 1).replace(
        declared.group(0),
        declared.group(0).replace(face.group(0), f"url({program}-face.woff2)", 1)
        .replace("}", "font-display: swap; }", 1), 1)
    notice = NOTICE.search(page)
    if not notice or FACE_NOTICE not in page:
        fail(f"{page_path} has no notice of one page and its face")
    site_notice = SITE_NOTICE.replace("@NAME@", notice.group(2)).replace("@PROGRAM@", program)
    page = (page.replace(notice.group(0), notice.group(1) + site_notice, 1)
            .replace(FACE_NOTICE, f'The face "EGN Check Serif" in {program}-face.woff2', 1))
    manifest = {
        "id": "./",
        "name": name,
        "short_name": short_name,
        "lang": "bg",
        "dir": "ltr",
        "start_url": "./",
        "scope": "./",
        "display": "standalone",
        "theme_color": window_colour(),
        "background_color": surround.group(1).lower(),
        "icons": [{"src": f"icon-{s}.png", "sizes": f"{s}x{s}", "type": "image/png"}
                  for s in sizes],
    }
    files[MANIFEST] = (json.dumps(manifest, ensure_ascii=False, indent=2) + "\n").encode("utf-8")

    site = page.replace(POLICY.search(page).group(0), '<meta http-equiv="Content-Security-Policy"'
                        f' content="{site_policy(policies[0])}">', 1)
    site = site.replace("</head>", f'<link rel="manifest" href="{MANIFEST}">\n</head>', 1)
    links = []
    for other in other_pages:
        text = open(other, encoding="utf-8").read()
        title = TITLE.search(text)
        if not title:
            fail(f"{other} has no title to be linked by")
        # Its copy on the site may reach the site itself and nothing else,
        # as the window's page there does: an audit reads the site's
        # robots.txt from within the page.
        policy = POLICY.search(text)
        directives = policy_directives(policy.group(1)) if policy else None
        if directives is None or "connect-src" in directives:
            fail(f"{other} has no policy, or one that names its connections already")
        directives["connect-src"] = ["'self'"]
        text = text.replace(policy.group(0), policy.group(0).replace(
            policy.group(1), policy_text(directives)), 1)
        # Its module, where it carries one, as a file of its own, as the
        # window's: the page the phone first loads is its markup and script,
        # and the module follows it, compressed by the host.
        module = MODULE.search(text)
        if module:
            wasm = os.path.splitext(os.path.basename(other))[0] + ".wasm"
            if f'"{wasm}"' not in text:
                fail(f"{other} carries a module but does not name {wasm}, its file on the site")
            files[wasm] = zlib.decompress(from_text(module.group(1)))
            # The notice is the page's first comment, closed on a line of
            # its own: the first such close is the notice's.
            notice = text.find("\n-->")
            if not 0 <= text.find("<!--") < notice:
                fail(f"{other} has no notice to say where its module is")
            text = (text[:notice] + OTHER_NOTICE.replace("@WASM@", wasm) + text[notice:]).replace(
                module.group(0), "", 1)
        files[os.path.basename(other)] = text.encode("utf-8")
        links.append(LINK.replace("@HREF@", os.path.basename(other)).replace("@TITLE@", title.group(1)))
    if links:
        site = site.replace("</body>", LINKS.replace("@LINKS@", " ".join(links)) + "</body>", 1)
    registration = REGISTRATION.replace("@WORKER@", WORKER)
    site = site.replace("</body>", registration.replace("@POLICY@", TRUSTED_TYPES_POLICY)
                        + "</body>", 1)
    site = site.replace("@HASHES@", " ".join(script_hashes(site)), 1)
    files["index.html"] = site.encode("utf-8")

    version = hashlib.sha256()
    for file in sorted(files):
        version.update(file.encode("utf-8") + b"\0" + hashlib.sha256(files[file]).digest())
    files[WORKER] = (WORKER_SCRIPT.replace("@PROGRAM@", program)
                     .replace("@VERSION@", version.hexdigest()[:16])
                     .replace("@FILES@", json.dumps(sorted(files)))).encode("utf-8")

    shutil.rmtree(output, ignore_errors=True)
    os.makedirs(output)
    for file, data in sorted(files.items()):
        with open(os.path.join(output, file), "wb") as f:
            f.write(data)


main()
