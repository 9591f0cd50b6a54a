#!/usr/bin/python3
"""What the page must do in every browser engine, in one table.

The window's facts come from the description as the runtime reads it
(shared/MainForm.model) and what users see from shared/what_users_see.tsv,
both read by the Chromium test; nothing here copies a rectangle, a caption or
a result. The checks that more than one engine runs
read this module: the Selenium driver (engines.py) imports it, the Firefox
driver (firefox.js) reads it as JSON:

    expectations.py BUILD_DIR     prints the table as JSON

Where an engine behaves differently by its own nature, ENGINE_DIFFERENCES
names the difference and what each engine gives; the drivers check each
engine against its own column, so a change in any engine shows.
"""
import json
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(HERE))
import web_page_test as chromium  # noqa: E402  (reads the description; needs BUILD_DIR in argv)

CONTROLS = chromium.CONTROLS
TAB_ORDER = chromium.TAB_ORDER


def results(digits):
    """The results box after Изчисли on these digits: the program's own text
    (CR LF) and what the page's box holds (LF)."""
    text = chromium.results(digits)
    return {"text": text, "value": text.replace("\r\n", "\n"), "tenth": str(chromium.rule(digits))}


# The example users see first, held to the rule above.
EXAMPLE_ROW = chromium.SEEN["calculation"][0]
EXAMPLE_DIGITS = [int(d) for d in EXAMPLE_ROW["typed"]]
EXAMPLE = {"digits": EXAMPLE_DIGITS, **results(EXAMPLE_DIGITS)}
assert EXAMPLE["text"] == chromium.expectations.results(
    chromium.SEEN, EXAMPLE_ROW["sum"], EXAMPLE_ROW["digit"]), EXAMPLE

EXPECTATIONS = {
    "window": chromium.WINDOW,
    "tolerance": 0.01,  # CSS px, as the Chromium test holds the places
    # Every control's place in the window's CSS pixels at zoom 1; None where
    # the description hides it (it must have no box at all).
    "places": {name: None if c.get("visible") == "no" else [v / 15 for v in c["rect"]]
               for name, c in CONTROLS.items()},
    "first_focus": TAB_ORDER[0],
    "tab_order": TAB_ORDER,
    "digit_boxes": chromium.SEEN["digit-boxes"],
    # the control array and index the program writes
    "results_box": [chromium.SEEN["results-box"].split("(")[0],
                    int(chromium.SEEN["results-box"].split("(")[1].rstrip(")"))],
    "tenth_box": chromium.SEEN["tenth-box"],
    "calculate": chromium.SEEN["calculate"],
    "clear": chromium.SEEN["clear"],
    "example": EXAMPLE,
    "empty": results([0] * 9),  # Изчисли on empty boxes: each counts as 0
    # Boxes the user cannot type into, from the description, with what is typed.
    "read_only": [name for name, c in CONTROLS.items()
                  if c["kind"] == "textbox" and c.get("read-only") == "yes" and c.get("visible") != "no"],
    "typed_into_read_only": "7a",
    "labels": [name for name, c in CONTROLS.items() if c["kind"] == "label"],
}

# What each engine does natively, measured on Debian 12 (chromium 156,
# firefox-esr 153, WebKitGTK 2.50): checked, not hidden.
ENGINE_DIFFERENCES = {
    # Tab on the last stop (List1): Chromium and Firefox hand the focus to the
    # browser's own chrome, so the page's focus falls back to its body;
    # WebKit wraps round to the first stop.
    "tab after the last stop": {"chromium": "BODY", "firefox": "BODY", "webkit": TAB_ORDER[0]},
    # The height of a caption's line box (Times New Roman's metrics, 12 pt,
    # line-height normal): Firefox adds the face's line gap.
    "line box of every caption, px": {"chromium": 17, "firefox": 19, "webkit": 17},
}
EXPECTATIONS["differences"] = ENGINE_DIFFERENCES

# What a frame holds of the window for a hand and an eye: null while the
# window is not drawn (not there yet, or there but hidden); once it is,
# whether a tap on the first digit box meets it and gives it the focus, and
# which of the nine digit boxes and the buttons it does not draw yet (the
# browser may paint while it is still reading the window's markup). The
# names come as an argument; where keep is true the focus is put back.
FRAME_NAMES = {"boxes": chromium.SEEN["digit-boxes"],
               "buttons": [name for name, c in CONTROLS.items()
                           if c["kind"] == "button" and c.get("visible") != "no"]}
FRAME = """function (names, keep) {
  const drawn = e => !!e && e.getClientRects().length > 0 &&
                     getComputedStyle(e).visibility === "visible";
  if (!drawn(document.querySelector("body > .window"))) return null;
  const missing = names.boxes.concat(names.buttons).filter(
      name => !drawn(document.getElementById(name)));
  const box = document.getElementById(names.boxes[0]);
  if (!drawn(box)) return {hit: false, focused: false, missing};
  const r = box.getBoundingClientRect();
  const hit = document.elementFromPoint(r.left + r.width / 2, r.top + r.height / 2) === box;
  const had = document.activeElement;
  box.focus();
  const focused = document.activeElement === box;
  if (keep && had && had !== box) had.focus(); else box.blur();
  return {hit, focused, missing};
}"""

# Scripts every driver runs in the page, so that all engines measure alike.
SCRIPTS = {
    # Resolves when the program runs the window.
    "ready": """
        return new Promise(done => (function wait() {
          window.egnRunning ? done(true) : setTimeout(wait, 10); })());""",
    # Each control's rectangle in the window's own CSS pixels, and the scale.
    "rects": """
        const width = arguments[0];
        const w = document.getElementById('MainForm').getBoundingClientRect();
        const scale = w.width / width;
        const out = {__scale: scale};
        for (const e of document.querySelectorAll('#MainForm > *')) {
          const r = e.getBoundingClientRect();
          out[e.id] = [(r.left - w.left) / scale, (r.top - w.top) / scale,
                       r.width / scale, r.height / scale];
        }
        return out;""",
    # The heights of the line boxes of each caption.
    "line_boxes": """
        const out = {};
        for (const name of arguments[0]) {
          const r = document.createRange();
          r.selectNodeContents(document.getElementById(name));
          out[name] = [...r.getClientRects()].map(b => b.height);
        }
        return out;""",
    "focused": "return document.activeElement.id || document.activeElement.tagName;",
    "value": "return document.getElementById(arguments[0]).value;",
    "text_property": "return Module.egnControlText(arguments[0], arguments[1]);",
    # From the load on: every error logged, uncaught, unhandled or refused by
    # the policy, kept in the page for errors() to read.
    "record_errors": """
        if (!window.__errors) {
          window.__errors = [];
          const keep = kind => (...a) => window.__errors.push(kind + ': ' + a.map(String).join(' '));
          const real = console.error.bind(console);
          console.error = (...a) => { keep('console.error')(...a); real(...a); };
          addEventListener('error', e => keep('uncaught')(e.message));
          addEventListener('unhandledrejection', e => keep('unhandled')(e.reason));
          document.addEventListener('securitypolicyviolation',
                                    e => keep('policy')(e.violatedDirective, e.blockedURI));
        }
        return true;""",
    "errors": "return window.__errors;",
    # An error logged on purpose, to show that the recorder hears one.
    "probe_error": "console.error('egn-engines-probe'); return true;",
    # Whether the first digit box is drawn in the page of this query yet (for
    # driving a page from its first moment on): there, and its window shown.
    "box_there": """
        const box = location.search === arguments[1] && document.getElementById(arguments[0]);
        return !!box && box.getClientRects().length > 0 &&
               getComputedStyle(box).visibility === "visible";""",
    # What the first frame that draws the window held (FRAME).
    "first_frame": "return window.__firstFrame || null;",
    # What a finger and an eye would meet, asked at once (where no script can
    # run before the page's own: the first moment the driver sees the box).
    "meet_now": "return (%s)(arguments[0], true);" % FRAME,
}
# Run before the page's own scripts (a preload script), in every frame until
# the window is drawn: that frame is the first to draw it.
FIRST_FRAME_PROBE = """
    requestAnimationFrame(function look() {
      const seen = (%s)(%s, false);
      if (!seen) return requestAnimationFrame(look);
      window.__firstFrame = seen;
    });""" % (FRAME, json.dumps(FRAME_NAMES))
PROBE = "egn-engines-probe"
EXPECTATIONS["scripts"] = SCRIPTS
EXPECTATIONS["first_frame_probe"] = FIRST_FRAME_PROBE
EXPECTATIONS["frame_names"] = FRAME_NAMES
# Typing at the first frame: walks a page, each engine, and how much slower
# Chromium's CPU runs (a low-end phone), the first frame then what every walk
# must find.
EXPECTATIONS["first_frame_walks"] = 3
EXPECTATIONS["first_frame_cpu_slowdown"] = 6
EXPECTATIONS["first_frame_meets"] = {"hit": True, "focused": True, "missing": []}
EXPECTATIONS["probe"] = PROBE

if __name__ == "__main__":
    json.dump(EXPECTATIONS, sys.stdout, ensure_ascii=False)
