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


def listen_for_announcements():
    """Every notification or alert of egn-check that appears, with its name
    as it was when it appeared."""
    heard = []

    def on_showing(event):
        try:
            source = event.source
            if (event.detail1 == 1 and source.getApplication().name == "egn-check"
                    and source.getRole() in ANNOUNCING_ROLES):
                heard.append((source.getRoleName(), source.name))
        except Exception as error:  # the object went away before it was read
            heard.append(("unreadable", str(error)))
    pyatspi.Registry.registerEventListener(on_showing, "object:state-changed:showing")
    return heard


def pump(seconds, until=lambda: False):
    """Iterates the GLib main context, where the events arrive."""
    context = GLib.MainContext.default()
    deadline = time.time() + seconds
    while time.time() < deadline and not until():
        while context.iteration(False):
            pass
        time.sleep(0.02)
    return until()


def text_of(node):
    # To the end in one call: a length read first may be out of date by the
    # time the text is asked for.
    return node.queryText().getText(0, -1)


def click(node):
    x, y, width, height = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    pyatspi.Registry.generateMouseEvent(x + width // 2, y + height // 2, pyatspi.MOUSE_B1C)


def focusable(app):
    return sorted((node.getRoleName(), node.name) for node in walk(app)
                  if node.getState().contains(pyatspi.STATE_FOCUSABLE))


def announcements_after_commands(app, heard):
    """Drives the window with real input and returns the failures."""
    nodes = {node.name: node for node in walk(app)
             if node.getRole() in (pyatspi.ROLE_TEXT, pyatspi.ROLE_PUSH_BUTTON)}
    results, focusable_before, failures = nodes[RESULTS_BOX], focusable(app), []
    for digit, name in enumerate(DIGIT_BOXES, start=1):
        click(nodes[name])
        if not pump(5, lambda: nodes[name].getState().contains(pyatspi.STATE_FOCUSED)):
            return [f"{name}: a click gave it no focus"]
        pyatspi.Registry.generateKeyboardEvent(0, str(digit), pyatspi.KEY_STRING)
        if not pump(5, lambda: text_of(nodes[name]) == str(digit)):
            return [f"{name}: typing {digit} gave {text_of(nodes[name])!r}"]

    def command(button, lines, what):
        pump(0.5)
        if heard:  # typing announced something
            failures.append(f"before {what}: {heard}")
        click(nodes[button])
        if not pump(10, lambda: all(line in text_of(results) for line in lines)
                    and (lines or text_of(results) == "")):
            failures.append(f"{what}: the results box holds {text_of(results)!r}")
        pump(1.5)  # long enough for a second announcement, had there been one
        print(f"{what}: {heard}")
        if not nodes[button].getState().contains(pyatspi.STATE_FOCUSED):
            failures.append(f"{what}: the focus left the button")
        if len(heard) != (1 if lines else 0):
            failures.append(f"{what}: {len(heard)} announcements: {heard}")
        elif lines and not all(line in heard[0][1] for line in lines):
            failures.append(f"{what}: announced {heard[0]!r}, not {lines}")
        heard.clear()

    command("Изчисли", ["Изчислена сума: 285", "Последно число: 0"], "Изчисли")
    command("Изчисти", [], "Изчисти")
    for node in walk(app):
        if node.getRole() in ANNOUNCING_ROLES and node.getState().contains(pyatspi.STATE_SHOWING):
            failures.append(f"after Изчисти a report still shows: {node.name!r}")
    # The same command again, on the emptied boxes: a new report, heard anew.
    command("Изчисли", ["Изчислена сума: 0", "Последно число: 0"], "Изчисли again")
    if focusable(app) != focusable_before:
        failures.append(f"the focusable controls changed: {focusable(app)}")
    return failures


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
    heard = listen_for_announcements()
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
