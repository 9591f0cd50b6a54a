#!/usr/bin/python3
"""The window's page in real headless Chromium, driven through WebDriver.

Usage: web_page_test.py BUILD_DIR (the web build, with window/egn-check.html
and window/tests/web/error_page.html). Reads what the page must show from the
window tests' shared table (../shared: the description as the runtime reads
it, and what users see). Prints "N passed, N failed" last; exits 1 on a failure.
"""
import base64
import hashlib
import io
import os
import random
import re
import shutil
import sys
import tempfile
import traceback

from PIL import Image
from selenium import webdriver
from selenium.webdriver.chrome.options import Options
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.wait import WebDriverWait

HERE = os.path.dirname(os.path.abspath(__file__))
BUILD = os.path.abspath(sys.argv[1])
PAGE = os.path.join(BUILD, "window", "egn-check.html")
ERROR_PAGE = os.path.join(BUILD, "window", "tests", "web", "error_page.html")
START_ERROR_PAGE = os.path.join(BUILD, "window", "tests", "web", "start_error_page.html")

# What the page says where the window cannot be shown.
NO_SCRIPT = ("Тази страница работи само с JavaScript и WebAssembly, а в този браузър скриптовете са"
             " изключени. Разрешете скриптовете и заредете страницата отново, отворете я в друг или"
             " по-нов браузър или използвайте програмата за Linux или Windows.")
NO_WEBASSEMBLY = ("Тази страница не може да работи: браузърът не поддържа WebAssembly или то е"
                  " изключено. Разрешете WebAssembly, отворете страницата в друг или по-нов браузър"
                  " или използвайте програмата за Linux или Windows.")
NOT_LOADED = ("Тази страница не може да работи: браузърът не успя да зареди програмата ѝ"
              " (WebAssembly). Заредете страницата отново; ако грешката остане, отворете я в друг"
              " или по-нов браузър или използвайте програмата за Linux или Windows.")
TOO_OLD = ("Тази страница не може да работи в този браузър: той е по-стар от версиите, за които е"
           " направена. Обновете браузъра или отворете страницата в друг или по-нов браузър, или"
           " използвайте програмата за Linux или Windows.")

# Ways the program can fail to start, each set up before the page's own
# script runs: the page's message, and what the console may hold (a part of
# the one error the page logs, or None for no error at all).
CANNOT_RUN = [
    ("no WebAssembly", "delete window.WebAssembly;", NO_WEBASSEMBLY, None),
    ("no DecompressionStream", "delete window.DecompressionStream;", TOO_OLD, None),
    ("unpacking fails",
     "const Real = DecompressionStream;"
     " window.DecompressionStream = function () { return new Real('gzip'); };",
     NOT_LOADED, "TypeError: WebAssembly compilation aborted"),  # Chromium's words for a stream that broke
    ("compiling rejected",
     "WebAssembly.instantiate = () => Promise.reject(new WebAssembly.CompileError('probe'));",
     NOT_LOADED, "CompileError: probe"),
    ("instantiate throws",
     "WebAssembly.instantiate = () => { throw new TypeError('probe'); };", NOT_LOADED,
     "TypeError: probe"),
    ("imports missing",
     "const real = WebAssembly.instantiate; WebAssembly.instantiate = b => real(b, {});",
     NOT_LOADED, "TypeError: WebAssembly.instantiate()"),
]

# The window's facts from the description as the runtime reads it, and what
# users see, as every backend's window tests read them.
sys.path.insert(0, os.path.join(HERE, "..", "shared"))
import window_expectations as expectations  # noqa: E402

sys.path.insert(0, os.path.join(HERE, "web_engines"))
import drivers  # noqa: E402  (the loopback host)

FORM, CONTROLS = expectations.read_model()
SEEN = expectations.read_what_users_see()
WEIGHTS = [int(CONTROLS[f"Label2({i})"]["caption"]) for i in range(9)]
# The page's stops: the last stop's Tab leaves the page for the browser.
TAB_ORDER = [SEEN["first-focus"]] + SEEN["tab-order"][:-1]
# What a screen reader reads, in order: the title, the task, each caption
# before the boxes it captions and each weight after its box, the commands,
# the tenth box and its "?", the list's caption and the list.
READING_ORDER = ["Label1(0)", "Text1(0)", "Label1(1)", "Text2(0)", "Label2(0)", "Text2(1)",
                 "Label2(1)", "Label1(2)", "Text2(2)", "Label2(2)", "Text2(3)", "Label2(3)",
                 "Label1(3)", "Text2(4)", "Label2(4)", "Text2(5)", "Label2(5)", "Label1(4)",
                 "Text2(6)", "Label2(6)", "Text2(7)", "Label2(7)", "Text2(8)", "Label2(8)",
                 "Command1(0)", "Command1(1)", "Text2(9)", "Label2(9)", "Label1(5)", "List1"]
# The window's client area in CSS pixels.
WINDOW = [v / 15 for v in FORM["client"]]
MARGIN = 8  # CSS px of page round the window on every side


def rule(digits):
    return sum(d * w for d, w in zip(digits, WEIGHTS)) % 11 % 10


def results(digits):
    """The results box after Изчисли on these digits."""
    return expectations.results(SEEN, sum(d * w for d, w in zip(digits, WEIGHTS)), rule(digits))


def contrast_ratio(a, b):
    """WCAG 2 contrast ratio of two (r, g, b) colours."""
    def luminance(rgb):
        linear = [(c / 255) / 12.92 if c / 255 <= 0.04045 else ((c / 255 + 0.055) / 1.055) ** 2.4
                  for c in rgb]
        return 0.2126 * linear[0] + 0.7152 * linear[1] + 0.0722 * linear[2]
    la, lb = luminance(a), luminance(b)
    return (max(la, lb) + 0.05) / (min(la, lb) + 0.05)


def colour(bgr):
    value = int(bgr, 16)
    return (value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF)


class Browser:
    def __init__(self, *arguments, load="normal"):
        options = Options()
        options.page_load_strategy = load  # "none": commands do not wait for `load`
        for a in ("--headless=new", "--no-sandbox", "--window-size=900,700",
                  "--disable-gpu", *arguments):
            options.add_argument(a)
        options.set_capability("goog:loggingPrefs", {"browser": "ALL", "performance": "ALL"})
        self.driver = webdriver.Chrome(options=options)

    def open(self, url):
        self.driver.get(url)
        self.driver.execute_async_script(
            "const done = arguments[0];"
            "(function wait() { window.egnRunning ? done() :"
            " setTimeout(wait, 10); })();")  # the program runs its window

    def js(self, script, *arguments):
        return self.driver.execute_script(script, *arguments)

    def element(self, name):
        return self.driver.find_element("id", name)

    def value(self, name):
        return self.js("return document.getElementById(arguments[0]).value", name)

    def text_property(self, array, index):
        return self.js("return Module.egnControlText(arguments[0], arguments[1])", array, index)

    def focused(self):
        return self.js("return document.activeElement.id")

    def keys(self, *keys):
        chain = ActionChains(self.driver)
        for k in keys:
            chain.send_keys(k)
        chain.perform()

    def paste(self, name, text):
        """Puts `text` on the clipboard by copying it from a scratch box, then
        pastes it with Ctrl+V into the control."""
        self.js("const t = document.createElement('textarea'); t.id = 'scratch';"
                "t.value = arguments[0]; document.body.appendChild(t); t.select();", text)
        ActionChains(self.driver).key_down(Keys.CONTROL).send_keys("c").key_up(Keys.CONTROL).perform()
        self.js("document.getElementById('scratch').remove()")
        self.element(name).click()
        ActionChains(self.driver).key_down(Keys.CONTROL).send_keys("v").key_up(Keys.CONTROL).perform()

    def rects(self):
        """Each control's rectangle in the window's own CSS pixels, and the
        window's scale."""
        return self.js("""
            const w = document.getElementById('MainForm').getBoundingClientRect();
            const scale = w.width / 493;
            const out = {__window: [w.left, w.top, w.width, w.height, scale]};
            for (const e of document.querySelectorAll('#MainForm > *')) {
              const r = e.getBoundingClientRect();
              out[e.id] = [(r.left - w.left) / scale, (r.top - w.top) / scale,
                           r.width / scale, r.height / scale];
            }
            return out;""")

    def screenshot(self):
        return Image.open(io.BytesIO(self.driver.get_screenshot_as_png())).convert("RGB")

    def caption_contrast(self):
        """For every label and button: its face (the commonest colour inside
        its edge) and the largest contrast of any of its pixels with it."""
        left, top, _, _, _ = self.rects()["__window"]
        ratio = self.js("return devicePixelRatio")
        image = self.screenshot()
        result = {}
        for name, c in CONTROLS.items():
            if c["kind"] not in ("label", "button"):
                continue
            x, y, w, h = [v / 15 for v in c["rect"]]
            box = (round((left + x + 3) * ratio), round((top + y + 3) * ratio),
                   round((left + x + w - 3) * ratio), round((top + y + h - 3) * ratio))
            counts = image.crop(box).getcolors(1 << 20)
            face = max(counts)[1]
            result[name] = (face, max(contrast_ratio(face, p) for _, p in counts))
        return result

    def live_regions(self):
        """Every live region in the accessibility tree, as a screen reader
        meets it: [live setting, atomic, the text inside]."""
        nodes = self.driver.execute_cdp_cmd("Accessibility.getFullAXTree", {})["nodes"]
        by_id = {n["nodeId"]: n for n in nodes}

        def text(node):
            if node["role"]["value"] == "StaticText":
                return node["name"]["value"]
            return "".join(text(by_id[c]) for c in node.get("childIds", []) if c in by_id)

        regions = []
        for n in nodes:
            props = {p["name"]: p["value"].get("value") for p in n.get("properties", [])}
            if not n.get("ignored") and props.get("live") not in (None, "off"):
                regions.append([props["live"], props.get("atomic"), text(n)])
        return regions

    def console_errors(self):
        return [e for e in self.driver.get_log("browser") if e["level"] == "SEVERE"]

    def policy_reports(self):
        """What the console says of the page's policy since it was last read:
        every refusal of the Content-Security-Policy or of Trusted Types
        (Chromium logs both as security messages)."""
        return [e["message"] for e in self.driver.get_log("browser")
                if e.get("source") == "security" or "Content Security Policy" in e["message"]
                or "Trusted" in e["message"]]

    def requests(self):
        import json
        urls = []
        for entry in self.driver.get_log("performance"):
            message = json.loads(entry["message"])["message"]
            if message["method"] == "Network.requestWillBeSent":
                urls.append(message["params"]["request"]["url"])
        return urls

    def quit(self):
        self.driver.quit()


class Checks:
    def __init__(self, browser, url):
        self.b, self.url = browser, url

    def calculate(self, digits):
        for i in range(9):
            self.b.js("document.getElementById(arguments[0]).value = ''", f"Text2({i})")
        self.b.element("Command1(1)").click()
        for i, d in enumerate(digits):
            self.b.element(f"Text2({i})").send_keys(str(d))
        self.b.element("Command1(0)").click()

    # --- place, look and texts ------------------------------------------------

    def test_every_control_in_its_place(self):
        self.b.open(self.url)
        rects = self.b.rects()
        assert rects["__window"][4] == 1, rects["__window"]
        for name, c in CONTROLS.items():
            if c.get("visible") == "no":
                assert rects[name][2] == 0, name  # hidden: no box at all
                continue
            want = [v / 15 for v in c["rect"]]
            got = rects[name]
            assert all(abs(g - w) < 0.01 for g, w in zip(got, want)), (name, got, want)

    def test_window_centred_and_labels_coloured(self):
        self.b.open(self.url)
        left, top, width, height, _ = self.b.rects()["__window"]
        view = self.b.js("return [innerWidth, innerHeight]")
        assert abs(left - (view[0] - width) / 2) <= 0.5 and abs(top - (view[1] - height) / 2) <= 0.5
        ratio = self.b.js("return devicePixelRatio")
        image = self.b.screenshot()

        def pixel(x, y):
            return image.getpixel((round((left + x) * ratio), round((top + y) * ratio)))

        assert pixel(2, 30) == colour(FORM["back-color"]), pixel(2, 30)  # the window's own face
        for name, c in CONTROLS.items():
            if c["kind"] in ("label", "button") and "back-color" in c:
                x, y, w, h = [v / 15 for v in c["rect"]]
                # a corner inside the face, clear of the caption and the edge
                assert pixel(x + 4, y + h - 4) == colour(c["back-color"]), (name, pixel(x + 4, y + h - 4))

    def test_texts_as_described(self):
        self.b.open(self.url)
        assert self.b.driver.title == FORM["caption"]
        assert self.b.js("return document.documentElement.lang") == "bg"
        for name, c in CONTROLS.items():
            if "caption" in c:
                assert self.b.element(name).get_attribute("textContent") == c["caption"], name
        options = self.b.js("return [...document.getElementById('List1').options].map(o => o.text)")
        assert options == CONTROLS["List1"]["items"]
        assert self.b.js("return document.getElementById('List1').selectedIndex") == -1
        task = self.b.text_property("Text1", 0)
        assert len(task) == 1166 and task.count("\r\n") == 8, len(task)
        assert self.b.value("Text1(0)") == task.replace("\r\n", "\n")
        assert self.b.js("return document.getElementById('Text1(1)').hidden")
        assert self.b.js("return document.cookie") == ""

    # --- the window the page carries ---------------------------------------------

    def held_back(self, act):
        """Loads the page with the program held back before it starts, runs
        `act` on the window the page carries, then lets the program start
        and waits until it runs. Returns the rectangles before the start."""
        hold = self.b.driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {
            "source": "const real = WebAssembly.instantiate;"
                      " const held = new Promise(r => { window.release = r; });"
                      " WebAssembly.instantiate = (...a) => held.then(() => real(...a));"})
        try:
            self.b.driver.get(self.url)
            carried = self.b.rects()
            assert self.b.js("return document.activeElement === document.body") is True
            act()
            assert self.b.js("return window.egnRunning") is False
            self.b.js("release()")
            WebDriverWait(self.b.driver, 10).until(
                lambda d: d.execute_script("return window.egnRunning"))
        finally:
            self.b.driver.execute_cdp_cmd("Page.removeScriptToEvaluateOnNewDocument",
                                          {"identifier": hold["identifier"]})
        assert self.b.rects() == carried  # nothing moved
        assert self.b.js("return document.querySelectorAll('.window').length") == 1
        return carried

    def test_the_carried_window_becomes_the_programs(self):
        # Untouched, the window the page carries becomes the program's unseen,
        # to the pixel, and the focus goes where the window opens it.
        shot = []
        self.held_back(lambda: shot.append(self.b.screenshot()))
        assert self.b.focused() == TAB_ORDER[0]
        self.b.js("document.activeElement.blur()")  # its focus ring aside, the same pixels
        assert shot[0].tobytes() == self.b.screenshot().tobytes()

    def test_what_is_done_before_the_program_runs_is_kept(self):
        # Live before the program runs: a tap focuses a box, a digit stays
        # in it, and a press of Изчисли is carried out once the program runs,
        # on what the boxes held then; what is typed after the press stays,
        # with its focus and caret, in the very same element.
        def act():
            self.b.js("window.carriedBox = document.getElementById('Text2(1)')")
            ActionChains(self.b.driver).move_to_element(self.b.element("Text2(0)")).click() \
                .send_keys("5").perform()
            assert (self.b.value("Text2(0)"), self.b.focused()) == ("5", "Text2(0)")
            self.b.element("Command1(0)").click()
            self.b.element("Text2(1)").click()
            self.b.keys("7", Keys.ARROW_LEFT)
        self.held_back(act)
        assert self.b.js("return document.getElementById('Text2(1)') === window.carriedBox")
        assert self.b.focused() == "Text2(1)"
        assert self.b.js("return document.activeElement.selectionStart") == 0
        assert [self.b.value("Text2(0)"), self.b.value("Text2(1)")] == ["5", "7"]
        assert self.b.text_property("Text1", 0) == results([5])
        assert self.b.text_property("Text2", 1) == "7"
        self.b.element("Command1(0)").click()
        assert self.b.text_property("Text1", 0) == results([5, 7])

    def test_a_clear_before_the_program_runs_empties_what_was_typed_before_it(self):
        # Изчисти pressed before the program runs empties the boxes once it
        # runs, as it would have at once; a digit typed after the press stays.
        def act():
            for name, digit in (("Text2(0)", "5"), ("Text2(1)", "6"), ("Command1(1)", None),
                                ("Text2(2)", "7")):
                self.b.element(name).click()
                if digit:
                    self.b.keys(digit)
        self.held_back(act)
        assert [self.b.value(f"Text2({i})") for i in range(3)] == ["", "", "7"]
        assert self.b.text_property("Text1", 0) == ""

    # --- typing -----------------------------------------------------------------

    def test_one_character_typed_or_pasted(self):
        self.b.open(self.url)
        self.b.element("Text2(0)").send_keys("12")
        assert self.b.value("Text2(0)") == "1"
        self.b.paste("Text2(1)", "34")
        assert self.b.value("Text2(1)") == "3"
        self.b.element("Text2(2)").click()
        self.b.driver.execute_cdp_cmd("Input.insertText", {"text": "😀"})
        assert self.b.value("Text2(2)") == ""
        self.b.paste("Text2(3)", "😀")
        assert self.b.value("Text2(3)") == "" and self.b.text_property("Text2", 3) == ""
        self.b.element("Text2(4)").send_keys("x")  # any one character goes in; it counts as 0
        assert self.b.text_property("Text2", 4) == "x"

    def test_digit_keyboard_on_the_one_digit_boxes(self):
        self.b.open(self.url)
        digit_boxes = [f"Text2({i})" for i in range(9)]
        # From the description: every editable single-line box of one character.
        asks = [name for name, c in CONTROLS.items() if c["kind"] == "textbox"
                and c.get("max-length") == "1" and c.get("read-only") != "yes"
                and c.get("multi-line") != "yes"]
        assert sorted(asks) == digit_boxes, asks
        for name, c in CONTROLS.items():
            if c["kind"] != "textbox":
                continue
            got = self.b.js("const e = document.getElementById(arguments[0]);"
                            "return [e.getAttribute('inputmode'), e.getAttribute('enterkeyhint')]",
                            name)
            want = ([None, None] if name not in digit_boxes else
                    ["numeric", "done" if name == "Text2(8)" else "next"])
            assert got == want, (name, got, want)

    def test_read_only_boxes_refuse_the_user(self):
        self.b.open(self.url)
        task = self.b.text_property("Text1", 0)
        self.b.element("Text1(0)").send_keys("abc", Keys.DELETE, Keys.BACKSPACE)
        self.b.paste("Text1(0)", "12")
        self.b.element("Text2(9)").send_keys("7")
        self.b.paste("Text2(9)", "7")
        assert self.b.text_property("Text1", 0) == task and self.b.value("Text2(9)") == ""
        self.b.element("Command1(0)").click()  # the program's writes go in
        assert self.b.value("Text2(9)") == "0"
        # the task text scrolls to its last line
        self.b.element("Command1(1)").click()
        self.b.open(self.url)
        end = self.b.js("const t = document.getElementById('Text1(0)');"
                        "t.scrollTop = t.scrollHeight; return [t.scrollTop + t.clientHeight, t.scrollHeight]")
        assert end[0] == end[1] and end[1] > 170, end

    # --- the commands -------------------------------------------------------------

    def test_the_example_and_random_numbers(self):
        self.b.open(self.url)
        # Every calculation that users see, typed as a user types it.
        for c in SEEN["calculation"]:
            self.b.element("Command1(1)").click()
            for i, typed in enumerate(c["typed"]):
                self.b.element(f"Text2({i})").send_keys(typed)
            self.b.element("Command1(0)").click()
            text = expectations.results(SEEN, c["sum"], c["digit"])
            assert self.b.text_property("Text1", 0) == text, c
            assert self.b.value("Text1(0)") == text.replace("\r\n", "\n"), c
            assert self.b.value("Text2(9)") == str(c["digit"]), c
        draw = random.Random(20261208)
        for _ in range(12):
            digits = [draw.randrange(10) for _ in range(9)]
            self.calculate(digits)
            assert self.b.text_property("Text1", 0) == results(digits), digits
            assert self.b.value("Text2(9)") == str(rule(digits))
        self.b.element("Command1(1)").click()
        assert all(self.b.value(f"Text2({i})") == "" for i in range(10))
        assert self.b.value("Text1(0)") == "" and self.b.text_property("Text1", 0) == ""

    # --- the keyboard ---------------------------------------------------------------

    def test_tab_order_both_ways_and_first_focus(self):
        self.b.open(self.url)
        assert self.b.focused() == "Text1(0)"
        walk = [self.b.focused()]
        for _ in TAB_ORDER[1:]:
            self.b.keys(Keys.TAB)
            walk.append(self.b.focused())
        assert walk == TAB_ORDER, walk
        back = [self.b.focused()]
        for _ in TAB_ORDER[1:]:
            ActionChains(self.b.driver).key_down(Keys.SHIFT).send_keys(Keys.TAB).key_up(Keys.SHIFT).perform()
            back.append(self.b.focused())
        assert back == TAB_ORDER[::-1], back

    def test_enter_esc_and_space(self):
        self.b.open(self.url)
        task = self.b.text_property("Text1", 0)
        self.b.element("Text2(0)").send_keys("5", Keys.ENTER, Keys.ESCAPE)
        self.b.element("List1").send_keys(Keys.ENTER, Keys.ESCAPE)
        assert self.b.text_property("Text1", 0) == task  # no button was pressed
        self.b.element("List1").send_keys(Keys.ARROW_DOWN)
        assert self.b.js("return document.getElementById('List1').selectedIndex") == 0
        self.b.js("document.getElementById('Command1(0)').focus()")
        self.b.keys(Keys.SPACE)
        assert self.b.text_property("Text1", 0) == results([5])
        self.b.js("document.getElementById('Command1(1)').focus()")
        self.b.keys(Keys.ENTER)
        assert self.b.text_property("Text1", 0) == "" and self.b.value("Text2(0)") == ""
        self.b.js("document.getElementById('Command1(0)').focus()")
        self.b.keys(Keys.ENTER)
        assert self.b.value("Text2(9)") == "0"

    # --- the run-time error ------------------------------------------------------------

    def test_error_dialog_and_the_window_goes_on(self):
        # Every listener added and removed in the page, to hold the dialog to
        # taking its own with it.
        counting = self.b.driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {
            "source": """
                window.listenerCalls = [];
                for (const call of ['addEventListener', 'removeEventListener']) {
                  const real = EventTarget.prototype[call];
                  EventTarget.prototype[call] = function (type, f, options) {
                    listenerCalls.push([call, this, type, f]);
                    return real.call(this, type, f, options);
                  };
                }"""})["identifier"]
        try:
            self.b.driver.get_log("browser")
            self.b.open(self.url.replace(PAGE, ERROR_PAGE))
        finally:
            self.b.driver.execute_cdp_cmd("Page.removeScriptToEvaluateOnNewDocument",
                                          {"identifier": counting})
        task = self.b.text_property("Text1", 0)
        for i, d in enumerate(SEEN["calculation"][0]["typed"]):
            self.b.element(f"Text2({i})").send_keys(d)
        # Closed by OK (Enter on it) and by Esc, each twice.
        for round, key in enumerate([Keys.ENTER, Keys.ESCAPE, Keys.ENTER, Keys.ESCAPE]):
            self.b.element("Command1(0)").click()
            dialog = self.b.js("const d = document.querySelector('dialog');"
                               "return d && [d.open, d.className,"
                               " [...d.children].map(e => e.className),"
                               " d.querySelector('.message-text').textContent,"
                               " document.activeElement.textContent]")
            assert dialog == [True, "message", ["message-title", "message-text", "message-ok"],
                              SEEN["run-time-error"],
                              "OK"], (round, dialog)
            # None of the window's own styles reaches it: the text box's border.
            border = self.b.js("return getComputedStyle("
                               "document.querySelector('.message-text')).borderTopStyle")
            assert border == "none", (round, border)
            self.b.keys(key)  # the dialog's close event comes as a task of its own
            WebDriverWait(self.b.driver, 5).until(
                lambda d: d.execute_script("return document.querySelector('dialog') === null"))
            assert self.b.focused() == "Command1(0)", round
            # Whatever the dialog listened to, it listens to no longer.
            left = self.b.js("""
                const inDialog = t => t instanceof Element && t.closest('dialog.message') !== null;
                const live = new Map();
                let added = 0;
                for (const [call, target, type, f] of listenerCalls) {
                  if (!inDialog(target)) continue;
                  if (call === 'addEventListener') { live.set(f, type); ++added; }
                  else live.delete(f);
                }
                return [added, live.size];""")
            assert left == [2 * (round + 1), 0], (round, left)
        assert self.b.text_property("Text1", 0) == task  # nothing was written
        self.b.element("Command1(1)").click()
        assert self.b.text_property("Text1", 0) == ""
        # The dialog, built by the program, needed nothing the policy refuses.
        reports = self.b.policy_reports()
        assert reports == [], reports

    # --- screen readers ------------------------------------------------------------------

    def test_accessible_names(self):
        self.b.open(self.url)
        nodes = self.b.driver.execute_cdp_cmd("Accessibility.getFullAXTree", {})["nodes"]
        names = {}
        for n in nodes:
            if not n.get("ignored") and n.get("name", {}).get("value"):
                names.setdefault(n["role"]["value"], set()).add(n["name"]["value"])
        for name in TAB_ORDER:
            assert CONTROLS[name]["accessible-name"] in set().union(*names.values()), name
        assert {"Изчисли", "Изчисти"} <= names["button"], names.get("button")
        captions = {c["caption"] for c in CONTROLS.values() if c["kind"] == "label"}
        assert captions <= names["StaticText"], captions - names["StaticText"]
        assert CONTROLS["Text2(0)"]["accessible-name"] in names["textbox"]
        assert CONTROLS["List1"]["accessible-name"] in names["listbox"]

    def ax_reading(self):
        """The window's controls as a screen reader meets them in Chromium's
        accessibility tree (depth first), by their ids; and each one's
        accessible description."""
        nodes = self.b.driver.execute_cdp_cmd("Accessibility.getFullAXTree", {})["nodes"]
        by_id = {n["nodeId"]: n for n in nodes}
        order, described = [], {}

        def walk(node):
            if not node.get("ignored") and "backendDOMNodeId" in node:
                dom = self.b.driver.execute_cdp_cmd(
                    "DOM.describeNode", {"backendNodeId": node["backendDOMNodeId"]})["node"]
                attributes = dict(zip(dom.get("attributes", [])[::2],
                                      dom.get("attributes", [])[1::2]))
                if attributes.get("id") in CONTROLS:
                    order.append(attributes["id"])
                    described[attributes["id"]] = node.get("description", {}).get("value")
                    return
            for child in node.get("childIds", []):
                if child in by_id:
                    walk(by_id[child])

        walk(nodes[0])
        return order, described

    def test_reading_order_follows_the_window(self):
        # Captions before the boxes they caption, each weight after its box,
        # the title first; Tab keeps the tab order (test_tab_order_...).
        self.b.open(self.url)
        order, _ = self.ax_reading()
        assert order == READING_ORDER, order

    def test_weights_describe_their_boxes(self):
        # Each weight describes the box above it; a box's own description
        # wins over the label under it ("?" under the tenth box).
        self.b.open(self.url)
        _, described = self.ax_reading()
        want = {f"Text2({i})": CONTROLS[f"Label2({i})"]["caption"] for i in range(9)}
        want |= {name: c.get("accessible-description") for name, c in CONTROLS.items()
                 if name not in want and c.get("visible") != "no"}
        assert described == want, {n: (described.get(n), w) for n, w in want.items()
                                   if described.get(n) != w}
        ties = self.b.js("return [...document.querySelectorAll('[aria-describedby]')]"
                         ".map(e => [e.id, e.getAttribute('aria-describedby')])")
        assert ties == [[f"Text2({i})", f"Label2({i})"] for i in range(9)], ties

    def test_results_announced_politely(self):
        self.b.open(self.url)
        result = results(range(1, 10)).replace("\r\n", "\n")
        steps = [("opened", lambda: None, ""),  # the task text is no news
                 ("calculated", lambda: self.calculate(range(1, 10)), result),
                 ("again", lambda: self.b.element("Command1(0)").click(), result),
                 ("cleared", lambda: self.b.element("Command1(1)").click(), ""),
                 ("typed", lambda: self.b.element("Text2(0)").send_keys("1"), ""),
                 ("one digit", lambda: self.b.element("Command1(0)").click(),
                  results([1]).replace("\r\n", "\n"))]
        for step, act, heard in steps:
            act()
            assert self.b.live_regions() == [["polite", True, heard]], (step, self.b.live_regions())

    def test_landmark_named_by_the_heading(self):
        self.b.open(self.url)
        nodes = self.b.driver.execute_cdp_cmd("Accessibility.getFullAXTree", {})["nodes"]
        seen = {(n["role"]["value"], n.get("name", {}).get("value"),
                 tuple(p["value"].get("value") for p in n.get("properties", [])
                       if p["name"] == "level"))
                for n in nodes if n["role"]["value"] in ("main", "heading") and not n.get("ignored")}
        heading = CONTROLS["Label1(0)"]["caption"]
        assert seen == {("main", heading, ()), ("heading", heading, (1,))}, seen
        # the page's title stays the window's caption
        assert self.b.driver.title == FORM["caption"]

    # --- colour schemes ------------------------------------------------------------

    def test_readable_in_every_colour_scheme(self):
        for feature, value in (("prefers-color-scheme", "light"), ("prefers-color-scheme", "dark"),
                               ("forced-colors", "active")):
            self.b.driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {
                "features": [{"name": feature, "value": value}]})
            try:
                self.b.open(self.url)
                contrast = self.b.caption_contrast()
            finally:
                self.b.driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {"features": []})
            for name, (face, ratio) in contrast.items():
                assert ratio >= 4.5, (feature, name, face, ratio)
                if feature == "forced-colors":  # the system's colours, not the window's faces
                    assert face != colour(CONTROLS[name]["back-color"]), (name, face)

    # --- where the program cannot run -------------------------------------------------

    def test_a_message_where_the_program_cannot_run(self):
        for case, setup, message, logged in CANNOT_RUN:
            script = self.b.driver.execute_cdp_cmd(
                "Page.addScriptToEvaluateOnNewDocument", {"source": setup})["identifier"]
            try:
                self.b.driver.get_log("browser")
                self.b.driver.get(self.url)
                WebDriverWait(self.b.driver, 10).until(
                    lambda d: d.execute_script("return document.querySelector('.failure')"))
                # Only the message: nothing of the window, nothing half-built.
                shown = self.b.js(
                    "return [...document.body.children].filter(e => !['SCRIPT', 'NOSCRIPT']"
                    ".includes(e.tagName)).map(e => [e.tagName, e.className, e.role,"
                    " e.textContent, e.getBoundingClientRect().height > 0])")
                assert shown == [["P", "failure", "alert", message, True]], (case, shown)
                errors = [e["message"] for e in self.b.console_errors()]
                assert not any("Uncaught" in e for e in errors), (case, errors)
                if logged is None:
                    assert errors == [], (case, errors)
                else:
                    assert len(errors) == 1 and logged in errors[0], (case, errors)
            finally:
                self.b.driver.execute_cdp_cmd("Page.removeScriptToEvaluateOnNewDocument",
                                              {"identifier": script})

    def test_nothing_half_built_when_the_start_fails(self):
        self.b.driver.get_log("browser")
        self.b.driver.get(self.url.replace(PAGE, START_ERROR_PAGE))
        WebDriverWait(self.b.driver, 10).until(
            lambda d: d.execute_script("return document.querySelector('.failure')"))
        message = "egn-check: no control Command1 raises the event Click"
        shown = self.b.js(
            "return [...document.body.children].filter(e => !['SCRIPT', 'NOSCRIPT']"
            ".includes(e.tagName)).map(e => [e.tagName, e.className, e.role, e.textContent])")
        assert shown == [["P", "failure", "alert", message]], shown
        # The window had set the page's width for itself; the message has the device's.
        viewport = self.b.js("return document.querySelector('meta[name=viewport]').content")
        assert viewport == "width=device-width, initial-scale=1", viewport
        errors = [e["message"] for e in self.b.console_errors()]
        assert len(errors) == 1 and message in errors[0] and "Uncaught" not in errors[0], errors

    def test_a_message_without_script(self):
        self.b.driver.execute_cdp_cmd("Emulation.setScriptExecutionDisabled", {"value": True})
        try:
            self.b.driver.get(self.url)
            nodes = self.b.driver.execute_cdp_cmd("Accessibility.getFullAXTree", {})["nodes"]
            texts = [n["name"]["value"] for n in nodes if not n.get("ignored")
                     and n["role"]["value"] == "StaticText"]
            assert texts == [NO_SCRIPT], texts
            paragraph = self.b.driver.find_element("css selector", "noscript > p.failure")
            assert paragraph.rect["height"] > 0 and paragraph.rect["width"] > 0, paragraph.rect
        finally:
            self.b.driver.execute_cdp_cmd("Emulation.setScriptExecutionDisabled", {"value": False})
        self.b.open(self.url)  # and with script again, the window alone
        assert self.b.js("return document.querySelector('.failure')") is None

    # --- the page's making and its policy ------------------------------------------------------

    def test_policy_names_its_scripts_by_hash(self):
        for page in (PAGE, ERROR_PAGE, START_ERROR_PAGE):
            text = open(page, encoding="utf-8").read()
            found = re.findall(r'<meta http-equiv="Content-Security-Policy" content="([^"]*)">', text)
            assert len(found) == 1, (page, found)
            directives = {}
            for directive in found[0].split(";"):
                name, *values = directive.split()
                directives[name] = values
            assert directives["default-src"] == ["'none'"], (page, directives)
            assert directives["require-trusted-types-for"] == ["'script'"], (page, directives)
            assert directives["trusted-types"] == ["'none'"], (page, directives)
            # Every script the page runs, by the hash of its text, and WebAssembly.
            scripts = re.findall(r"<script\b[^>]*>(.*?)</script>", text, re.DOTALL)
            hashes = ["'sha256-" + base64.b64encode(hashlib.sha256(s.encode()).digest()).decode() + "'"
                      for s in scripts]
            assert len(scripts) == 3, (page, len(scripts))
            assert directives["script-src"] == hashes + ["'wasm-unsafe-eval'"], (page, directives)

    def test_policy_refuses_scripts_and_html_strings(self):
        self.b.open(self.url)
        self.b.driver.get_log("browser")
        refused = self.b.js("""
            window.violations = [];
            document.addEventListener('securitypolicyviolation',
                                      e => violations.push(e.violatedDirective));
            const image = document.createElement('img');
            image.src = 'https://egn-check.example/x.png';
            document.body.append(image);
            const out = [];
            try { document.createElement('div').innerHTML = '<b>x</b>'; out.push('html taken'); }
            catch (e) { out.push(e.name); }
            const s = document.createElement('script');
            try { s.textContent = 'window.ran = 1'; document.body.append(s); out.push('script taken'); }
            catch (e) { out.push(e.name); }
            return [...out, window.ran === undefined];""")
        assert refused == ["TypeError", "TypeError", True], refused
        # Each refusal reported, in the console too (so that the checks of
        # the console elsewhere would see one).
        reports = []
        WebDriverWait(self.b.driver, 5).until(
            lambda d: reports.extend(self.b.policy_reports()) or len(reports) >= 3)
        assert sorted(self.b.js("return violations")) == [
            "img-src", "require-trusted-types-for", "require-trusted-types-for"]
        said = sorted(r[r.index(" - Loading") + 3:] if " - Loading" in r else r[r.index("This"):]
                      for r in reports)  # without the page's address in front
        assert said == [
            "Loading the image 'https://egn-check.example/x.png' violates the following Content"
            " Security Policy directive: \"img-src data:\". The action has been blocked.",
            "This document requires 'TrustedHTML' assignment. The action has been blocked.",
            "This document requires 'TrustedScript' assignment. The action has been blocked."], said

    def test_the_page_alone_in_a_folder(self):
        # Nothing beside it: the module it runs is the one inside it.
        folder = tempfile.mkdtemp()
        try:
            alone = shutil.copy(PAGE, folder)
            self.b.driver.get_log("browser")
            self.b.open("file://" + alone)
            self.b.element("Text2(0)").send_keys("7")
            self.b.element("Command1(0)").click()
            assert self.b.text_property("Text1", 0) == results([7])
            assert self.b.console_errors() == [], self.b.console_errors()
        finally:
            shutil.rmtree(folder)

    # --- privacy -----------------------------------------------------------------------------

    def test_no_request_and_no_console_error(self):
        self.b.driver.get_log("performance")
        self.b.driver.get_log("browser")
        self.b.open(self.url)
        self.calculate(range(1, 10))
        # The policy refuses a connection the page might try.
        refused = self.b.driver.execute_async_script(
            "const done = arguments[arguments.length - 1];"
            "fetch(arguments[0]).then(() => done('sent'), e => done('refused'));", PROBE_URL)
        assert refused == "refused"
        requests = self.b.requests()
        assert requests == [self.url], requests
        # Nothing reported but the probe's own refusal: no violation by the page.
        errors = [e for e in self.b.console_errors() if "Content Security Policy" not in e["message"]
                  or PROBE_URL not in e["message"]]
        assert errors == [], errors
        assert PROBE_HITS == [], PROBE_HITS


PROBE_HITS = []


class Probe(drivers.Quiet):
    """The loopback server: serves the build folder, and counts any request
    for the probe path, which the page's policy must never let through."""

    def do_GET(self):
        if self.path.startswith("/probe"):
            PROBE_HITS.append(self.path)
        super().do_GET()


def main():
    server, origin = drivers.serve(BUILD, Probe)
    global PROBE_URL
    PROBE_URL = origin + "probe"
    http_url = origin + "window/egn-check.html"
    file_url = "file://" + PAGE

    names = [n for n in dir(Checks) if n.startswith("test_")]
    runs = [("file, zoom 1", [], file_url, names),
            ("http, zoom 1", [], http_url, ["test_no_request_and_no_console_error",
                                            "test_a_message_where_the_program_cannot_run",
                                            "test_the_example_and_random_numbers"]),
            ("file, pixel ratio 2", ["--force-device-scale-factor=2"], file_url,
             ["test_every_control_in_its_place", "test_window_centred_and_labels_coloured",
              "test_the_example_and_random_numbers"])]
    passed = failed = 0
    for label, arguments, url, tests in runs:
        browser = Browser(*arguments)
        try:
            checks = Checks(browser, url)
            for name in tests:
                try:
                    getattr(checks, name)()
                    passed += 1
                    print(f"ok      {label}: {name}")
                except Exception:
                    failed += 1
                    print(f"FAILED  {label}: {name}")
                    traceback.print_exc()
        finally:
            browser.quit()

    # A phone, upright and sideways: the browser's own scaling shows the
    # window's whole width, nothing sideways; upright again with the window's
    # face and its twins hidden from the browser, as on a phone, where the
    # face the page carries must stand in.
    for width, height, hidden in ((360, 640, False), (640, 360, False), (360, 640, True)):
        ok = phone(file_url, width, height, hidden)
        passed, failed = passed + ok, failed + (not ok)
    # A desktop browser zoomed, and a short viewport: the window keeps its
    # size and the page scrolls.
    for zoom, width, height in ((3, 300, 233), (4, 225, 175), (1, 640, 150)):
        ok = desktop_not_shrunk(file_url, zoom, width, height)
        passed, failed = passed + ok, failed + (not ok)
    server.shutdown()
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


def page_extent(browser):
    """The page's layout: the viewport's meta, the layout viewport's width,
    the scrollable width and height, the visual viewport's scale and width,
    and the window's rectangle on the page (not the screen)."""
    return browser.js("""
        const w = document.getElementById('MainForm').getBoundingClientRect();
        const page = document.scrollingElement;
        return [document.querySelector('meta[name=viewport]').content,
                document.documentElement.clientWidth, page.scrollWidth, page.scrollHeight,
                visualViewport.scale, visualViewport.width,
                [w.left + scrollX, w.top + scrollY, w.width, w.height]];""")


def phone(file_url, screen_width, screen_height, hidden):
    label = f"phone {screen_width} x {screen_height}" + (", the face hidden" if hidden else "")
    if hidden:
        os.environ["FONTCONFIG_FILE"] = os.path.join(HERE, "..", "shared", "hide_the_face.conf")
    browser = Browser()
    os.environ.pop("FONTCONFIG_FILE", None)
    try:
        browser.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
            "width": screen_width, "height": screen_height, "deviceScaleFactor": 3, "mobile": True})
        browser.driver.execute_cdp_cmd("Emulation.setTouchEmulationEnabled",
                                       {"enabled": True, "maxTouchPoints": 5})
        browser.open(file_url)
        assert browser.js("return matchMedia('(pointer: coarse)').matches") is True
        # The layout viewport is the window with its margins, and the browser
        # shows all of it across the screen: nothing to scroll sideways. The
        # page asks for no limit on zooming, so that pinching can enlarge it.
        meta, layout, scroll_width, _, scale, visible, window = page_extent(browser)
        page_width = WINDOW[0] + 2 * MARGIN
        assert meta == f"width={page_width:g}" and layout == page_width, (meta, layout)
        assert abs(scale - screen_width / page_width) < 0.001, (scale, screen_width / page_width)
        assert scroll_width == layout and visible == page_width, (scroll_width, visible)
        assert window[0] == MARGIN and window[2:] == WINDOW, window  # not scaled by the page
        # The phone's digit keyboard on the nine digit boxes.
        modes = browser.js("return [...Array(9).keys()].map(i =>"
                           " document.getElementById('Text2(' + i + ')').inputMode)")
        assert modes == ["numeric"] * 9, modes
        # Enter in a digit box and Esc press nothing, as on the desktop.
        browser.element("Text2(0)").send_keys("1", Keys.ENTER, Keys.ESCAPE)
        assert browser.value("Text2(9)") == "" and browser.text_property("Text1", 0) != "", label
        browser.element("Command1(0)").click()
        assert browser.text_property("Text1", 0) == results([1])
        # Every caption on one line within its width; every list item within the list.
        overflow = browser.driver.execute_async_script("""
            const done = arguments[arguments.length - 1];
            document.fonts.ready.then(() => {
              const out = [];
              for (const e of document.querySelectorAll('.label, .button')) {
                const r = document.createRange(); r.selectNodeContents(e);
                const lines = r.getClientRects(), box = e.getBoundingClientRect();
                const wide = r.getBoundingClientRect().width;
                if (lines.length !== 1 || wide > box.width) out.push(e.id);
              }
              const list = document.getElementById('List1');
              const ctx = document.createElement('canvas').getContext('2d');
              ctx.font = getComputedStyle(list).font;
              for (const o of list.options) if (ctx.measureText(o.text).width + 4 > list.clientWidth) out.push(o.text);
              const carried = [...document.fonts].filter(f => f.family.includes('EGN Check Serif'));
              done({out, carried: carried.map(f => f.status)});
            });""")
        assert overflow["out"] == [], overflow
        assert overflow["carried"] == (["loaded"] if hidden else ["unloaded"]), overflow
        print(f"ok      {label}: the window fits and works")
        return True
    except Exception:
        print(f"FAILED  {label}")
        traceback.print_exc()
        return False
    finally:
        browser.quit()


def desktop_not_shrunk(file_url, zoom, width, height):
    """A desktop browser at `zoom` (its CSS viewport width x height, each CSS
    pixel `zoom` device pixels, as browser zoom makes them): every control
    keeps its size in CSS pixels, the text its 12 pt, and the page scrolls to
    the rest of the window."""
    label = f"desktop {width} x {height} at zoom {zoom}"
    browser = Browser()
    try:
        browser.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
            "width": width, "height": height, "deviceScaleFactor": zoom, "mobile": False})
        browser.open(file_url)
        Checks(browser, file_url).test_every_control_in_its_place()
        sizes = browser.js("return [...document.querySelectorAll('.label, .button, .text')]"
                           ".map(e => getComputedStyle(e).fontSize)")
        assert set(sizes) == {"16px"}, sizes  # 12 pt
        _, layout, scroll_width, scroll_height, scale, _, window = page_extent(browser)
        assert scale == 1 and window[2:] == WINDOW, (scale, window)
        # Centred where the viewport is wider than the window and its margins.
        left = max(MARGIN, (layout - WINDOW[0]) // 2)
        assert window[0] == left and scroll_width == max(layout, left + WINDOW[0] + MARGIN), (
            window, scroll_width)
        assert scroll_height == WINDOW[1] + 2 * MARGIN, scroll_height
        # Scrolled to its far corner, the window's last pixels are in sight.
        end = browser.js("scrollTo(1e5, 1e5); const r = document.getElementById('MainForm')"
                         ".getBoundingClientRect(); const d = document.documentElement;"
                         " return [d.clientWidth - r.right, d.clientHeight - r.bottom]")
        assert end == [MARGIN if layout < WINDOW[0] + 2 * MARGIN else left, MARGIN], end
        print(f"ok      {label}: the window keeps its size and the page scrolls")
        return True
    except Exception:
        print(f"FAILED  {label}")
        traceback.print_exc()
        return False
    finally:
        browser.quit()


if __name__ == "__main__":
    sys.exit(main())
