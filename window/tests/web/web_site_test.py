#!/usr/bin/python3
"""The page's site (window/site, made by runtime/web/make_site.py) in headless
Chromium over a loopback HTTP server: its policy opened for exactly what the
site adds, its icons the window's image, installable with nothing refused;
a new version of the site replacing the old copy; and, once visited, the
window working with the server gone. Also what the site maker refuses.

Usage: web_site_test.py BUILD_DIR. Exits 1 on the first failure.
"""
import base64
import hashlib
import io
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import urllib.request
import zlib
from functools import partial

from PIL import Image
from selenium.webdriver.support.wait import WebDriverWait

import web_page_test as chromium  # the browser's driver (reads BUILD_DIR from the command line)
import drivers  # the loopback host (web_page_test puts its folder on the path)

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "runtime", "web"))
import make_page  # noqa: E402  (the page maker's own reading of the module's text)

HERE = os.path.dirname(os.path.abspath(__file__))

BUILD = chromium.BUILD
SITE = os.path.join(BUILD, "window", "site")
MAKER = os.path.join(HERE, "..", "..", "..", "runtime", "web", "make_site.py")
DESCRIPTION = os.path.join(HERE, "..", "..", "MainForm.form")
XPM = os.path.join(HERE, "..", "..", "egn-check.xpm")
# The README's example: 1 ... 9, then Изчисли.
EXAMPLE = ("123456789", "Изчислена сума: 285\r\nПоследно число: 0\r\n", "0")
POLICY = re.compile(r'<meta http-equiv="Content-Security-Policy" content="([^"]*)">')


def policy(path):
    text = open(path, encoding="utf-8").read()
    return {d.split()[0]: d.split()[1:] for d in POLICY.search(text).group(1).split("; ")}


def check_policy():
    """index.html is the page with its policy and notice changed, the manifest linked,
    one more script (the registration, last), and its module and face files
    of their own, the same bytes. The policy is the page's, plus the
    manifest, the worker, their icons, the module and the face, and the one
    Trusted Types policy; its scripts named by hash."""
    text = open(os.path.join(SITE, "index.html"), encoding="utf-8").read()
    rest, _, registration = text.rpartition("<script>")
    without = POLICY.sub("", rest + registration.split("</script>\n", 1)[1])
    # Below the window, outside its frame, the link to the list page, which
    # is in the site as it was built, its policy letting it reach the site
    # itself and nothing else.
    links = re.search(r'<nav [^>]*>(.*?)</nav>\n', without)
    assert links and re.fullmatch(r'<a href="egn-list.html" [^>]*>Проверка на списък с ЕГН</a>',
                                  links[1]), links
    without = without.replace(links[0], "", 1)
    # Its module is the site's file egn-list.wasm, as the window's is, and
    # its notice says so.
    listed = os.path.join(BUILD, "list", "egn-list.html")
    built = open(listed, encoding="utf-8").read()
    its_policy = POLICY.search(built)[0]
    its_module = re.search(r'<template id="egn-module">([^<]*)</template>\n', built)
    notice_end = built.index("\n-->")
    assert open(os.path.join(SITE, "egn-list.html"), encoding="utf-8").read() == (
        built[:notice_end] + "\n\n  On this site its WebAssembly is the site's file egn-list.wasm,"
        " and its policy\n  allows connections to this site alone." + built[notice_end:]).replace(
        its_policy, its_policy.replace('">', '; connect-src \'self\'">'), 1).replace(
        its_module[0], "", 1)
    wasm = open(os.path.join(SITE, "egn-list.wasm"), "rb").read()
    assert zlib.decompress(make_page.from_text(its_module[1])) == wasm and wasm[:4] == b"\0asm"
    page = POLICY.sub("", open(chromium.PAGE, encoding="utf-8").read())
    module = re.search(r'<template id="egn-module">([^<]*)</template>\n', page)
    face = re.search(r"url\(data:font/woff2;base64,([^)]*)\)", page)
    # The face a file of the site, drawn in the system's serif until it comes.
    page = page.replace(module[0], "").replace(
        face[0] + ' format("woff2"); }', 'url(egn-check-face.woff2) format("woff2"); font-display: swap; }')
    # The notice says what the site is, and keeps the face's licence word for word.
    notices = [re.search(r"<!--\n(.*?)-->\n", t, re.DOTALL) for t in (without, page)]
    site_notice, page_notice = (n[1] for n in notices)
    for said in ("egn-check 1.00: the window as a site", "egn-check.wasm", "sw.js",
                 'The face "EGN Check Serif" in egn-check-face.woff2 is a subset'):
        assert said in site_notice, (said, site_notice)
    assert "inside this" not in site_notice and "storage" not in site_notice, site_notice
    licence = page_notice[page_notice.index(" is a subset"):]
    assert site_notice.endswith(licence), site_notice
    without, page = (t.replace(n[0], "", 1) for t, n in zip((without, page), notices))
    assert without.replace('<link rel="manifest" href="manifest.webmanifest">\n', "", 1) == page, (
        "not the same page")
    assert open(os.path.join(SITE, "egn-check-face.woff2"), "rb").read() == base64.b64decode(face[1])
    wasm = open(os.path.join(SITE, "egn-check.wasm"), "rb").read()
    assert zlib.decompress(make_page.from_text(module[1])) == wasm and wasm[:4] == b"\0asm"
    page, site = policy(chromium.PAGE), policy(os.path.join(SITE, "index.html"))
    scripts = re.findall(r"<script\b[^>]*>(.*?)</script>", text, re.DOTALL)
    hashes = ["'sha256-" + base64.b64encode(hashlib.sha256(s.encode()).digest()).decode() + "'"
              for s in scripts]
    changed = {"script-src": hashes + ["'wasm-unsafe-eval'"], "trusted-types": ["egn-site"],
               "img-src": ["'self'", "data:"], "manifest-src": ["'self'"], "worker-src": ["'self'"],
               "connect-src": ["'self'"], "font-src": ["'self'"]}
    assert site == {**page, **changed}, site


def check_icons():
    """Each icon is the window's image, every pixel a whole block of one
    pixel of the XPM (192 and 512 are whole multiples of its 32)."""
    strings = re.findall(r'"([^"]*)"', open(XPM).read())
    colours = int(strings[0].split()[2])
    palette = {s[0]: (0, 0, 0, 0) if s.split()[-1] == "None" else
               (*bytes.fromhex(s.split()[-1][1:]), 255) for s in strings[1:1 + colours]}
    rows = strings[1 + colours:]
    for size in (192, 512):
        image = Image.open(os.path.join(SITE, f"icon-{size}.png"))
        assert image.mode == "RGBA" and image.size == (size, size), (image.mode, image.size)
        pixels, block = image.load(), size // 32
        wrong = [(x, y) for y in range(size) for x in range(size)
                 if pixels[x, y] != palette[rows[y // block][x // block]]]
        assert not wrong, (size, wrong[:5])


# What the site maker says of a page or icon it cannot make a site of: how the
# page is spoiled (a pattern and its replacement), and the message after the
# path.
REFUSALS = [
    (r'<meta http-equiv="Content-Security-Policy"[^>]*>', "",
     " has 0 Content-Security-Policy elements, not one"),
    (r" 'wasm-unsafe-eval'", "", ": its policy has no script-src 'wasm-unsafe-eval'"),
    (r"; trusted-types 'none'", "", ": its policy has no trusted-types"),
    (r"html \{ background: #808080; \}", "html { }", " gives html no background colour"),
    (r"</body>", "</body></body>", " has 2 </body>, not one"),
    (r'<template id="egn-module">[^<]*</template>\n', "", " carries no module or no face"),
    (r"inside this page", "here", " has no notice of one page and its face"),
    (r'@font-face \{ font-family: "EGN Check Serif"; src: (url\([^)]*\))[^}]*\}', r"body { background: \1; }",
     " declares its face outside one @font-face rule"),
]


def check_refusals(scratch):
    page = open(chromium.PAGE, encoding="utf-8").read()
    pixels = [os.path.join(BUILD, "window", f"egn-check.icon-{s}.rgba") for s in (192, 512)]
    spoiled = os.path.join(scratch, "spoiled.html")
    cases = [(re.sub(pattern, by, page, count=1), pixels, None, spoiled + said)
             for pattern, by, said in REFUSALS]
    odd = os.path.join(scratch, "odd.rgba")
    open(odd, "wb").write(b"\0" * 12)
    cases.append((page, pixels[:1] + [odd], None, f"{odd} is not a square of RGBA pixels (12 bytes)"))
    cases.append((page, pixels[:1], None,
                  "the icons are [192] pixels; an installable app needs 192 and 512"))
    # A page beside the window: its module must have a name on the site,
    # and its notice a place to say so.
    listed = open(os.path.join(BUILD, "list", "egn-list.html"), encoding="utf-8").read()
    other = os.path.join(scratch, "egn-list.html")
    cases.append((page, pixels, listed.replace('"egn-list.wasm"', '""', 1),
                  f"{other} carries a module but does not name egn-list.wasm, its file on the site"))
    cases.append((page, pixels, listed.replace("<!--", "", 1),
                  f"{other} has no notice to say where its module is"))
    for text, icons, beside, said in cases:
        open(spoiled, "w", encoding="utf-8").write(text)
        if beside is not None:
            open(other, "w", encoding="utf-8").write(beside)
        run = subprocess.run([sys.executable, MAKER, spoiled, DESCRIPTION,
                              os.path.join(scratch, "site"), "probe", "n", "s", *icons,
                              *([other] if beside is not None else [])],
                             capture_output=True, text=True)
        assert (run.returncode, run.stderr) == (1, f"make_site.py: {said}\n"), (said, run.stderr)


class Host(drivers.Quiet):
    """A static host, with the types a host gives the manifest and the worker."""
    extensions_map = {".webmanifest": "application/manifest+json", ".js": "text/javascript",
                      ".html": "text/html", ".png": "image/png", ".wasm": "application/wasm",
                      ".woff2": "font/woff2"}


class SlowFace(Host):
    """The host on a slow network: the face is held back until `given` is set."""
    given = threading.Event()

    def do_GET(self):
        if self.path.endswith(".woff2"):
            SlowFace.given.wait(30)
        super().do_GET()


def check_face_on_its_way(scratch):
    """Where no face of the window's is installed (as on Android), the site's
    window draws its text while the face is still on its way, and takes the
    face once it comes: the text never waits for the network."""
    site = shutil.copytree(SITE, os.path.join(scratch, "face"))
    server, url = drivers.serve(site, SlowFace)
    os.environ["FONTCONFIG_FILE"] = os.path.join(HERE, "..", "shared", "hide_the_face.conf")
    try:
        browser = chromium.Browser(load="none")  # `load` waits for the face too
    finally:
        os.environ.pop("FONTCONFIG_FILE", None)
    carried = "return [...document.fonts].map(f => f.status)"
    try:
        browser.driver.get(url)
        WebDriverWait(browser.driver, 10).until(lambda d: d.execute_script(
            "return document.documentElement.classList.contains('egn-shown')"
            " && document.fonts.size == 1"))
        assert browser.js(carried) == ["loading"], browser.js(carried)
        # The heading's caption, drawn: dark pixels on its pale face. (A
        # face waited for leaves the caption blank for up to 3 s.)
        shot = Image.open(io.BytesIO(browser.element("Label1(0)").screenshot_as_png)).convert("L")
        since = browser.js("return performance.now()")
        assert browser.js(carried) == ["loading"] and since < 3000, since
        assert min(shot.getdata()) < 64, "the heading is blank while the face is on its way"
        SlowFace.given.set()
        WebDriverWait(browser.driver, 10).until(lambda d: d.execute_script(carried) == ["loaded"])
        assert browser.js("return document.fonts.check('12pt \"EGN Check Serif\"', 'Година')")
    finally:
        SlowFace.given.set()
        browser.quit()
        server.shutdown()
        server.server_close()


def check_in_chromium(scratch):
    site = shutil.copytree(SITE, os.path.join(scratch, "served"))
    server, url = drivers.serve(site, Host)
    browser = chromium.Browser()
    wait = WebDriverWait(browser.driver, 10)

    def caches():
        return browser.driver.execute_async_script("caches.keys().then(arguments[0])")

    try:
        # The first visit: the program's module asked for only once the
        # window has painted; the worker takes over, and the app is
        # installable.
        browser.open(url)
        painted, asked = drivers.painted_then_asked(browser.driver, url + "egn-check.wasm")
        assert asked >= painted, (f"the module was asked for at {asked} ms, before the first"
                                  f" paint at {painted} ms")
        browser.driver.execute_async_script(
            "navigator.serviceWorker.ready.then(() => arguments[0]())")
        wait.until(lambda d: d.execute_script("return !!navigator.serviceWorker.controller"))
        errors = browser.driver.execute_cdp_cmd("Page.getInstallabilityErrors", {})
        assert errors == {"installabilityErrors": []}, errors
        manifest = browser.driver.execute_cdp_cmd("Page.getAppManifest", {})
        assert (manifest["errors"], manifest["url"]) == ([], url + "manifest.webmanifest"), manifest
        loaded = browser.driver.execute_async_script("""
            const done = arguments[1];
            Promise.all(arguments[0].map(icon => new Promise(loaded => {
              const image = new Image();
              image.onload = () => loaded(image.naturalWidth + 'x' + image.naturalHeight);
              image.onerror = () => loaded('failed');
              image.src = icon.url;
            }))).then(done);""", manifest["manifest"]["icons"])
        assert loaded == [i["sizes"] for i in manifest["manifest"]["icons"]], loaded
        # A new version of the site: the new worker keeps it, and takes the
        # old version's copy away, but no other cache of the origin.
        worker = open(os.path.join(site, "sw.js")).read()
        version = re.search(r'const CACHE = PREFIX \+ "(\w+)"', worker)[1]
        assert caches() == [f"egn-check {url} {version}"], caches()
        kept = browser.driver.execute_async_script(
            "caches.open(arguments[0]).then(c => c.keys())"
            ".then(keys => arguments[1](keys.map(k => k.url)))", caches()[0])
        files = sorted(url + f for f in os.listdir(site) if f != "sw.js")
        assert sorted(kept) == files, kept  # the whole site but the worker, which the browser keeps
        browser.driver.execute_async_script("caches.open('another app').then(() => arguments[0]())")
        open(os.path.join(site, "sw.js"), "w").write(worker.replace(version, "0" * 16))
        browser.driver.execute_async_script(
            "navigator.serviceWorker.ready.then(r => r.update()).then(() => arguments[0]())")
        wait.until(lambda d: sorted(caches()) == ["another app", f"egn-check {url} {'0' * 16}"])
        assert browser.console_errors() == [] and browser.policy_reports() == []

        # The server gone, the window still opens and counts.
        server.shutdown()
        server.server_close()
        try:
            urllib.request.urlopen(url, timeout=5)
            raise AssertionError("the server still answers")
        except OSError:
            pass
        browser.driver.refresh()
        browser.open(url)
        digits, text, tenth = EXAMPLE
        for i, digit in enumerate(digits):
            browser.element(f"Text2({i})").send_keys(digit)
        browser.element("Command1(0)").click()
        assert (browser.text_property("Text1", 0), browser.value("Text2(9)")) == (text, tenth)
        assert browser.console_errors() == [] and browser.policy_reports() == []
    finally:
        browser.quit()
        server.shutdown()  # at once where it has stopped already
        server.server_close()


def main():
    with tempfile.TemporaryDirectory() as scratch:
        for name, check in [("policy", check_policy), ("icons", check_icons),
                            ("refusals", partial(check_refusals, scratch)),
                            ("face on its way", partial(check_face_on_its_way, scratch)),
                            ("chromium", partial(check_in_chromium, scratch))]:
            check()
            print(f"ok      site: {name}")


if __name__ == "__main__":
    main()
