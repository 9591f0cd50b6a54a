#!/usr/bin/env python3
"""Every test that cannot run on a machine without the tool it needs is one
that ctest lists as skipped, with the reason: never passed (unittest's own
skip exits with 0) and never failed (an exit inside a test is an error; a
script's exit status of its choosing needs CMake 3.29).

Each row runs a test's command as on a machine without the tool, and judges
the status and output as ctest does, by the test's own properties read from
BUILD (ctest --show-only=json-v1). The Windows build's tests, which a native
BUILD has not, are run as their CMake files give them and judged by the
SKIP_RETURN_CODE that egn_add_emulated_test gives each (cmake/EgnTesting.cmake).

Usage: skip_test.py SOURCE_DIR BUILD_DIR
"""
import json
import os
import re
import subprocess
import sys
import tempfile
import unittest

SOURCE = ""
BUILD = ""
PYTHON = sys.executable


def ctest_judges(properties, status, output):
    """What ctest lists for a test with these properties that ended so."""
    pattern = properties.get("SKIP_REGULAR_EXPRESSION")
    if pattern and any(re.search(p, output) for p in pattern):
        return "Skipped"
    if status == properties.get("SKIP_RETURN_CODE"):
        return "Skipped"
    return "Passed" if status == 0 else "Failed"


def tests_of_build():
    listed = subprocess.run(["ctest", "--test-dir", BUILD, "--show-only=json-v1"],
                            capture_output=True, text=True, check=True).stdout
    return {test["name"]: (test.get("command", []),
                           {p["name"]: p["value"] for p in test.get("properties", [])})
            for test in json.loads(listed)["tests"]}


def without_qemu(command):
    return [re.sub(r"^-DQEMU=.*", "-DQEMU=", part) for part in command]


class Skips(unittest.TestCase):
    # The test, how its command is changed to run as where the tool is
    # missing, and what it must say.
    NATIVE = [
        ("wine_probe_32bit_build", list, "skipped: no i686 mingw-w64 compiler (tools/deps.sh --windows)\n"),
        ("icons_are_the_same_on_other_processors", without_qemu,
         "skipped: qemu-x86_64 is not installed (Debian's qemu-user)\n"),
        ("face_is_the_same_on_other_processors", without_qemu,
         "skipped: qemu-x86_64 is not installed (Debian's qemu-user)\n"),
        ("windows_version_record", list,
         "skipped: windres is not installed (Debian's binutils-mingw-w64-x86-64)\n"),
        ("zip_libreoffice", list,
         "skipped: LibreOffice (soffice, of libreoffice-calc-nogui) is not installed\n"),
    ]

    def run_without_tools(self, command):
        # A PATH with nothing on it: no compiler, no Wine, no qemu. Python
        # by its own path: the one found on PATH may be a launcher that
        # needs the PATH.
        if os.path.basename(command[0]).startswith("python"):
            command = [PYTHON, *command[1:]]
        with tempfile.TemporaryDirectory() as empty:
            env = {**os.environ, "PATH": empty}
            done = subprocess.run(command, capture_output=True, text=True, env=env, timeout=60)
        return done.returncode, done.stdout + done.stderr

    def test_each_native_test_is_skipped_and_says_why(self):
        # The processors' tests are not in a sanitizer build, the packaging's
        # not without the window; the probe's always is.
        tests = tests_of_build()
        self.assertIn("wine_probe_32bit_build", tests)
        for name, change, said in self.NATIVE:
            if name not in tests:
                continue
            with self.subTest(name):
                command, properties = tests[name]
                status, output = self.run_without_tools(change(command))
                self.assertEqual((ctest_judges(properties, status, output), output),
                                 ("Skipped", said))

    def test_each_windows_test_without_wine_is_skipped_and_says_why(self):
        # As cli/ and packaging/ add them, where Wine was not found
        # (an empty --wine); skipped by their status 77.
        rows = [
            ([f"{SOURCE}/cli/tests/windows_program_test.py", "--objdump", "objdump", "--objcopy",
              "objcopy", "--wine=", "--only=Program", "egn-digit.exe", "egn-check.exe"],
             "skipped: no Wine to run egn-digit.exe\n"),
            ([f"{SOURCE}/packaging/tests/path_entry_test.py", "--wine=", "path-entry.exe"],
             "skipped: no Wine to run path-entry.exe\n"),
        ]
        for command, said in rows:
            with self.subTest(os.path.basename(command[0])):
                status, output = self.run_without_tools(["python3", *command])
                self.assertEqual((ctest_judges({"SKIP_RETURN_CODE": 77}, status, output), output),
                                 ("Skipped", said))

    def test_the_judgement_is_ctests(self):
        # The judge itself, so that a row cannot pass by a judge that says
        # "Skipped" to everything.
        rows = [
            ({}, 0, "skipped: x\n", "Passed"),
            ({}, 77, "", "Failed"),
            ({"SKIP_RETURN_CODE": 77}, 77, "", "Skipped"),
            ({"SKIP_RETURN_CODE": 77}, 1, "skipped: x\n", "Failed"),
            ({"SKIP_REGULAR_EXPRESSION": ["skipped: q"]}, 0, "a\nskipped: q\n", "Skipped"),
            ({"SKIP_REGULAR_EXPRESSION": ["skipped: q"]}, 0, "skipped: x\n", "Passed"),
        ]
        for properties, status, output, judged in rows:
            with self.subTest(properties=properties, status=status):
                self.assertEqual(ctest_judges(properties, status, output), judged)


if __name__ == "__main__":
    SOURCE = os.path.realpath(sys.argv.pop(1))
    BUILD = os.path.realpath(sys.argv.pop(1))
    unittest.main()
