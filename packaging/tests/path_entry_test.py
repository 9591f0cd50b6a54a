#!/usr/bin/env python3
"""path-entry.exe under Wine, on the registry of the WINEPREFIX of the
environment: each row sets the PATH value (its type and its exact UTF-16
data, NULs included), runs path-entry, and checks its exit status, what it
said on standard error and the value it left. The values as they were are
put back at the end.

Usage: path_entry_test.py [--wine WINE] PATH_ENTRY_EXE
Without WINE it is skipped: status 77, the reason on standard output.
"""
import argparse
import os
import re
import subprocess
import sys
import tempfile
import unittest

ARGS = None
USER = r"HKEY_CURRENT_USER\Environment"
MACHINE = r"HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Session Manager\Environment"
SZ, EXPAND_SZ, DWORD = 1, 2, 4
FOLDER = r"C:\Users\Иван\AppData\Local\Programs\egn-check"
LIMIT = 32767


def wine(*args, cwd=None):
    done = subprocess.run([ARGS.wine, *args], capture_output=True, timeout=120, cwd=cwd)
    return done.returncode, done.stdout, done.stderr


def set_value(key, value):
    """Sets the value Path of `key` to (type, data) or deletes it (None),
    through a .reg file of regedit's own (UTF-16: the data byte for byte)."""
    data = "-" if value is None else "hex({:x}):{}".format(
        value[0], ",".join(f"{b:02x}" for b in
                           (value[1].to_bytes(4, "little") if value[0] == DWORD
                            else value[1].encode("utf-16-le") + b"\0\0")))
    text = f"Windows Registry Editor Version 5.00\r\n\r\n[{key}]\r\n\"Path\"={data}\r\n"
    with tempfile.TemporaryDirectory() as work:
        with open(os.path.join(work, "value.reg"), "wb") as f:
            f.write(b"\xff\xfe" + text.encode("utf-16-le"))
        status, _, err = wine("regedit", "/S", "value.reg", cwd=work)
    assert status == 0, err


def value_of(key):
    """The value Path of `key` as (type, data), or None: read from regedit's
    export, which writes an expandable string's data byte for byte."""
    with tempfile.TemporaryDirectory() as work:
        status, _, err = wine("reg", "export", key, "export.reg", "/y", cwd=work)
        assert status == 0, err
        with open(os.path.join(work, "export.reg"), "rb") as f:
            text = f.read().decode("utf-16").replace("\\\r\n  ", "")
    found = re.search(r'^"Path"=(.*)$', text, re.MULTILINE | re.IGNORECASE)
    if not found:
        return None
    data = found.group(1).strip()
    if data.startswith('"'):  # a plain string has no NUL to lose
        return SZ, re.sub(r"\\(.)", r"\1", data[1:-1])
    kind, _, hexes = data.partition(":")
    raw = bytes.fromhex(hexes.replace(",", ""))
    if kind == "dword":
        return DWORD, int(hexes, 16)
    return int(kind[4:-1], 16), raw.decode("utf-16-le").rstrip("\0")


def nul(visible, hidden):
    return visible + "\0" + hidden


def long_path(length):
    """A PATH of `length` characters: entries of 99 and one of the rest."""
    path = ""
    while len(path) + 100 < length:
        path += "C:\\" + "x" * 96 + ";"
    return path + "C:\\" + "y" * (length - len(path) - 3)


SYSTEM = r"%SystemRoot%\system32;%SystemRoot%"
SAID = {
    "separator": 'path-entry: the folder "C:\\Tools;Old\\egn-check" holds \';\', which separates '
                 "the entries of the PATH\r\n",
    "root": 'path-entry: the folder "C:\\" is the root of a drive or a share\r\n',
    "relative": 'path-entry: the folder "egn-check" is not a full path\r\n',
    "quote": "path-entry: the PATH has a quote that is never closed: a folder added after it "
             "would be part of the entry it opens\r\n",
    "long": "path-entry: the PATH would be longer than 32767 characters, which no environment "
            "can hold\r\n",
    "type": "path-entry: the PATH in HKEY_CURRENT_USER\\Environment is not a string (type 4)\r\n",
    "usage": "path-entry: usage: path-entry add|remove|has user|machine FOLDER, path-entry remove "
             "user|machine FOLDER made, or path-entry check FOLDER\r\n",
    "quoted": 'path-entry: the PATH has a quote that is never closed before the folder "'
              + FOLDER + '": Windows reads it as part of the entry the quote opens, and it is '
              "left as it is\r\n",
}

# (what, arguments, the value before, exit status, said, the value after);
# "same": the value is left as it was. Every row runs in the user's scope
# unless its arguments name the machine's.
ROWS = [
    ("added at the end, longer than the installer's strings, its type kept",
     ["add", "user", FOLDER], (EXPAND_SZ, SYSTEM + ";" + long_path(2000)), 0, "",
     (EXPAND_SZ, SYSTEM + ";" + long_path(2000) + ";" + FOLDER)),
    ("added to the machine's PATH, a plain string kept plain",
     ["add", "machine", FOLDER], (SZ, r"C:\Windows"), 0, "", (SZ, "C:\\Windows;" + FOLDER)),
    ("no PATH yet: made, and said so", ["add", "user", FOLDER], None, 8, "", (EXPAND_SZ, FOLDER)),
    ("its own entry removed, the others as they were", ["remove", "user", FOLDER],
     (EXPAND_SZ, SYSTEM + ";;" + FOLDER + r";C:\Tools"), 0, "",
     (EXPAND_SZ, SYSTEM + r";;C:\Tools")),
    ("the last entry removed: the value stays, empty, as it was before",
     ["remove", "user", FOLDER], (EXPAND_SZ, FOLDER), 0, "", (EXPAND_SZ, "")),
    ("the last entry removed from the value add made: no value left",
     ["remove", "user", FOLDER, "made"], (EXPAND_SZ, FOLDER), 0, "", None),
    ("a quote typed before the entry and never closed: the entry stays",
     ["remove", "user", FOLDER], (EXPAND_SZ, '"C:\\Tools;' + FOLDER), 6, SAID["quoted"], "same"),
    ("has: only inside a quote never closed", ["has", "user", FOLDER],
     (EXPAND_SZ, 'C:\\A;"C:\\Tools;' + FOLDER), 6, SAID["quoted"], "same"),
    ("added before a NUL, where Windows reads it; what follows kept",
     ["add", "user", FOLDER], (EXPAND_SZ, nul(r"C:\A", r"C:\B")), 0, "",
     (EXPAND_SZ, nul("C:\\A;" + FOLDER, r"C:\B"))),
    ("one character too long", ["add", "user", FOLDER],
     (EXPAND_SZ, long_path(LIMIT - len(FOLDER))), 7, SAID["long"], "same"),
    ("a quote never closed", ["add", "user", FOLDER], (EXPAND_SZ, 'C:\\Tools;"C:\\Old'), 6,
     SAID["quote"], "same"),
    ("a folder with ';'", ["add", "user", r"C:\Tools;Old\egn-check"], (EXPAND_SZ, r"C:\Windows"),
     3, SAID["separator"], "same"),
    ("a drive's root, and the user's own C:\\ stays", ["remove", "user", "C:\\"],
     (EXPAND_SZ, "C:\\Windows;C:\\"), 4, SAID["root"], "same"),
    ("not a string", ["add", "user", FOLDER], (DWORD, 5), 2, SAID["type"], "same"),
    ("check: a folder that can be an entry", ["check", FOLDER], (EXPAND_SZ, SYSTEM), 0, "",
     "same"),
    ("check: a folder with ';'", ["check", r"C:\Tools;Old\egn-check"], (EXPAND_SZ, SYSTEM), 3,
     SAID["separator"], "same"),
    ("check: a relative folder", ["check", "egn-check"], (EXPAND_SZ, SYSTEM), 5,
     SAID["relative"], "same"),
    # A drive's root in disguise is judged as Windows resolves it.
    *((f"check: {folder}, the root as Windows resolves it", ["check", folder],
       (EXPAND_SZ, SYSTEM), 4, f'path-entry: the folder "{folder}" is the root of a drive or a '
       "share\r\n", "same") for folder in ("C:\\x\\..", "C:\\.", "C:\\ ", "C:\\x\\..\\.\\", "c:/x/../")),
    ("check: a folder written with a trailing dot", ["check", "C:\\egn."], (EXPAND_SZ, SYSTEM), 0,
     "", "same"),
    ("has: the folder is an entry, however written", ["has", "user", FOLDER],
     (EXPAND_SZ, SYSTEM + ";" + FOLDER.replace("C:", "c:").replace("AppData", "APPDATA") + "\\;C:\\Tools"), 0, "", "same"),
    ("has: the user removed it", ["has", "user", FOLDER], (EXPAND_SZ, SYSTEM), 1, "", "same"),
    ("has: only inside a quoted entry", ["has", "user", FOLDER],
     (EXPAND_SZ, '"C:\\Old;' + FOLDER + '"'), 1, "", "same"),
    ("has: no PATH at all", ["has", "user", FOLDER], None, 1, "", "same"),
    ("a wrong command line", ["add", "everyone", FOLDER], (EXPAND_SZ, SYSTEM), 2, SAID["usage"],
     "same"),
]


class PathEntry(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.saved = {key: value_of(key) for key in (USER, MACHINE)}

    @classmethod
    def tearDownClass(cls):
        for key, value in cls.saved.items():
            set_value(key, value)

    def test_rows(self):
        for what, arguments, before, status, said, after in ROWS:
            with self.subTest(what):
                key = MACHINE if "machine" in arguments else USER
                set_value(key, before)
                got_status, _, err = wine(ARGS.path_entry, *arguments)
                self.assertEqual((got_status, err.decode("utf-8")), (status, said))
                self.assertEqual(value_of(key), before if after == "same" else after)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine", default="")
    parser.add_argument("path_entry")
    ARGS, rest = parser.parse_known_args()
    # Decided before unittest runs, which would count a skipped class as passed.
    if not ARGS.wine:
        print("skipped: no Wine to run path-entry.exe")
        sys.exit(77)
    os.environ.setdefault("WINEDEBUG", "-all")
    unittest.main(argv=[sys.argv[0], *rest])


if __name__ == "__main__":
    main()
