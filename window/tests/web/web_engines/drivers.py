"""The browsers the pages' tests drive through Selenium, started alike for
every page: headless Chromium (its console kept, and with `network` every
request the page makes, in its performance log) or WebKit
(WebKitWebDriver, which needs a display: run it under xvfb-run -a)."""
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
