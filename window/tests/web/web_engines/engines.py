#!/usr/bin/python3
"""The window's page in WebKit (and Chromium), driven through Selenium, held
to the table in expectations.py, which every engine's driver shares.

Usage: engines.py BUILD_DIR ENGINE...  (ENGINE: webkit, chromium). WebKit
runs WebKitWebDriver, which needs a display: run it under xvfb-run -a.
EGN_ENGINE_CHECKS=name,... runs only those checks.
Prints "N passed, N failed" last; exits 1 on a failure.
"""
import os
import sys
import time
import traceback

from selenium.common.exceptions import JavascriptException, NoSuchFrameException
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.keys import Keys

import expectations
from drivers import accessibility_violations, start
from expectations import EXPECTATIONS as E, SCRIPTS

PAGE_URL = "file://" + expectations.chromium.PAGE
BUILD = expectations.chromium.BUILD


class Page:
    def __init__(self, engine, driver):
        self.engine, self.driver = engine, driver

    def run(self, script, *arguments):
        return self.driver.execute_script(SCRIPTS[script], *arguments)

    def poll(self, script, *arguments):
        """A script run while a navigation may be under way: a script the
        unload cut short (WebKit's driver says so) is read as "not yet"."""
        try:
            return self.run(script, *arguments)
        except (NoSuchFrameException, JavascriptException):
            return None

    def open(self):
        self.driver.get(PAGE_URL)
        assert self.run("ready") is True
        self.run("record_errors")

    def keys(self, *keys):
        chain = ActionChains(self.driver)
        for k in keys:
            chain.send_keys(k)
        chain.perform()

    def click(self, name):
        self.driver.find_element("id", name).click()

    def type_into(self, name, text):
        self.driver.find_element("id", name).send_keys(text)

    def value(self, name):
        return self.run("value", name)

    def results(self):
        return self.run("text_property", *E["results_box"])

    def console_errors(self):
        """Errors the engine itself reports, where its driver can read them
        (Chromium's log), and what the page's recorder kept since the load."""
        native = []
        if self.engine == "chromium":
            native = [e["message"] for e in self.driver.get_log("browser") if e["level"] == "SEVERE"]
        return native + self.run("errors")


# --- the checks, each against the shared table ---------------------------------------


def every_control_in_its_place(p):
    p.open()
    rects = p.run("rects", E["window"][0])
    assert rects["__scale"] == 1, rects["__scale"]
    wrong = {}
    for name, want in E["places"].items():
        got = rects[name]
        if want is None:
            if got[2] != 0:  # hidden: no box at all
                wrong[name] = (got, "no box")
        elif not all(abs(g - w) < E["tolerance"] for g, w in zip(got, want)):
            wrong[name] = (got, want)
    assert wrong == {}, wrong


def the_example_then_clear(p):
    p.open()
    example = E["example"]
    for name, digit in zip(E["digit_boxes"], example["digits"]):
        p.type_into(name, str(digit))
    assert [p.value(n) for n in E["digit_boxes"]] == [str(d) for d in example["digits"]]
    p.click(E["calculate"])
    assert p.results() == example["text"], p.results()
    assert p.value(f"{E['results_box'][0]}({E['results_box'][1]})") == example["value"]
    assert p.value(E["tenth_box"]) == example["tenth"], p.value(E["tenth_box"])
    p.click(E["clear"])
    boxes = E["digit_boxes"] + [E["tenth_box"]]
    assert [p.value(n) for n in boxes] == [""] * len(boxes), [p.value(n) for n in boxes]
    assert p.results() == "" and p.value("Text1(0)") == ""


def first_focus_and_tab_order(p):
    p.open()
    walk = [p.run("focused")]
    assert walk[0] == E["first_focus"], walk
    for _ in E["tab_order"][1:]:
        p.keys(Keys.TAB)
        walk.append(p.run("focused"))
    assert walk == E["tab_order"], walk
    back = [walk[-1]]
    for _ in E["tab_order"][1:]:
        ActionChains(p.driver).key_down(Keys.SHIFT).send_keys(Keys.TAB).key_up(Keys.SHIFT).perform()
        back.append(p.run("focused"))
    assert back == E["tab_order"][::-1], back


def tab_after_the_last_stop(p):
    """An expected difference: what Tab does on the last stop."""
    p.open()
    p.driver.find_element("id", E["tab_order"][-1]).click()
    assert p.run("focused") == E["tab_order"][-1]
    p.keys(Keys.TAB)
    want = E["differences"]["tab after the last stop"][p.engine]
    assert p.run("focused") == want, (p.run("focused"), want)


def line_box_of_every_caption(p):
    """An expected difference: the captions' line boxes."""
    p.open()
    heights = p.run("line_boxes", E["labels"])
    want = E["differences"]["line box of every caption, px"][p.engine]
    assert heights == {name: [want] for name in E["labels"]}, heights


def read_only_boxes_refuse_typing(p):
    p.open()
    before = {name: p.value(name) for name in E["read_only"]}
    results = p.results()
    for name in E["read_only"]:
        p.type_into(name, E["typed_into_read_only"])
        assert p.value(name) == before[name], (name, p.value(name))
        p.keys(Keys.DELETE, Keys.BACKSPACE)
        assert p.value(name) == before[name], (name, p.value(name))
    assert p.results() == results
    p.click(E["calculate"])  # the program's own writes still go in
    assert p.value(E["tenth_box"]) == E["empty"]["tenth"], p.value(E["tenth_box"])


def no_console_error(p):
    p.open()
    for name, digit in zip(E["digit_boxes"], E["example"]["digits"]):
        p.type_into(name, str(digit))
    p.click(E["calculate"])
    p.click(E["clear"])
    assert p.console_errors() == [], p.console_errors()
    # The recorder hears an error when there is one.
    p.run("probe_error")
    errors = p.console_errors()
    assert len(errors) >= 1 and all(E["probe"] in e for e in errors), errors


def typing_at_the_first_frame(p):
    """Nine digits typed into the boxes from the first frame that draws the
    window, and Изчисли pressed, before the program runs (Chromium's CPU
    slowed as a low-end phone's): every digit is kept and the results are the
    example's, every time. The first frame draws the window whole, all nine
    digit boxes and the buttons, and lets a tap meet the first box and give
    it the focus (seen by a script that runs before the page's own in
    Chromium; in WebKit, whose driver has none, at the first moment the
    driver sees the box drawn)."""
    chromium = p.engine == "chromium"
    box = E["digit_boxes"][0]
    probe = None
    if chromium:
        p.driver.execute_cdp_cmd("Emulation.setCPUThrottlingRate",
                                 {"rate": E["first_frame_cpu_slowdown"]})
        probe = p.driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument",
                                         {"source": E["first_frame_probe"]})["identifier"]
    try:
        p.driver.get(PAGE_URL)
        for walk in range(E["first_frame_walks"]):
            query = f"?walk={walk}"  # a page of its own, with the driver back at once
            p.driver.execute_script("location.href = arguments[0]", PAGE_URL + query)
            deadline = time.monotonic() + 30
            while not p.poll("box_there", box, query):
                assert time.monotonic() < deadline, "the window never came"
            met = None if chromium else p.run("meet_now", E["frame_names"])
            for name, digit in zip(E["digit_boxes"], E["example"]["digits"]):
                p.type_into(name, str(digit))
            p.click(E["calculate"])
            if chromium:
                met = p.run("first_frame")
            assert met == E["first_frame_meets"], (walk, met)
            assert p.run("ready") is True
            typed = [p.value(n) for n in E["digit_boxes"]]
            assert typed == [str(d) for d in E["example"]["digits"]], (walk, typed)
            assert (p.results(), p.value(E["tenth_box"])) == (
                E["example"]["text"], E["example"]["tenth"]), (walk, p.results())
    finally:
        if chromium:
            p.driver.execute_cdp_cmd("Page.removeScriptToEvaluateOnNewDocument",
                                     {"identifier": probe})
            p.driver.execute_cdp_cmd("Emulation.setCPUThrottlingRate", {"rate": 1})


def no_accessibility_violation(p):
    """axe-core (the version package-lock.json pins, installed beside the
    build) finds no violation of WCAG 2.0, 2.1 and 2.2 A and AA or of its
    best practices, on the window as the program runs it. Chromium alone
    (CHROMIUM_CHECKS): axe is let past the page's policy there."""
    violations = accessibility_violations(p.driver, BUILD, p.open)
    assert violations == [], violations


CHECKS = [every_control_in_its_place, the_example_then_clear, first_focus_and_tab_order,
          tab_after_the_last_stop, line_box_of_every_caption, read_only_boxes_refuse_typing,
          no_console_error, typing_at_the_first_frame]
CHROMIUM_CHECKS = [no_accessibility_violation]


def main():
    passed = failed = 0
    for engine in sys.argv[2:]:
        began = time.monotonic()
        driver = start(engine)
        try:
            page = Page(engine, driver)
            only = os.environ.get("EGN_ENGINE_CHECKS")  # some checks alone, by name
            checks = CHECKS + (CHROMIUM_CHECKS if engine == "chromium" else [])
            for check in [c for c in checks if not only or c.__name__ in only.split(",")]:
                try:
                    check(page)
                    passed += 1
                    print(f"ok      {engine}: {check.__name__}")
                except Exception:
                    failed += 1
                    print(f"FAILED  {engine}: {check.__name__}")
                    traceback.print_exc()
        finally:
            driver.quit()
        print(f"{engine}: {time.monotonic() - began:.1f} s")
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
