#!/usr/bin/python3
"""Time to the first contentful paint of egn-check.html against
bench/reference_window.html (the same window written by hand, no WebAssembly),
in headless Chromium: RUNS alternating loads of each from file://, medians.

Usage: bench/web_first_paint.py WEB_BUILD_DIR [RUNS] (at least 15).
"""
import os
import statistics
import sys

from selenium import webdriver
from selenium.webdriver.chrome.options import Options

HERE = os.path.dirname(os.path.abspath(__file__))
page = "file://" + os.path.abspath(os.path.join(sys.argv[1], "window", "egn-check.html"))
reference = "file://" + os.path.join(HERE, "reference_window.html")
runs = max(15, int(sys.argv[2]) if len(sys.argv) > 2 else 31)

# Waits for the paint entry, which the browser records once it has painted.
FIRST_PAINT = """
const done = arguments[arguments.length - 1];
new PerformanceObserver(list => {
  for (const e of list.getEntries()) if (e.name === 'first-contentful-paint') done(e.startTime);
}).observe({type: 'paint', buffered: true});
"""

options = Options()
for a in ("--headless=new", "--no-sandbox", "--window-size=900,700"):
    options.add_argument(a)
driver = webdriver.Chrome(options=options)
times = {page: [], reference: []}
try:
    for url in (page, reference):  # one load each to warm the disk cache
        driver.get(url)
    for _ in range(runs):
        for url in (page, reference):
            driver.get("about:blank")
            driver.get(url)
            times[url].append(driver.execute_async_script(FIRST_PAINT))
finally:
    driver.quit()

ours, theirs = statistics.median(times[page]), statistics.median(times[reference])
print(f"first contentful paint, median of {runs} alternating loads each:")
print(f"  egn-check.html          {ours:7.1f} ms")
print(f"  reference_window.html   {theirs:7.1f} ms")
print(f"  ratio                   {ours / theirs:7.2f}")
print(f"  (means {statistics.mean(times[page]):.1f} / {statistics.mean(times[reference]):.1f} ms)")
