#!/usr/bin/python3
"""Saves a screenshot of the list page as headless Chromium shows it, with
a small register checked: its summary, download link, messages and rows to
look at. Usage: tools/screenshot-list.py [WEB_BUILD_DIR] [OUTPUT.png]"""
import os
import sys
import tempfile
import time

from selenium import webdriver
from selenium.webdriver.chrome.options import Options

build = sys.argv[1] if len(sys.argv) > 1 else "out/web"
output = sys.argv[2] if len(sys.argv) > 2 else "docs/screenshot-list.png"
REGISTER = ('Име;ЕГН;Град\r\n"Петрова; Ана";551267871;Варна\r\nИван;8001010008;Русе\r\n'
            'Георги;8001010009;София\r\nМария;12ab;Пловдив\r\n')
options = Options()
for a in ("--headless=new", "--no-sandbox", "--window-size=900,1250", "--hide-scrollbars"):
    options.add_argument(a)
driver = webdriver.Chrome(options=options)
with tempfile.TemporaryDirectory() as scratch:
    path = os.path.join(scratch, "регистър.csv")
    with open(path, "wb") as f:
        f.write(REGISTER.encode("cp1251"))
    try:
        driver.get("file://" + os.path.abspath(os.path.join(build, "list", "egn-list.html")))
        driver.find_element("id", "file").send_keys(path)
        driver.find_element("id", "start").click()
        while not driver.execute_script("return !document.getElementById('start').disabled &&"
                                        " document.getElementById('summary').textContent"):
            time.sleep(0.05)
        driver.execute_script("document.activeElement.blur()")
        driver.save_screenshot(output)
    finally:
        driver.quit()
print(output)
