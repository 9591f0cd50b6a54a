#!/usr/bin/python3
"""Time to the first contentful paint of egn-check.html against
bench/reference_window.html (the same window written by hand, no WebAssembly),
in headless Chromium, three ways: from disk (file://), from a loopback HTTP
server, and from disk with the CPU slowed six times (as Chromium's developer
tools emulate a slow phone). In each, RUNS rounds of one load of every page
in turn; medians, and each page's ratio to the hand-written one.

Usage: bench/web_first_paint.py WEB_BUILD_DIR [RUNS] [--modes file,http,slow]
                                [--also PAGE ...]
RUNS is at least 15 (31 if not given); --also adds other pages (another
build's egn-check.html, say), loaded in the same rounds, so that a page
before and after a change is measured side by side.
"""
import argparse
import os
import shutil
import statistics
import sys
import tempfile

from selenium import webdriver
from selenium.webdriver.chrome.options import Options

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "window", "tests", "web", "web_engines"))
import drivers  # noqa: E402  (the loopback host)

REFERENCE = os.path.join(HERE, "reference_window.html")
MODES = {"file": "from disk", "http": "loopback HTTP", "slow": "from disk, CPU 6 x slower"}

# Waits for the paint entry, which the browser records once it has painted.
FIRST_PAINT = """
const done = arguments[arguments.length - 1];
new PerformanceObserver(list => {
  for (const e of list.getEntries()) if (e.name === 'first-contentful-paint') done(e.startTime);
}).observe({type: 'paint', buffered: true});
"""


class Uncached(drivers.Quiet):
    """Serves the pages as a static host would, never from the browser's
    cache: every load is a first visit."""

    def end_headers(self):
        self.send_header("Cache-Control", "no-store")
        super().end_headers()


def measure(driver, urls, runs):
    for url in urls:  # one load each to warm the disk cache
        driver.get(url)
    times = {url: [] for url in urls}
    for _ in range(runs):
        for url in urls:
            driver.get("about:blank")
            driver.get(url)
            times[url].append(driver.execute_async_script(FIRST_PAINT))
    return times


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("runs", nargs="?", type=int, default=31)
    parser.add_argument("--modes", default=",".join(MODES))
    parser.add_argument("--also", nargs="*", default=[])
    args = parser.parse_args()
    runs = max(15, args.runs)
    modes = args.modes.split(",")
    if unknown := [m for m in modes if m not in MODES]:
        parser.error(f"no such mode: {', '.join(unknown)} (the modes: {', '.join(MODES)})")

    # Every page under a name of its own in one folder, served from there
    # and opened from there: the same bytes in every mode.
    pages = [os.path.join(args.build, "window", "egn-check.html"), *args.also, REFERENCE]
    names = ["egn-check.html"] + [f"also-{i}.html" for i in range(len(args.also))] + [
        "reference_window.html"]
    labels = [os.path.relpath(p) for p in pages]
    folder = tempfile.mkdtemp()
    for page, name in zip(pages, names):
        shutil.copyfile(page, os.path.join(folder, name))
    server, origin = drivers.serve(folder, Uncached)

    options = Options()
    for a in ("--headless=new", "--no-sandbox", "--window-size=900,700"):
        options.add_argument(a)
    driver = webdriver.Chrome(options=options)
    results = {}
    try:
        for mode in modes:
            if mode == "http":
                base = origin
            else:
                base = "file://" + folder + "/"
            driver.execute_cdp_cmd("Emulation.setCPUThrottlingRate",
                                   {"rate": 6 if mode == "slow" else 1})
            times = measure(driver, [base + n for n in names], runs)
            results[mode] = [times[base + n] for n in names]
    finally:
        driver.quit()
        server.shutdown()
        shutil.rmtree(folder)

    print(f"first contentful paint, median of {runs} rounds (one load of each page a round), ms;"
          " the ratio is to the hand-written page")
    width = max(len(label) for label in labels)
    print(f"  {'':{width}}" + "".join(f"  {MODES[m]:>26}" for m in modes))
    for i, label in enumerate(labels):
        row = ""
        for mode in modes:
            ours = statistics.median(results[mode][i])
            theirs = statistics.median(results[mode][-1])
            row += f"  {ours:16.1f} ({ours / theirs:5.2f})  "
        print(f"  {label:{width}}{row}")


if __name__ == "__main__":
    main()
