#!/usr/bin/python3
"""Reads egn-check's window through AT-SPI, as a screen reader does, and checks
that every control that takes focus has its Bulgarian name and that the
captions are exposed as labels.

Run inside a session bus with an X server and the accessibility bus up
(atspi_test.sh does that): atspi_names.py PROGRAM
"""
import os
import subprocess
import sys
import time

import pyatspi

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
        for failure in failures:
            print(failure)
        print(f"{len(focusable)} focusable controls, {len(labels)} labels read through AT-SPI")
        return 1 if failures else 0
    finally:
        program.terminate()
        program.wait(timeout=10)


if __name__ == "__main__":
    sys.exit(main())
