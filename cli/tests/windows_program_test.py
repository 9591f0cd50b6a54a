#!/usr/bin/env python3
"""The Windows programs as built: their PE headers and egn-digit.exe's
resources read from the files, and the real egn-digit.exe run under Wine on
pipes, with the output that Windows' readers get.

Usage: windows_program_test.py --objdump OBJDUMP --objcopy OBJCOPY
           [--wine WINE] [--only CLASS,...] EGN_DIGIT_EXE [OTHER_EXE...]
The headers of every program are checked; egn-digit.exe runs under WINE
(with the WINEPREFIX of the environment). --only runs just the named test
classes (Headers, Resources, Program). Program without WINE is skipped
(status 77, the reason on standard output): it runs nothing without Wine.
"""
import argparse
import os
import re
import subprocess
import sys
import tempfile
import unittest

from program_test import xlsx_of  # the workbooks that the Linux program's test writes

ARGS = None
TERMINAL_SERVER_AWARE = 0x8000


def wine_run(args, stdin=b""):
    done = subprocess.run([ARGS.wine, ARGS.programs[0], *args], input=stdin,
                          capture_output=True, timeout=120)
    return done.stdout, done.stderr, done.returncode


class Headers(unittest.TestCase):
    """Subsystem version 6.1 (Windows 7) and terminal-server aware, read
    from the PE header of every program."""

    def test_every_program_is_made_for_windows_7_and_terminal_servers(self):
        for program in ARGS.programs:
            with self.subTest(program=os.path.basename(program)):
                header = subprocess.run([ARGS.objdump, "-p", program], capture_output=True,
                                        text=True, check=True).stdout
                fields = dict(re.findall(r"^(\w+)\s+([0-9a-fA-F]+)", header, re.MULTILINE))
                found = (fields.get("MajorSubsystemVersion"), fields.get("MinorSubsystemVersion"))
                self.assertEqual(found, ("6", "1"),
                                 "a build folder configured before the flags were added keeps "
                                 "the old ones: configure it again with --fresh")
                self.assertTrue(int(fields["DllCharacteristics"], 16) & TERMINAL_SERVER_AWARE,
                                fields["DllCharacteristics"])


class Resources(unittest.TestCase):
    """egn-digit.exe's version record and manifest, read from its .rsrc."""

    @classmethod
    def setUpClass(cls):
        with tempfile.TemporaryDirectory() as work:
            section = os.path.join(work, "rsrc")
            subprocess.run([ARGS.objcopy, "-O", "binary", "--only-section=.rsrc",
                            ARGS.programs[0], section], check=True)
            with open(section, "rb") as f:
                cls.rsrc = f.read()

    def value(self, key):
        """A String of the version record: its key, padding, its value."""
        pattern = re.escape(key.encode("utf-16-le")) + rb"\0\0(?:\0\0)?((?:[^\0].|\0[^\0])*?)\0\0"
        found = re.search(pattern, self.rsrc, re.DOTALL)
        self.assertIsNotNone(found, key)
        return found.group(1).decode("utf-16-le")

    def test_version_record(self):
        cases = [
            ("FileDescription", "Контролна цифра на ЕГН от командния ред"),
            ("OriginalFilename", "egn-digit.exe"),
            ("InternalName", "egn-digit"),
            ("FileVersion", "1.00"),
            ("ProductVersion", "1.00"),
            ("ProductName", "egn-check"),
        ]
        for key, expected in cases:
            with self.subTest(key=key):
                self.assertEqual(self.value(key), expected)
        # VS_FIXEDFILEINFO: its signature, structure version 1.0, file and
        # product version 1.0.0.0.
        fixed = bytes.fromhex("bd04effe 00000100 00000100 00000000 00000100 00000000")
        self.assertIn(fixed, self.rsrc)
        # US English, Unicode: the block's name and the Translation pair.
        self.assertIn("040904B0".encode("utf-16-le"), self.rsrc)
        self.assertIn("Translation".encode("utf-16-le") + b"\0\0\0\0" + bytes.fromhex("0904b004"),
                      self.rsrc)

    def test_manifest(self):
        start = self.rsrc.find(b"<?xml")
        end = self.rsrc.find(b"</assembly>", start)
        self.assertTrue(0 <= start < end, "no manifest")
        manifest = self.rsrc[start:end].decode("utf-8")
        self.assertIn('<requestedExecutionLevel level="asInvoker" uiAccess="false"/>', manifest)
        windows = re.findall(r'<supportedOS Id="\{([0-9a-f-]+)\}"/>', manifest)
        self.assertEqual(windows, [
            "35138b9a-5d96-4fbd-8e2d-a2440225f93a",  # 7
            "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",  # 8
            "1f676c76-80e1-4239-95bb-83d0f6d0da78",  # 8.1
            "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a",  # 10 and 11
        ])
        self.assertNotIn("<dpiAware", manifest)  # a console program has no window to scale
        self.assertNotIn("<activeCodePage", manifest)


class Program(unittest.TestCase):
    """egn-digit.exe itself under Wine."""

    @classmethod
    def setUpClass(cls):
        # A Wine server started by the first program would keep its pipes
        # open: start it (or find it running) with none of ours.
        subprocess.run([ARGS.wine, "cmd", "/c", "exit"], stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)

    def test_a_reader_that_stops_early_ends_the_program_quietly(self):
        # `egn-digit.exe --generate 100000 | head -1`, and a list whose first
        # answer is a wrong digit: the status of what was answered.
        cases = [
            (["--generate", "100000"], None, rb"\d{10}\r\n", 0),
            ([], b"1234567891\n" + b"123456789\n" * 300_000, rb"1234567891\t\xd0\xbd.*\t0\r\n", 1),
        ]
        for args, stdin, line, status in cases:
            with self.subTest(args=args), tempfile.TemporaryFile() as data:
                data.write(stdin or b"")
                data.seek(0)
                program = subprocess.Popen([ARGS.wine, ARGS.programs[0], *args], stdin=data,
                                           stdout=subprocess.PIPE, stderr=subprocess.PIPE)
                self.assertRegex(program.stdout.readline(), line)
                program.stdout.close()  # as `head -1` does
                self.assertEqual(program.wait(timeout=120), status)
                self.assertEqual(program.stderr.read(), b"")
                program.stderr.close()

    def test_a_utf16_list_gives_the_lines_of_its_utf8_copy(self):
        text = "123456789\r\n\r\n 7501010010\r\n1234567891\r\nЕГН\r\n"
        expected = wine_run([], text.encode("utf-8"))
        self.assertEqual(expected, (
            "123456789\t1234567890\r\n7501010010\tвярна\r\n1234567891\tневярна\t0\r\n"
            "грешка\r\n".encode(),
            "egn-digit: ред 5: знакът „Е“ (U+0415) не е цифра от 0 до 9\r\n".encode(), 2))
        for form, data in (("UTF-16LE with its mark (Windows PowerShell 5.1's >)",
                            b"\xff\xfe" + text.encode("utf-16-le")),
                           ("UTF-8 with its mark", text.encode("utf-8-sig"))):
            with self.subTest(form=form):
                self.assertEqual(wine_run([], data), expected)

    def test_pipes_and_files_get_utf8_with_crlf_and_a_mark_only_when_asked(self):
        cases = [
            (["123456789"], "123456789\t1234567890\r\n", "", 0),
            (["1234567890", "12"], "1234567890\tвярна\r\nгрешка\r\n",
             "egn-digit: аргумент 2: очакват се 9 или 10 цифри, а са 2\r\n", 2),
            (["--bom", "1234567890"], "\ufeff1234567890\tвярна\r\n", "", 0),
        ]
        for args, out, err, status in cases:
            with self.subTest(args=args):
                self.assertEqual(wine_run(args), (out.encode(), err.encode(), status))

    def test_a_csv_file_by_its_cyrillic_name_keeps_its_bytes_and_line_ends(self):
        # A Windows-1251 file with LF alone: its bytes and line ends as they
        # were, the columns after them; its UTF-16 copy from standard input.
        text = "Име;ЕГН\n\"Ани; Г.\";551267871\nБоби;8001010008\n"
        columns = ["Резултат;Вярна цифра;Бележка", "вярна;;водещата нула е изгубена: 0551267871",
                   "вярна;;"]
        expected = "".join(line + ";" + add + "\n" for line, add in zip(text.splitlines(), columns))
        with tempfile.TemporaryDirectory() as work:
            path = os.path.join(work, "регистър.csv")
            with open(path, "wb") as f:
                f.write(text.encode("cp1251"))
            self.assertEqual(wine_run(["--column", "ЕГН", path]), (expected.encode("cp1251"), b"", 0))
            # --summary's file by its Cyrillic name (_wfopen), its bytes as written.
            summary = os.path.join(work, "сводка.jsonl")
            self.assertEqual(wine_run(["--column", "ЕГН", path, "--summary", summary])[1:], (b"", 0))
            with open(summary, "rb") as f:
                self.assertEqual(f.read().splitlines()[-1], b'{"rows":2,"right":2,"wrong":0,'
                                 b'"computed":0,"malformed":0,"lost_leading_zeros":1,'
                                 b'"to_look_at":1}')
        utf16 = b"\xff\xfe" + text.replace("\n", "\r\n").encode("utf-16-le")
        self.assertEqual(wine_run(["--column", "егн"], utf16),
                         (b"\xff\xfe" + expected.replace("\n", "\r\n").encode("utf-16-le"), b"", 0))
        out, err, status = wine_run(["--column", "2", "--json"], text.encode("cp1251"))
        self.assertEqual((out.count(b"\r\n"), out.count(b"\n"), err, status), (2, 2, b"", 0))

    def test_output_replaces_its_file_whole_or_not_at_all(self):
        # The file by its Cyrillic name, written beside and renamed over the
        # old one (MoveFileExW), with the bytes a pipe would get; a run that
        # cannot find its column leaves the old file; nothing left beside it.
        text = "Име;ЕГН\r\nБоби;8001010008\r\n".encode("cp1251")
        cases = [
            # (arguments, the file after, standard error, status)
            (["--column", "ЕГН", "{in}"], wine_run(["--column", "ЕГН"], text)[0], b"", 0),
            (["8001010008"], "8001010008\tвярна\r\n".encode(), b"", 0),
            (["--column", "Номер", "{in}"], b"old",
             "egn-digit: няма колона „Номер“; заглавният ред има 2: „Име“, „ЕГН“\r\n"
             "egn-digit: „{out}“ не е записан\r\n", 2),
        ]
        for args, after, err, status in cases:
            with self.subTest(args=args), tempfile.TemporaryDirectory() as work:
                source, target = os.path.join(work, "регистър.csv"), os.path.join(work, "проверен.csv")
                for path, data in ((source, text), (target, b"old")):
                    with open(path, "wb") as f:
                        f.write(data)
                got = wine_run([a.format(**{"in": source}) for a in args] + ["--output", target])
                with open(target, "rb") as f:
                    self.assertEqual((got[0], got[1], got[2], f.read()),
                                     (b"", err.format(out=target).encode() if isinstance(err, str)
                                      else err, status, after))
                self.assertEqual(sorted(os.listdir(work)), ["проверен.csv", "регистър.csv"])

    def test_a_workbook_by_its_cyrillic_name_comes_back_as_csv_and_as_itself(self):
        # An .xlsx opened by its UTF-16 name: its rows as CSV in UTF-8 with
        # the mark and CR LF; with --output, the workbook written beside and
        # moved over the old file (MoveFileExW), which egn-digit.exe reads
        # back with the results after its columns; a sheet not there leaves
        # the old file and nothing beside it.
        book = xlsx_of({"Служители": {1: {"A": "Име", "B": "ЕГН"}, 2: {"A": "Ана", "B": 551267871},
                                      3: {"A": "Иван", "B": "8001010008"},
                                      4: {"A": "Мария", "B": 8001010009}}})
        rows = ["Име;ЕГН;Резултат;Вярна цифра;Бележка",
                "Ана;551267871;вярна;;водещата нула е изгубена: 0551267871",
                "Иван;8001010008;вярна;;", "Мария;8001010009;невярна;8;"]
        with tempfile.TemporaryDirectory() as work:
            source, target = os.path.join(work, "регистър.xlsx"), os.path.join(work, "проверен.xlsx")
            for path, data in ((source, book), (target, b"old")):
                with open(path, "wb") as f:
                    f.write(data)
            self.assertEqual(wine_run(["--column", "ЕГН", source]),
                             ("\ufeff".encode() + "".join(r + "\r\n" for r in rows).encode(), b"", 1))
            records = wine_run(["--column", "ЕГН", "--json", source])
            self.assertEqual((records[0].count(b"\r\n"), records[1:]), (3, (b"", 1)))
            self.assertEqual(wine_run(["--column", "ЕГН", source, "--output", target]), (b"", b"", 1))
            self.assertEqual(sorted(os.listdir(work)), ["проверен.xlsx", "регистър.xlsx"])
            with open(target, "rb") as f:
                self.assertEqual(f.read(4), b"PK\x03\x04")
            self.assertEqual(wine_run(["--column", "ЕГН", "--json", target]), records)
            # The results are cells of the workbook: read as a column, they are its words.
            self.assertEqual(wine_run(["--column", "Резултат", "--sheet", "1", target])[0].split(b"\r\n")[1],
                             (rows[1] + ";грешка;;знакът „в“ (U+0432) не е цифра от 0 до 9").encode())
            with open(target, "wb") as f:
                f.write(b"old")
            self.assertEqual(wine_run(["--column", "ЕГН", "--sheet", "2", source, "--output", target]), (
                b"", f"egn-digit: няма лист „2“; листът е „Служители“\r\n"
                     f"egn-digit: „{target}“ не е записан\r\n".encode(), 2))
            with open(target, "rb") as f:
                self.assertEqual(f.read(), b"old")
            self.assertEqual(sorted(os.listdir(work)), ["проверен.xlsx", "регистър.xlsx"])

    def test_egn_digit_reads_its_own_output_back(self):
        for mark in ([], ["--bom"]):
            with self.subTest(mark=mark):
                generated, _, _ = wine_run(["--generate", "200", "--seed", "5", *mark])
                out, err, status = wine_run(["--decode"], generated)
                lines = out.decode().splitlines()
                self.assertEqual((len(lines), err, status), (200, b"", 0))
                self.assertTrue(all(line.split("\t")[1] == "валидно" for line in lines))


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--objcopy", required=True)
    parser.add_argument("--wine", default="")
    parser.add_argument("--only", default="", help="the test classes to run, by commas")
    parser.add_argument("programs", nargs="+")
    ARGS, rest = parser.parse_known_args()
    classes = list(filter(None, ARGS.only.split(",")))
    # Decided before unittest runs, which would count a skipped class as
    # passed. Without --only, Program is among the classes: it must run.
    if not ARGS.wine and classes == ["Program"]:
        print("skipped: no Wine to run egn-digit.exe")
        sys.exit(77)
    os.environ.setdefault("WINEDEBUG", "-all")
    unittest.main(argv=[sys.argv[0], *rest, *classes])


if __name__ == "__main__":
    main()
