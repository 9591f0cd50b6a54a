"""The browsers the pages' tests drive through Selenium, started alike for
every page: headless Chromium (its console kept, and with `network` every
request the page makes, in its performance log) or WebKit
(WebKitWebDriver, which needs a display: run it under xvfb-run -a), and
the loopback host they open pages from."""
import functools
import http.server
import os
import threading

from selenium import webdriver

ENGINES = ("webkit", "chromium")


def start(engine, network=False):
    if engine == "webkit":
        driver = webdriver.WebKitGTK()
    elif engine == "chromium":
        options = webdriver.ChromeOptions()
        for a in ("--headless=new", "--no-sandbox", "--disable-gpu"):
            options.add_argument(a)
        logs = {"browser": "ALL", **({"performance": "ALL"} if network else {})}
        options.set_capability("goog:loggingPrefs", logs)
        driver = webdriver.Chrome(options=options)
    else:
        raise SystemExit(f"unknown engine {engine} (webkit or chromium)")
    driver.set_window_size(900, 700)
    return driver


class Quiet(http.server.SimpleHTTPRequestHandler):
    """A static host that keeps its log to itself: a test prints its own."""

    def log_message(self, *args):
        pass


def serve(folder, handler=Quiet):
    """folder served on a loopback port of its own from a thread, by handler
    (a Quiet one unless told): (the server, its origin with a final slash).
    The server's shutdown() ends it, at once where it has ended already."""
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0),
                                             functools.partial(handler, directory=folder))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, f"http://127.0.0.1:{server.server_address[1]}/"


def painted_then_asked(driver, address):
    """When the open page first painted (its first contentful paint) and
    when it asked for `address`, in ms, or None while either is to come."""
    return driver.execute_script("""
        const paint = performance.getEntriesByName('first-contentful-paint')[0];
        const asked = performance.getEntriesByName(arguments[0])[0];
        return paint && asked ? [paint.startTime, asked.startTime] : null;""", address)


def accessibility_violations(driver, build, open_page):
    """What axe-core (the version package-lock.json pins, installed beside
    the build in BUILD/web_engines) finds against WCAG 2.0, 2.1 and 2.2 A
    and AA and its best practices on the page that open_page() opens and
    readies: [rule, how many nodes] each. Chromium alone: axe is let past
    the page's policy there."""
    source = open(os.path.join(build, "web_engines", "node_modules", "axe-core",
                               "axe.min.js")).read()
    driver.execute_cdp_cmd("Page.setBypassCSP", {"enabled": True})
    try:
        open_page()
        driver.execute_script(source)
        return driver.execute_async_script(
            "axe.run(document, {runOnly: ['wcag2a', 'wcag2aa', 'wcag21aa', 'wcag22aa',"
            " 'best-practice']})"
            ".then(r => arguments[0](r.violations.map(v => [v.id, v.nodes.length])))")
    finally:
        driver.execute_cdp_cmd("Page.setBypassCSP", {"enabled": False})
