#!/usr/bin/python3
"""Saves a screenshot of the window's page as headless Chromium shows it,
cropped to the window. Usage: tools/screenshot-web.py [WEB_BUILD_DIR] [OUTPUT.png]"""
import io
import os
import sys

from PIL import Image
from selenium import webdriver
from selenium.webdriver.chrome.options import Options

build = sys.argv[1] if len(sys.argv) > 1 else "out/web"
output = sys.argv[2] if len(sys.argv) > 2 else "docs/screenshot-web.png"
options = Options()
for a in ("--headless=new", "--no-sandbox", "--window-size=900,700"):
    options.add_argument(a)
driver = webdriver.Chrome(options=options)
try:
    driver.get("file://" + os.path.abspath(os.path.join(build, "window", "egn-check.html")))
    driver.execute_async_script(
        "const done = arguments[0];"
        "(function wait() { document.querySelector('#MainForm:not([inert])') ? done() : setTimeout(wait, 10); })();")
    r = driver.execute_script(
        "const r = document.getElementById('MainForm').getBoundingClientRect();"
        "return [r.left, r.top, r.right, r.bottom, devicePixelRatio];")
    image = Image.open(io.BytesIO(driver.get_screenshot_as_png()))
    image.crop(tuple(round(v * r[4]) for v in r[:4])).save(output)
finally:
    driver.quit()
print(output)
