#!/usr/bin/python3
"""Reads egn-check's window through AT-SPI, as a screen reader does, and checks
that every control that takes focus has its Bulgarian name and that the
captions are exposed as labels. Then it types the digits 1 to 9 with real key
presses, presses the buttons with real clicks, and checks what a screen reader
is told: after "Изчисли" exactly one notification appears, holding both result
lines; after "Изчисти" none; the focus stays on the button pressed.

Run inside a session bus with an X server and the accessibility bus up
(atspi_test.sh does that): atspi_names.py PROGRAM
"""
import os
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

EXPECTED = {
    # role, name
    ("text", "Условие на задачата и резултат"),
    ("text", "Година, първа цифра, тежест 2"),
    ("text", "Година, втора цифра, тежест 4"),
    ("text", "Месец, първа цифра, тежест 8"),
    ("text", "Месец, втора цифра, тежест 5"),
    ("text", "Ден, първа цифра, тежест 10"),
    ("text", "Ден, втора цифра, тежест 9"),
    ("text", "Номер, първа цифра, тежест 7"),
    ("text", "Номер, втора цифра, тежест 3"),
    ("text", "Номер, трета цифра, тежест 6"),
    ("text", "Контролна цифра, десета"),
    ("push button", "Изчисли"),
    ("push button", "Изчисти"),
    ("list", "Код окръг: области и кодове"),
}
LABELS = {"Проверка на ЕГН - последна цифра", "Година", "Месец", "Ден", "Номер", "Код окръг",
          "2", "4", "8", "5", "10", "9", "7", "3", "6", "?"}
DIGIT_BOXES = [
    "Година, първа цифра, тежест 2", "Година, втора цифра, тежест 4",
    "Месец, първа цифра, тежест 8", "Месец, втора цифра, тежест 5",
    "Ден, първа цифра, тежест 10", "Ден, втора цифра, тежест 9",
    "Номер, първа цифра, тежест 7", "Номер, втора цифра, тежест 3",
    "Номер, трета цифра, тежест 6",
]
RESULTS_BOX = "Условие на задачата и резултат"
# What appears to a screen reader on its own, wherever the focus is.
ANNOUNCING_ROLES = (pyatspi.ROLE_NOTIFICATION, pyatspi.ROLE_ALERT)
DESCRIPTIONS = {
    "Изчисли": "Изчислява контролната цифра от въведените девет цифри",
    "Изчисти": "Изтрива въведените цифри и резултата",
}


def find_application(name, program, seconds=60):
    deadline = time.time() + seconds
    while time.time() < deadline:
        if program.poll() is not None:
            print(f"{name} ended with {program.returncode} before it appeared")
            return None
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is not None and app.name == name and app.childCount > 0:
                return app
        time.sleep(0.2)
    return None


def walk(node):
    yield node
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from walk(child)


class Announcements:
    """Every notification or alert of egn-check that appears, with its name
    as it was when it appeared."""

    def __init__(self):
        self.heard = []
        pyatspi.Registry.registerEventListener(self.on_showing, "object:state-changed:showing")

    def on_showing(self, event):
        if event.detail1 != 1:
            return
        try:
            source = event.source
            if source.getApplication().name != "egn-check" or source.getRole() not in ANNOUNCING_ROLES:
                return
            self.heard.append((source.getRoleName(), source.name))
        except Exception as error:  # the object went away before it was read
            self.heard.append(("unreadable", str(error)))

    def take(self, seconds):
        """What appeared during the next `seconds`, iterating the GLib main
        context, where the events arrive."""
        pump(seconds)
        heard, self.heard = self.heard, []
        return heard


def pump(seconds, until=lambda: False):
    context = GLib.MainContext.default()
    deadline = time.time() + seconds
    while time.time() < deadline:
        while context.iteration(False):
            pass
        if until():
            return True
        time.sleep(0.02)
    return until()


def text_of(node):
    # To the end in one call: a length read first may be out of date by the
    # time the text is asked for.
    return node.queryText().getText(0, -1)


def click(node):
    x, y, width, height = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    pyatspi.Registry.generateMouseEvent(x + width // 2, y + height // 2, pyatspi.MOUSE_B1C)


def press_key(name):
    pyatspi.Registry.generateKeyboardEvent(0, name, pyatspi.KEY_STRING)


def announcements_after_commands(app, heard):
    """Drives the window with real input and returns the failures."""
    by_name = {}
    for node in walk(app):
        if node.getRole() in (pyatspi.ROLE_TEXT, pyatspi.ROLE_PUSH_BUTTON):
            by_name.setdefault(node.name, node)
    results, calculate, clear = by_name[RESULTS_BOX], by_name["Изчисли"], by_name["Изчисти"]
    focusable_before = focusable_names(app)
    failures = []
    for digit, name in enumerate(DIGIT_BOXES, start=1):
        box = by_name[name]
        click(box)
        if not pump(5, lambda: box.getState().contains(pyatspi.STATE_FOCUSED)):
            return [f"{name}: a click gave it no focus"]
        press_key(str(digit))
        if not pump(5, lambda: text_of(box) == str(digit)):
            return [f"{name}: typing {digit} gave {text_of(box)!r}"]
    if heard.take(0.5):
        failures.append("typing the digits announced something")

    def command(button, done, what):
        click(button)
        if not pump(10, lambda: done(text_of(results))):
            failures.append(f"{what}: the results box holds {text_of(results)!r}")
        # Long enough for a second announcement, had the command made one.
        announced = heard.take(1.5)
        print(f"{what}: {announced}")
        if not button.getState().contains(pyatspi.STATE_FOCUSED):
            failures.append(f"{what}: the focus left the button")
        return announced

    def expect_one(announced, lines, what):
        if len(announced) != 1:
            failures.append(f"{what}: {len(announced)} announcements, not one: {announced}")
        elif not all(line in announced[0][1] for line in lines):
            failures.append(f"{what}: announced {announced[0]!r}, not {lines}")

    first = ["Изчислена сума: 285", "Последно число: 0"]
    expect_one(command(calculate, lambda text: first[1] in text, "Изчисли"), first, "Изчисли")
    cleared = command(clear, lambda text: text == "", "Изчисти")
    if cleared:
        failures.append(f"Изчисти announced {cleared}")
    for node in walk(app):
        if node.getRole() in ANNOUNCING_ROLES and node.getState().contains(pyatspi.STATE_SHOWING):
            failures.append(f"after Изчисти a report still shows: {node.name!r}")
    # The same command again, on the emptied boxes: a new report, heard anew.
    again = ["Изчислена сума: 0", "Последно число: 0"]
    expect_one(command(calculate, lambda text: again[0] in text, "Изчисли again"), again,
               "Изчисли again")
    if focusable_names(app) != focusable_before:
        failures.append(f"the focusable controls changed: {focusable_names(app)}")
    return failures


def focusable_names(app):
    return sorted((node.getRoleName(), node.name) for node in walk(app)
                  if node.getState().contains(pyatspi.STATE_FOCUSABLE))


def main():
    # The registry must answer before the program starts: a program that finds
    # no accessibility bus at start-up never exposes itself later.
    deadline = time.time() + 30
    while True:
        try:
            pyatspi.Registry.getDesktop(0).childCount
            break
        except Exception:  # the bus is not up yet
            if time.time() > deadline:
                print("the accessibility registry did not come up")
                return 1
            time.sleep(0.2)
    # Listening before the program starts: it asks the registry at start-up
    # which events anyone listens to.
    heard = Announcements()
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
    program = subprocess.Popen([sys.argv[1]], env=env)
    try:
        app = find_application("egn-check", program)
        if app is None:
            print("egn-check did not appear on the accessibility bus")
            return 1
        seen = set()
        labels = set()
        descriptions = {}
        focusable = []
        for node in walk(app):
            role = node.getRoleName()
            states = node.getState()
            if role == "label":
                labels.add(node.name)
            if states.contains(pyatspi.STATE_FOCUSABLE) and states.contains(pyatspi.STATE_SHOWING):
                focusable.append((role, node.name))
                seen.add((role, node.name))
                descriptions[node.name] = node.description
        failures = []
        for missing in sorted(EXPECTED - seen):
            failures.append(f"missing {missing}")
        for role, name in focusable:
            if not name:
                failures.append(f"a focusable {role} has no name")
        for missing in sorted(LABELS - labels):
            failures.append(f"label {missing!r} not exposed as a label")
        for name, description in DESCRIPTIONS.items():
            if descriptions.get(name) != description:
                failures.append(f"{name}: description {descriptions.get(name)!r}")
        if not failures:
            failures += announcements_after_commands(app, heard)
        for failure in failures:
            print(failure)
        print(f"{len(focusable)} focusable controls, {len(labels)} labels read through AT-SPI")
        return 1 if failures else 0
    finally:
        program.terminate()
        program.wait(timeout=10)


if __name__ == "__main__":
    sys.exit(main())
