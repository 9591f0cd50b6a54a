#!/usr/bin/env python3
"""The real egn-digit on arguments, standard input and pipes.

Usage: program_test.py PATH_TO_EGN_DIGIT
"""
import datetime
import json
import os
import pty
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest

PROGRAM = None
WEIGHTS = (2, 4, 8, 5, 10, 9, 7, 3, 6)


def control_digit(nine):
    """The published rule, written here on its own: the weighted sum of the
    first nine digits, its remainder by 11, and 0 for a remainder of 10."""
    remainder = sum(int(d) * w for d, w in zip(nine, WEIGHTS)) % 11
    return "0" if remainder == 10 else str(remainder)


def birth_date(ten):
    """The date of birth of ten digits by the published rule (the month
    tells the century), or None for an impossible one."""
    year, month, day = int(ten[:2]), int(ten[2:4]), int(ten[4:6])
    century = {0: 1900, 1: 1800, 2: 2000}.get(month // 20 if month % 20 else 3)
    try:
        return datetime.date(century + year, month % 20, day) if century else None
    except ValueError:
        return None


def lost_zeros(digits):
    """The valid number of 2000-2009 that eight or nine digits are with their
    leading zeros put back, or None."""
    ten = digits.rjust(10, "0")
    if len(digits) not in (8, 9) or not 41 <= int(ten[2:4]) <= 52:
        return None
    return ten if birth_date(ten) and control_digit(ten) == ten[9] else None


def lost_zeros_and_wrong_digit(digits):
    """The number of 2000-2009 with a wrong control digit that eight or nine
    digits are with their zeros put back, where they hold no date as they
    stand; or None."""
    ten = digits.rjust(10, "0")
    if len(digits) not in (8, 9) or not 41 <= int(ten[2:4]) <= 52:
        return None
    if not birth_date(ten) or control_digit(ten) == ten[9] or birth_date(digits[:6] + "0000"):
        return None
    return ten


def run(args=(), stdin=b""):
    done = subprocess.run([PROGRAM, *args], input=stdin, capture_output=True, timeout=60)
    return done.stdout.decode(), done.stderr.decode(), done.returncode


def run_bytes(args=(), stdin=b""):
    done = subprocess.run([PROGRAM, *args], input=stdin, capture_output=True, timeout=60)
    return done.stdout, done.stderr.decode(), done.returncode


# --- CSV files, written here as a spreadsheet would write them ---------------------

def field(text, separator, quote_all):
    """A field as RFC 4180 writes it: quoted when it must be (or always)."""
    if quote_all or any(c in text for c in (separator, '"', "\r", "\n")):
        return '"' + text.replace('"', '""') + '"'
    return text


def row_text(fields, separator, quote_all):
    return separator.join(field(f, separator, quote_all) for f in fields)


def number(rng, year, right=True):
    """A valid number of someone born in `year` (its last digit wrong unless
    `right`)."""
    month = rng.randint(1, 12) + (40 if year >= 2000 else 0)
    nine = f"{year % 100:02d}{month:02d}{rng.randint(1, 28):02d}{rng.randrange(1000):03d}"
    digit = control_digit(nine)
    return nine + (digit if right else str((int(digit) + 1) % 10))


def check_columns(cell):
    """The columns egn-digit --column appends for one field, by the published
    rule: the result, the right digit, the note."""
    value = cell.strip(" \t")
    if not value:
        return ["", "", ""]
    ten = lost_zeros(value) or lost_zeros_and_wrong_digit(value)
    if ten:
        lost = "водещата нула е изгубена: " if len(value) == 9 else "двете водещи нули са изгубени: "
        right = control_digit(ten) == ten[9]
        reason = "" if right else f"контролната цифра трябва да е {control_digit(ten)}; "
        return ["вярна" if right else "невярна", "" if right else control_digit(ten), reason + lost + ten]
    if len(value) == 9:
        return [value + control_digit(value), "", ""]
    digit = control_digit(value)
    return ["вярна", "", ""] if value[9] == digit else ["невярна", digit, ""]


def register(rng, count):
    """Rows of a register: a name (some with the separators, quotes or a line
    break in it), the number (a third of them born in 2000-2009 and kept by
    the spreadsheet as a number, without their zeros), a town, a note."""
    names = ["Иван Петров", "Мария Иванова", "Петров; Георги", "Елена, „Ели“", 'Ани "малката"',
             "Йордан\nДимитров"]
    towns = ["София", "Пловдив", "Варна", "Стара Загора"]
    rows = []
    for i in range(count):
        if i % 3 == 0:
            egn = str(int(number(rng, rng.randint(2000, 2009))))  # as a spreadsheet keeps it
        elif i % 3 == 1:
            egn = number(rng, rng.randint(1930, 1999))
        else:
            egn = number(rng, rng.randint(1930, 1999), right=i % 6 != 2)
        rows.append([rng.choice(names), egn, rng.choice(towns), rng.choice(["", "отпуск", "бел. 2"])])
    return rows


def csv_case(rows, separator, quote_all, newline, columns_of=check_columns,
             names=("Резултат", "Вярна цифра", "Бележка")):
    """The file, and what egn-digit --column ЕГН gives back: every row as it
    was, the columns after it, quoted as the row is."""
    header = ["Име", "ЕГН", "Град", "Бележки"]
    written = [row_text(header, separator, quote_all)] + [row_text(r, separator, quote_all) for r in rows]
    appended = [list(names)] + [columns_of(r[1]) for r in rows]
    text = "".join(w + newline for w in written)
    expected = "".join(w + "".join(separator + field(a, separator, quote_all) for a in add) + newline
                       for w, add in zip(written, appended))
    return text, expected


def lines_of(rows):
    """The line each data row begins on (the header is line 1)."""
    lines, line = [], 2
    for r in rows:
        lines.append(line)
        line += 1 + sum(f.count("\n") for f in r)
    return lines


# --- workbooks, made here ------------------------------------------------------------

def compound_file(streams):
    """A compound file (what an .xls is, and an .xlsx protected by a
    password): one sector of its allocation table, one of its directory,
    whose entries after the root are the streams named."""
    import struct
    header = bytearray(512)
    header[0:8] = b"\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1"
    struct.pack_into("<HHHH", header, 0x18, 0x3E, 3, 0xFFFE, 9)  # 512-byte sectors
    struct.pack_into("<II", header, 0x2C, 1, 1)  # one sector of the table; the directory in 1
    for i in range(109):
        struct.pack_into("<I", header, 0x4C + 4 * i, 0 if i == 0 else 0xFFFFFFFF)
    table = bytearray(b"\xff" * 512)
    struct.pack_into("<II", table, 0, 0xFFFFFFFD, 0xFFFFFFFE)
    directory = bytearray(512)
    for i, (name, kind) in enumerate([("Root Entry", 5)] + [(s, 2) for s in streams]):
        encoded = name.encode("utf-16-le") + b"\0\0"
        directory[128 * i:128 * i + len(encoded)] = encoded
        struct.pack_into("<HB", directory, 128 * i + 0x40, len(encoded), kind)
    return bytes(header + table + directory)


def zip_of(parts):
    """A ZIP package of the parts given (name: text)."""
    import io
    import zipfile
    bytes_io = io.BytesIO()
    with zipfile.ZipFile(bytes_io, "w", zipfile.ZIP_DEFLATED) as package:
        for name, text in parts.items():
            package.writestr(name, text)
    return bytes_io.getvalue()


def xlsx_of(sheets):
    """An .xlsx workbook of the sheets given ({name: {row: {column letter:
    value}}}), written here part by part: text as inline strings, int and
    float as numbers, a datetime.date as a number styled as a date, bool as
    a boolean, and a str that starts with "#" as a formula's error."""
    def cell(ref, value):
        if isinstance(value, bool):
            return f'<c r="{ref}" t="b"><v>{int(value)}</v></c>'
        if isinstance(value, datetime.date):
            serial = (value - datetime.date(1899, 12, 30)).days
            return f'<c r="{ref}" s="1"><v>{serial}</v></c>'
        if isinstance(value, (int, float)):
            return f'<c r="{ref}"><v>{value}</v></c>'
        if value.startswith("#"):
            return f'<c r="{ref}" t="e"><v>{value}</v></c>'
        return f'<c r="{ref}" t="inlineStr"><is><t>{value}</t></is></c>'
    main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
    relationships = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
    package = "http://schemas.openxmlformats.org/package/2006/relationships"
    parts = {
        "[Content_Types].xml":
            '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
            '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
            '<Default Extension="xml" ContentType="application/xml"/>'
            '<Override PartName="/xl/workbook.xml" '
            'ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>'
            + "".join(f'<Override PartName="/xl/worksheets/sheet{i}.xml" '
                      'ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>'
                      for i in range(1, len(sheets) + 1)) +
            '<Override PartName="/xl/styles.xml" '
            'ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"/></Types>',
        "_rels/.rels":
            f'<Relationships xmlns="{package}"><Relationship Id="rId1" '
            f'Type="{relationships}/officeDocument" Target="xl/workbook.xml"/></Relationships>',
        "xl/workbook.xml":
            f'<workbook xmlns="{main}" xmlns:r="{relationships}"><sheets>'
            + "".join(f'<sheet name="{name}" sheetId="{i}" r:id="rId{i}"/>'
                      for i, name in enumerate(sheets, 1)) + "</sheets></workbook>",
        "xl/_rels/workbook.xml.rels":
            f'<Relationships xmlns="{package}">'
            + "".join(f'<Relationship Id="rId{i}" Type="{relationships}/worksheet" '
                      f'Target="worksheets/sheet{i}.xml"/>' for i in range(1, len(sheets) + 1))
            + f'<Relationship Id="rIdS" Type="{relationships}/styles" Target="styles.xml"/></Relationships>',
        "xl/styles.xml":
            f'<styleSheet xmlns="{main}"><fonts count="1"><font/></fonts>'
            '<fills count="2"><fill><patternFill patternType="none"/></fill>'
            '<fill><patternFill patternType="gray125"/></fill></fills>'
            '<borders count="1"><border/></borders><cellStyleXfs count="1"><xf/></cellStyleXfs>'
            '<cellXfs count="2"><xf numFmtId="0"/><xf numFmtId="14" applyNumberFormat="1"/></cellXfs>'
            "</styleSheet>",
    }
    for i, rows in enumerate(sheets.values(), 1):
        parts[f"xl/worksheets/sheet{i}.xml"] = (
            f'<worksheet xmlns="{main}"><sheetData>'
            + "".join(f'<row r="{number}">' + "".join(cell(f"{column}{number}", value)
                                                     for column, value in row.items()) + "</row>"
                      for number, row in rows.items()) + "</sheetData></worksheet>")
    return zip_of(parts)


# --- Workbooks written by LibreOffice Calc from a flat ODF file --------------------

FODS = """<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
  xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
  xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
  office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
 <office:body><office:spreadsheet>
  <table:table table:name="Регистър">
{rows}
  </table:table>
 </office:spreadsheet></office:body>
</office:document>
"""


def calc_rows(rng, count):
    """A register of `count` people as rows of (name, number, town): numbers
    right and wrong, with their leading zero lost, as text and as numbers
    (Calc's own number cells), and cells that hold no number."""
    towns = ["Варна", "Русе", "Стара Загора", "Плевен"]
    rows = [("Име", "ЕГН", "Град")]
    for i in range(count):
        ten = number(rng, rng.choice([1955, 1980, 2001, 2010]), right=rng.random() < 0.8)
        kind = i % 6
        if kind == 0:
            cell = ("text", ten)
        elif kind == 1:
            cell = ("float", str(int(ten)))  # a number cell: 0 in front is lost
        elif kind == 2:
            cell = ("text", ten[:9])
        elif kind == 3:
            cell = ("text", "няма")
        else:
            cell = ("float", ten) if ten[0] != "0" else ("text", ten)
        rows.append((f"Лице {i + 1}", cell, towns[i % len(towns)]))
    return rows


def fods_of(rows):
    def cell(value):
        kind, text = value if isinstance(value, tuple) else ("text", value)
        if kind == "float":
            return (f'<table:table-cell office:value-type="float" office:value="{text}">'
                    f"<text:p>{text}</text:p></table:table-cell>")
        return f'<table:table-cell office:value-type="string"><text:p>{text}</text:p></table:table-cell>'
    return FODS.format(rows="\n".join(
        "<table:table-row>" + "".join(cell(v) for v in row) + "</table:table-row>" for row in rows))


def csv_of(rows):
    return "".join(";".join(v[1] if isinstance(v, tuple) else v for v in row) + "\r\n"
                   for row in rows).encode()


def calc_convert(soffice, work, kind, book, outdir=None):
    """`book` converted by LibreOffice (its profile in `work`) into `kind`
    (with the filter's options after a colon) in `outdir`; its path."""
    outdir = outdir or work
    done = subprocess.run([soffice, f"-env:UserInstallation=file://{work}/profile", "--headless",
                           "--convert-to", kind, "--outdir", outdir, book],
                          capture_output=True, timeout=240)
    if done.returncode != 0:
        raise AssertionError(f"LibreOffice: {done.stderr.decode()}")
    name = os.path.splitext(os.path.basename(book))[0] + "." + kind.split(":")[0]
    return os.path.join(outdir, name)


def openpyxl_or_none():
    try:
        import openpyxl
        return openpyxl
    except ImportError:
        return None


class Program(unittest.TestCase):
    def test_inputs_outputs_and_statuses(self):
        bad_a = "egn-digit: ред {}: знакът „a“ (U+0061) не е цифра от 0 до 9\n"
        cases = [
            # (arguments, standard input, standard output, standard error, status)
            (["123456789"], b"", "123456789\t1234567890\n", "", 0),
            (["1234567890", "7501010010"], b"", "1234567890\tвярна\n7501010010\tвярна\n", "", 0),
            (["1234567891"], b"", "1234567891\tневярна\t0\n", "", 1),
            (["--explain", "123456789"], b"",
             "123456789\t1234567890\tИзчислена сума: 285\tПоследно число: 0\n", "", 0),
            (["--", "-123456789", "12345678"], b"", "грешка\nгрешка\n",
             "egn-digit: аргумент 1: знакът „-“ (U+002D) не е цифра от 0 до 9\n"
             "egn-digit: аргумент 2: очакват се 9 или 10 цифри, а са 8\n", 2),
            (["-x", "123456789"], b"", "",
             "egn-digit: непозната опция „-x“\nВижте „egn-digit --help“.\n", 2),
            (["--version"], b"", "egn-digit 1.00\n", "", 0),
            # Lines: CR LF and LF, blanks around, empty lines skipped, a
            # byte-order mark before the first.
            ([], b"\xef\xbb\xbf123456789\r\n\n  7501010010 \t\r\n12345678a\n1234567891",
             "123456789\t1234567890\n7501010010\tвярна\nгрешка\n1234567891\tневярна\t0\n",
             bad_a.format(4), 2),
            ([], b"1234567891\n", "1234567891\tневярна\t0\n", "", 1),
            ([], b"", "", "", 0),
            # Nine digits keep their meaning when they are also a number of
            # 2000-2009 without its 0, as the prefix of one born in 1945 may
            # be: the same answer, a warning that says it is one, the status
            # unchanged. Eight such digits stay wrong, and say what they are.
            (["551267871", "450312123"], b"", "551267871\t5512678711\n450312123\t4503121233\n",
             "egn-digit: аргумент 1: внимание: 551267871 е и валидното ЕГН 0551267871 с изгубена водеща нула\n"
             "egn-digit: аргумент 2: внимание: 450312123 е и валидното ЕГН 0450312123 с изгубена водеща нула\n", 0),
            (["--json"], b"551267871\n41010002\n",
             '{"input":"551267871","number":"5512678711"}\n{"line":2,"error":"очакват се 9 или 10 цифри, '
             'а са 8: 41010002 е валидното ЕГН 0041010002 с изгубени две водещи нули"}\n',
             "egn-digit: ред 1: внимание: 551267871 е и валидното ЕГН 0551267871 с изгубена водеща нула\n"
             "egn-digit: ред 2: очакват се 9 или 10 цифри, а са 8: 41010002 е валидното ЕГН 0041010002 "
             "с изгубени две водещи нули\n", 2),
            # Such digits of a number whose control digit is wrong: the ten
            # digits of nine keep their meaning, and are explained.
            (["551267872", "41010003", "441210008"], b"",
             "551267872\t5512678727\nгрешка\n441210008\t4412100081\n",
             "egn-digit: аргумент 1: внимание: 551267872 няма възможна дата, а с изгубената водеща нула е "
             "ЕГН 0551267872 с невярна контролна цифра (трябва да е 1)\n"
             "egn-digit: аргумент 2: очакват се 9 или 10 цифри, а са 8: 41010003 е ЕГН 0041010003 с "
             "изгубени две водещи нули и невярна контролна цифра (трябва да е 2)\n", 2),
        ]
        for args, stdin, out, err, status in cases:
            with self.subTest(args=args, stdin=stdin):
                self.assertEqual(run(args, stdin), (out, err, status))

    def test_help_says_what_is_checked(self):
        out, err, status = run(["--help"])
        self.assertEqual((err, status), ("", 0))
        self.assertTrue(out.startswith("Употреба: egn-digit [--explain] [--json] [--bom] [--output ИЗХОД] [ЧИСЛО]...\n"))
        self.assertIn("„вярна“ не значи, че ЕГН е валидно", out)
        self.assertIn("Валиден номер може да не принадлежи на никого", out)
        self.assertIn("„Изчислена сума: “ със сумата", out)  # the quotes stay on one line

    def test_one_line_for_every_number_read_whatever_it_is(self):
        lines = [b"123456789", b"1" * 1_000_000, b"1234\x00", b"12\xff\xfe456789",
                 b"\xd9\xa1" * 9, b"", b"1234567890", b"+12345678"]
        out, err, status = run(stdin=b"\n".join(lines) + b"\n")
        self.assertEqual(status, 2)
        self.assertEqual(out.splitlines(), [
            "123456789\t1234567890", "грешка", "грешка", "грешка", "грешка",
            "1234567890\tвярна", "грешка"])
        self.assertEqual(err.splitlines(), [
            "egn-digit: ред 2: редът е твърде дълъг (1000000 байта), очакват се 9 или 10 цифри",
            "egn-digit: ред 3: редът съдържа нулев байт",
            "egn-digit: ред 4: редът не е текст в UTF-8",
            "egn-digit: ред 5: знакът „١“ (U+0661) не е цифра от 0 до 9",
            "egn-digit: ред 8: знакът „+“ (U+002B) не е цифра от 0 до 9"])

    def test_digits_and_lost_zeros_agree_with_the_rule_on_random_numbers(self):
        rng = random.Random(20261208)
        nines = [f"{rng.randrange(10**9):09d}" for _ in range(5000)]
        tens = [n + str(rng.randrange(10)) for n in nines[:2000]]
        out, err, status = run(stdin="\n".join(nines + tens).encode())
        self.assertEqual(status, 1 if any(t[9] != control_digit(t) for t in tens) else 0)
        expected = [f"{n}\t{n}{control_digit(n)}" for n in nines]
        expected += [f"{t}\tвярна" if t[9] == control_digit(t) else f"{t}\tневярна\t{control_digit(t)}"
                     for t in tens]
        self.assertEqual(out.splitlines(), expected)
        warned = [f"egn-digit: ред {i + 1}: внимание: {n} е и валидното ЕГН {lost_zeros(n)} "
                  "с изгубена водеща нула" if lost_zeros(n) else
                  f"egn-digit: ред {i + 1}: внимание: {n} няма възможна дата, а с изгубената водеща нула "
                  f"е ЕГН {lost_zeros_and_wrong_digit(n)} с невярна контролна цифра (трябва да е "
                  f"{control_digit(lost_zeros_and_wrong_digit(n))})"
                  for i, n in enumerate(nines) if lost_zeros(n) or lost_zeros_and_wrong_digit(n)]
        self.assertGreater(sum("няма възможна дата" in w for w in warned), 5)
        self.assertGreater(sum("валидното" in w for w in warned), 5)
        self.assertEqual(err.splitlines(), warned)

    def test_a_closed_pipe_ends_the_program_quietly(self):
        with tempfile.TemporaryFile() as big:
            big.write(b"123456789\n" * 2_000_000)
            big.seek(0)
            program = subprocess.Popen([PROGRAM], stdin=big, stdout=subprocess.PIPE,
                                       stderr=subprocess.PIPE)
            self.assertEqual(program.stdout.readline(), b"123456789\t1234567890\n")
            program.stdout.close()  # the reader goes away, as `head -1` does
            self.assertEqual(program.wait(timeout=60), -13)  # SIGPIPE, as for any filter
            self.assertEqual(program.stderr.read(), b"")

    def test_a_closed_pipe_with_sigpipe_blocked_ends_with_the_status_so_far(self):
        # Blocked, SIGPIPE leaves the write failing with EPIPE, as Windows
        # always does: the answers until then stand, nothing is said.
        for first, status in ((b"123456789\n", 0), (b"1234567891\n", 1)):
            with self.subTest(first=first), tempfile.TemporaryFile() as big:
                big.write(first + b"123456789\n" * 2_000_000)
                big.seek(0)
                program = subprocess.Popen(
                    [PROGRAM], stdin=big, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                    preexec_fn=lambda: signal.pthread_sigmask(signal.SIG_BLOCK, {signal.SIGPIPE}))
                program.stdout.readline()
                program.stdout.close()
                self.assertEqual(program.wait(timeout=60), status)
                self.assertEqual(program.stderr.read(), b"")
                program.stderr.close()

    def test_lines_from_a_pipe_are_answered_one_at_a_time(self):
        program = subprocess.Popen([PROGRAM], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        for number, answer in [(b"123456789", b"1234567890"), (b"000000000", b"0000000000")]:
            program.stdin.write(number + b"\n")
            program.stdin.flush()
            self.assertEqual(program.stdout.readline(), number + b"\t" + answer + b"\n")
        program.stdin.close()
        self.assertEqual(program.stdout.read(), b"")
        program.stdout.close()
        self.assertEqual(program.wait(timeout=60), 0)

    # --- encodings ---------------------------------------------------------------

    def test_utf16_and_utf8_lists_give_the_same_lines(self):
        text = "123456789\r\n\n 7501010010\r\n1234567891\r\nЕГН\r\n12345678\r\n"
        expected = run(stdin=text.encode())
        self.assertEqual(expected, (
            "123456789\t1234567890\n7501010010\tвярна\n1234567891\tневярна\t0\nгрешка\nгрешка\n",
            "egn-digit: ред 5: знакът „Е“ (U+0415) не е цифра от 0 до 9\n"
            "egn-digit: ред 6: очакват се 9 или 10 цифри, а са 8\n", 2))
        for encoding in ("utf-8-sig", "utf-16", "utf-16-le", "utf-16-be"):
            with self.subTest(encoding=encoding):
                self.assertEqual(run(stdin=text.encode(encoding)), expected)
        for name, mark, codec in (("LE", b"\xff\xfe", "utf-16-le"), ("BE", b"\xfe\xff", "utf-16-be")):
            with self.subTest(form="UTF-16" + name + " with its mark"):
                self.assertEqual(run(stdin=mark + text.encode(codec)), expected)

    def test_malformed_utf16_is_named_on_its_line(self):
        stdin = b"\xff\xfe" + "123456789\n1\ud800\n7501010010\n".encode("utf-16-le", "surrogatepass") + b"7"
        self.assertEqual(run(stdin=stdin), (
            "123456789\t1234567890\nгрешка\n7501010010\tвярна\nгрешка\n",
            "egn-digit: ред 2: редът не е текст в UTF-16: сурогатът U+D800 е без двойката си\n"
            "egn-digit: ред 4: редът не е текст в UTF-16: входът свършва с нечетен байт\n", 2))

    def test_bom_marks_the_output_and_egn_digit_reads_it_back(self):
        cases = [
            (["--bom", "1234567890"], "\ufeff1234567890\tвярна\n"),
            (["--bom", "--decode", "--json", "8001010008"],
             '\ufeff{"number":"8001010008","valid":true,"birth_date":"1980-01-01","sex":"мъж",'
             '"region":"Благоевград","check_digit_ok":true,"date_ok":true}\n'),
        ]
        for args, out in cases:
            with self.subTest(args=args):
                self.assertEqual(run(args), (out, "", 0))
        # A terminal is a byte stream like a pipe: it gets the mark too (its
        # line discipline makes each LF a CR LF).
        main, terminal = pty.openpty()
        subprocess.run([PROGRAM, "--bom", "1234567890"], stdout=terminal, check=True, timeout=60)
        os.close(terminal)
        self.assertEqual(os.read(main, 100), "\ufeff1234567890\tвярна\r\n".encode())
        os.close(main)
        generated = subprocess.run([PROGRAM, "--generate", "50", "--seed", "3", "--bom"],
                                   capture_output=True, check=True).stdout
        self.assertTrue(generated.startswith(b"\xef\xbb\xbf"))
        out, err, status = run(["--decode"], generated)
        self.assertEqual((len(out.splitlines()), err, status), (50, "", 0))

    # --- the whole number ---------------------------------------------------------

    def test_decode_fields_and_statuses(self):
        cases = [
            (["8032056031", "7542011030", "8001010008", "8001019983"], b"",
             "8032056031\tвалидно\t1880-12-05\tжена\tСмолян\n"
             "7542011030\tвалидно\t2075-02-01\tжена\tВарна\n"
             "8001010008\tвалидно\t1980-01-01\tмъж\tБлагоевград\n"
             "8001019983\tвалидно\t1980-01-01\tмъж\tнеизвестна област\n", "", 0),
            (["8032056032", "8013010000"], b"",
             "8032056032\tневалидно\t1880-12-05\tжена\tСмолян\tконтролната цифра трябва да е 1\n"
             "8013010000\tневалидно\t-\tмъж\tБлагоевград\t"
             "контролната цифра трябва да е 4; датата на раждане е невъзможна\n", "", 1),
            ([], b"8001010008\n123456789\n\nx\n", "8001010008\tвалидно\t1980-01-01\tмъж\tБлагоевград\n"
             "грешка\nгрешка\n",
             "egn-digit: ред 2: за разчитане трябват 10 цифри, а са 9\n"
             "egn-digit: ред 4: знакът „x“ (U+0078) не е цифра от 0 до 9\n", 2),
            # Eight or nine digits that are a number of 2000-2009 without its
            # leading zeros are read as that number, and the record says so.
            # So are those of such a number whose control digit is wrong,
            # where they hold no date as they stand; not where they do.
            (["551267871", "41010002", "551267870", "5512678", "441210008"], b"",
             "0551267871\tвалидно\t2005-11-26\tжена\tСтара Загора\tводещата нула е изгубена: 0551267871\n"
             "0041010002\tвалидно\t2000-01-01\tмъж\tБлагоевград\tдвете водещи нули са изгубени: 0041010002\n"
             "0551267870\tневалидно\t2005-11-26\tжена\tСтара Загора\tконтролната цифра трябва да е 1; "
             "водещата нула е изгубена: 0551267870\n"
             "грешка\nгрешка\n",
             "egn-digit: аргумент 4: очакват се 9 или 10 цифри, а са 7\n"
             "egn-digit: аргумент 5: за разчитане трябват 10 цифри, а са 9\n", 2),
            (["551267872"], b"",
             "0551267872\tневалидно\t2005-11-26\tжена\tСтара Загора\tконтролната цифра трябва да е 1; "
             "водещата нула е изгубена: 0551267872\n", "", 1),
            (["--json", "551267871"], b"",
             '{"number":"0551267871","valid":true,"birth_date":"2005-11-26","sex":"жена",'
             '"region":"Стара Загора","check_digit_ok":true,"date_ok":true,"lost_leading_zeros":1}\n', "", 0),
        ]
        for args, stdin, out, err, status in cases:
            with self.subTest(args=args, stdin=stdin):
                self.assertEqual(run(["--decode", *args], stdin), (out, err, status))

    def test_json_is_one_object_a_line_that_a_parser_reads(self):
        stdin = '8032056031\n12"4\\5\n\n1234567891\n123456789\n'.encode()
        for mode, keys in ((["--decode"], {"number", "valid", "birth_date", "sex", "region"}),
                           (["--explain"], {"input", "sum_line", "digit_line"})):
            with self.subTest(mode=mode):
                out, err, status = run([*mode, "--json"], stdin)
                records = [json.loads(line) for line in out.splitlines()]
                self.assertEqual(len(records), 4)
                self.assertEqual(records[1], {"line": 2, "error": "знакът „\"“ (U+0022) не е цифра от 0 до 9"})
                self.assertTrue(keys <= records[0].keys(), records[0])
                self.assertEqual(status, 2)
        out, _, _ = run(["--decode", "--json", "0001010000"])
        self.assertEqual(json.loads(out)["number"], "0001010000")  # leading zeros survive

    def test_generated_numbers_are_valid_and_keep_their_filters(self):
        out, err, status = run(["--generate", "3000", "--seed", "9", "--born", "1999-12..2000-02",
                                "--sex", "жена", "--region", "Сливен"])
        numbers = out.splitlines()
        self.assertEqual((len(numbers), err, status), (3000, "", 0))
        for n in numbers:
            month = int(n[2:4])
            year = int(n[:2]) + {0: 1900, 1: 1800, 2: 2000}[month // 20]
            born = datetime.date(year, month % 20, int(n[4:6]))  # raises for an impossible date
            self.assertTrue(datetime.date(1999, 12, 1) <= born <= datetime.date(2000, 2, 29), n)
            self.assertTrue(576 <= int(n[6:9]) <= 601 and int(n[8]) % 2 == 1, n)
            self.assertEqual(n[9], control_digit(n), n)
        self.assertEqual(run(["--generate", "3000", "--seed", "9", "--born", "1999-12..2000-02",
                              "--sex", "f", "--region", "Сливен"])[0], out)  # the seed reproduces
        self.assertNotEqual(run(["--generate", "50"])[0], run(["--generate", "50"])[0])
        # A district by the full name people type is the list's district.
        self.assertEqual(run(["--generate", "100", "--seed", "2", "--region", "Велико Търново"]),
                         run(["--generate", "100", "--seed", "2", "--region", "В. Търново"]))

    def test_a_million_generated_numbers_decode_as_valid(self):
        generated = subprocess.run([PROGRAM, "--generate", "1000000", "--seed", "1"],
                                   capture_output=True, check=True).stdout
        out, err, status = run(["--decode"], generated)
        lines = out.splitlines()
        self.assertEqual((len(lines), err, status), (1_000_000, "", 0))
        self.assertTrue(all(line.split("\t")[1] == "валидно" for line in lines))

    # --- a column of a CSV file -----------------------------------------------------

    def test_a_column_comes_back_in_its_file_in_every_form_a_spreadsheet_writes(self):
        rows = register(random.Random(31), 300)
        forms = [
            # (name, encoding with its mark, separator, every field quoted, line end)
            ("Windows-1251 with ;", "cp1251", ";", False, "\r\n"),
            ("UTF-8 with its mark and ,", "utf-8-sig", ",", False, "\r\n"),
            ("UTF-8 with tabs and LF", "utf-8", "\t", False, "\n"),
            ("UTF-16 from Windows PowerShell (Export-Csv -Encoding Unicode)", "utf-16", ",", True,
             "\r\n"),
            ("UTF-16BE with its mark", "utf-16-be", ";", False, "\r\n"),
        ]
        for name, encoding, separator, quote_all, newline in forms:
            with self.subTest(form=name), tempfile.NamedTemporaryFile(suffix=".csv") as file:
                text, expected = csv_case(rows, separator, quote_all, newline)
                mark = "\ufeff".encode(encoding) if encoding == "utf-16-be" else b""
                file.write(mark + text.encode(encoding))
                file.flush()
                out, err, status = run_bytes(["--column", "егн ", file.name])
                self.assertEqual((err, status), ("", 1))  # a sixth of the numbers are wrong
                self.assertEqual(out, mark + expected.encode(encoding))
                # The same from standard input, and every byte of the file kept.
                self.assertEqual(run_bytes(["--column", "2"], mark + text.encode(encoding))[0], out)
                # Every third number was made of a birth in 2000-2009 and lost
                # its zero: each is named, whatever check_columns says of it.
                self.assertEqual(out.decode(encoding).count("изгубен"), len(rows[::3]))

    def test_utf8_writes_utf8_with_its_mark_whatever_was_read(self):
        rows = register(random.Random(7), 20)
        text, expected = csv_case(rows, ";", False, "\r\n")
        out, err, status = run_bytes(["--column", "ЕГН", "--utf8"], text.encode("cp1251"))
        self.assertEqual((out, status), (b"\xef\xbb\xbf" + expected.encode(), 1))

    def test_decoded_columns_are_what_decode_says_of_the_number(self):
        rows = register(random.Random(5), 60)
        text, _ = csv_case(rows, ";", False, "\r\n")
        out, err, status = run_bytes(["--column", "ЕГН", "--decode"], text.encode("cp1251"))
        self.assertEqual((err, status), ("", 1))
        written = out.decode("cp1251").split("\r\n")
        self.assertEqual(written[0], "Име;ЕГН;Град;Бележки;Валидност;Дата на раждане;Пол;Област;Бележка")
        # Each row's columns against the plain --decode of its number.
        plain = run(["--decode", *[r[1] for r in rows]])[0].splitlines()
        for row, out_row, decoded in zip(rows, [w for w in written[1:] if w], plain):
            appended = out_row[len(row_text(row, ";", False)):].split(";")[1:]
            fields = decoded.split("\t")[1:]
            self.assertEqual(appended, fields + [""] * (5 - len(fields)), row)

    def test_json_gives_one_object_a_row_with_its_line(self):
        rows = register(random.Random(11), 40)
        text, _ = csv_case(rows, ";", False, "\r\n")
        out, err, status = run(["--decode", "--column", "ЕГН", "--json"], text.encode("cp1251"))
        records = [json.loads(line) for line in out.splitlines()]
        self.assertEqual([r["line"] for r in records], lines_of(rows))
        for row, record in zip(rows, records):
            ten = lost_zeros(row[1]) or row[1]
            self.assertEqual(record["number"], ten)
            self.assertEqual(record["valid"], control_digit(ten) == ten[9])
            self.assertEqual(record.get("lost_leading_zeros"), 10 - len(row[1]) if ten != row[1] else None)
        # One record a row: a blank field and an empty row get theirs.
        out, err, status = run(["--column", "EGN", "--json"],
                               b"N;EGN\r\n;0551267871\r\ny; \r\n\r\nx;12\r\n")
        self.assertEqual((out, err, status), (
            '{"line":2,"input":"0551267871","check_digit_ok":true,"check_digit":"1"}\n'
            '{"line":3,"input":""}\n'
            '{"line":4,"input":""}\n'
            '{"line":5,"error":"очакват се 9 или 10 цифри, а са 2"}\n',
            "egn-digit: ред 5: очакват се 9 или 10 цифри, а са 2\n", 2))

    def test_rows_that_hold_no_number_are_kept_and_named(self):
        header = b"\xc8\xec\xe5;\xc5\xc3\xcd;\xc3\xf0\xe0\xe4\r\n"  # Име;ЕГН;Град in Windows-1251
        stdin = header + b"a;0551267871;b\r\n\r\nc;;d\r\ne;12a;f\r\ng;h\r\nx\r\ni;8001010008;j;k\r\n\"l;\";123456789;m"
        names = ";Резултат;Вярна цифра;Бележка".encode("cp1251")
        out, err, status = run_bytes(["--column", "ЕГН"], stdin)
        self.assertEqual(out, header[:-2] + names + b"\r\n"
                         + b"a;0551267871;b;" + "вярна".encode("cp1251") + b";;\r\n"
                         + b"\r\n"  # an empty row stays empty
                         + b"c;;d;;;\r\n"  # a blank field: nothing to say
                         + b"e;12a;f;" + "грешка;;знакът „a“ (U+0061) не е цифра от 0 до 9".encode("cp1251")
                         + b"\r\ng;h;;;;\r\n"  # too few fields: as many as the header's, then empty
                         + b"x;;;;;\r\n"
                         + b"i;8001010008;j;;;;k\r\n"  # too many: the columns under their names
                         + b"\"l;\";123456789;m;1234567890;;")  # no line end at the end, none added
        self.assertEqual((err, status), (
            "egn-digit: ред 5: знакът „a“ (U+0061) не е цифра от 0 до 9\n"
            "egn-digit: ред 6: 2 полета, а заглавният ред има 3\n"
            "egn-digit: ред 7: 1 поле, а заглавният ред има 3\n"
            "egn-digit: ред 8: 4 полета, а заглавният ред има 3\n", 2))

    def test_rows_and_fields_are_told_as_spreadsheets_write_them(self):
        cases = [
            # A header whose names hold commas: still a file of ';'.
            ("Име, презиме, фамилия;ЕГН;Адрес (град, улица, №)\nИван Петров;8001010008;Русе, ул. 1\n", False,
             "Име, презиме, фамилия;ЕГН;Адрес (град, улица, №);Резултат;Вярна цифра;Бележка\n"
             "Иван Петров;8001010008;Русе, ул. 1;вярна;;\n", 0),
            # The columns of a row are quoted alike whatever ends it.
            ('"ЕГН";"x"\n"8001010008";\n"8001010008";', False,
             '"ЕГН";"x";"Резултат";"Вярна цифра";"Бележка"\n"8001010008";;вярна;;\n"8001010008";;вярна;;', 0),
            # Digits of a number of 2000-2009 with a wrong control digit,
            # its zeros lost: read as that number, never a made-up one (the
            # note holds the separator, and is quoted).
            ("ЕГН\n551267872\n41010003\n", False,
             'ЕГН;Резултат;Вярна цифра;Бележка\n551267872;невярна;1;"контролната цифра трябва да е 1; '
             'водещата нула е изгубена: 0551267872"\n'
             '41010003;невярна;2;"контролната цифра трябва да е 2; двете водещи нули са изгубени: 0041010003"\n', 1),
            # No-break spaces around a name or a number are blanks.
            ("ЕГН\u00a0;Име\n\u202f8001010008\u00a0;a\n", False,
             "ЕГН\u00a0;Име;Резултат;Вярна цифра;Бележка\n\u202f8001010008\u00a0;a;вярна;;\n", 0),
            # Rows that end in CR alone, or in CR, CR LF and LF mixed.
            # (standard input, --json, standard output, status)
            ("ЕГН;Име\r8001010009;Иван\r123;Ана\r", False,
             "ЕГН;Име;Резултат;Вярна цифра;Бележка\r8001010009;Иван;невярна;8;\r123;Ана;грешка;;"
             "очакват се 9 или 10 цифри, а са 3\r", 2),
            ("ЕГН;Име\r8001010009;Иван\r\n8001010008;Ана\n", True,
             '{"line":2,"input":"8001010009","check_digit_ok":false,"check_digit":"8"}\n'
             '{"line":3,"input":"8001010008","check_digit_ok":true,"check_digit":"8"}\n', 1),
        ]
        for stdin, json_, out, status in cases:
            with self.subTest(stdin=stdin, json=json_):
                got = run(["--column", "ЕГН"] + (["--json"] if json_ else []), stdin.encode())
                self.assertEqual((got[0], got[2]), (out, status))

    def test_quotes_against_rfc_4180_are_named_and_their_rows_kept_unchecked(self):
        names = ";Резултат;Вярна цифра;Бележка"
        unchecked = "; редът не е проверен"
        cases = [
            # (arguments, standard input, standard output, standard error): a
            # quote opened by mistake on line 2 closes on line 3, and the
            # wrong number of line 2 would go unchecked.
            (["--column", "ЕГН"],
             'Име;ЕГН;Град\n"Иванов, Петър;8001010009;Русе\n"Георги" Петров;8032056031;Варна\n'
             'Иван;8001010008;Русе\n',
             'Име;ЕГН;Град' + names + '\n"Иванов, Петър;8001010009;Русе\n"Георги" Петров;8032056031;Варна;;;\n'
             'Иван;8001010008;Русе;вярна;;\n',
             "egn-digit: ред 2: след затварящите кавички на ред 3 има текст (не по RFC 4180)" + unchecked + "\n"),
            (["--column", "ЕГН", "--json"], 'ЕГН;Име\n8001010008;Ива"н\n',
             '{"line":2,"error":"кавички в поле, което не започва с кавички (не по RFC 4180)' + unchecked + '"}\n',
             "egn-digit: ред 2: кавички в поле, което не започва с кавички (не по RFC 4180)" + unchecked + "\n"),
            # In the header row: its names are taken as read.
            (["--column", "1"], '"ЕГН"x;Име\r\n8001010008;a\r\n',
             '"ЕГН"x;Име' + names + '\r\n8001010008;a;вярна;;\r\n',
             "egn-digit: ред 1: след затварящите кавички има текст (не по RFC 4180) в заглавния ред\n"),
        ]
        for args, stdin, out, err in cases:
            with self.subTest(args=args, stdin=stdin):
                self.assertEqual(run(args, stdin.encode()), (out, err, 2))

    def test_the_table_is_found_where_it_starts(self):
        above = "Справка за служители\r\n;;;\r\n\r\n"
        table = "№;Име;ЕГН;Бел\r\n1;А;8001010008;\r\n"
        cases = [
            # (arguments, standard input, standard output, standard error, status):
            # title rows above the header are written as they are, under the
            # empty columns, by name and by number.
            (["--column", "ЕГН"], above + table,
             "Справка за служители;;;;;;\r\n;;;;;;\r\n\r\n№;Име;ЕГН;Бел;Резултат;Вярна цифра;Бележка\r\n"
             "1;А;8001010008;;вярна;;\r\n", "", 0),
            (["--column", "3", "--json"], above + table,
             '{"line":5,"input":"8001010008","check_digit_ok":true,"check_digit":"8"}\n', "", 0),
            # A first number blank does not make a row a header: the first
            # field of the column that is not blank tells, and it is a number.
            (["--column", "3"], "1;Без ЕГН;;няма\n2;А;8001010008;\n",
             "1;Без ЕГН;;няма;;;\n2;А;8001010008;;вярна;;\n", "", 0),
            # Looked for in the first 100 rows only.
            (["--column", "ЕГН"], "x;y\n" * 100 + "ЕГН;Име\n", "",
             "egn-digit: няма колона „ЕГН“; заглавният ред има 2: „x“, „y“\n", 2),
            (["--column", "ЕГН"], "x;y\n" * 99 + "ЕГН;Име\n8001010008;a\n",
             "x;y;;;\n" * 99 + "ЕГН;Име;Резултат;Вярна цифра;Бележка\n8001010008;a;вярна;;\n", "", 0),
        ]
        for args, stdin, out, err, status in cases:
            with self.subTest(args=args, stdin=stdin[:40]):
                self.assertEqual(run(args, stdin.encode()), (out, err, status))

    def test_a_file_without_a_header_row_by_the_number_of_its_column(self):
        out, err, status = run(["--column", "2", "--separator", ","], b"a,0551267871\nb,551267871\n")
        self.assertEqual((out, err, status), (
            "a,0551267871,вярна,,\nb,551267871,вярна,,водещата нула е изгубена: 0551267871\n", "", 0))

    def test_what_cannot_be_read_is_said_and_nothing_is_half_written(self):
        header = "Име;ЕГН\n"
        good = "a;8001010008\n"
        good_out = "Име;ЕГН;Резултат;Вярна цифра;Бележка\na;8001010008;вярна;;\n"
        long_row = "b;" + "x" * (1 << 20) + "\n"
        cases = [
            # (arguments, standard input, standard output, standard error)
            (["--column", "Номер"], (header + good).encode(), b"",
             "egn-digit: няма колона „Номер“; заглавният ред има 2: „Име“, „ЕГН“\n"),
            (["--column", "3"], (header + good).encode(), b"",
             "egn-digit: няма колона 3; заглавният ред има 2: „Име“, „ЕГН“\n"),
            (["--column", "9" * 30], (header + good).encode(), b"",
             f"egn-digit: няма колона {'9' * 30}; заглавният ред има 2: „Име“, „ЕГН“\n"),
            # A name that differs only by Latin letters that look Cyrillic,
            # in the file or on the command line, and in a row below a title.
            (["--column", "ЕГН"], "Име;EГН\n".encode(), b"",
             "egn-digit: няма колона „ЕГН“; на ред 1 колона 2 е „EГН“: различава се само по латинската "
             "буква „E“ в нея на мястото на кирилската\n"),
            (["--column", "EГH"], "Справка\nИме;егн\n".encode(), b"",
             "egn-digit: няма колона „EГH“; на ред 2 колона 2 е „егн“: различава се само по латинските "
             "букви „E“, „H“ в името от командния ред на мястото на кирилските\n"),
            (["--column", "EGN"], "Име;ЕГН\n".encode(), b"",
             "egn-digit: няма колона „EGN“; заглавният ред има 2: „Име“, „ЕГН“\n"),
            # A control character of the file is shown escaped, never raw.
            (["--column", "Номер\x1b"], b'"a\rb";"\x1b[2J";\xc2\x85\x7f\n', b"",
             "egn-digit: няма колона „Номер\\x1B“; заглавният ред има 3: „a\\rb“, „\\x1B[2J“, „\\u0085\\x7F“\n"),
            (["--column", "Egn"], b"\xef\xbb\xbf EGN ;\"\";egn\n", b"",
             "egn-digit: колоните 1, 3 се казват „EGN“: посочете една с номера ѝ\n"),
            (["--column", "ЕГН"], b"", b"", "egn-digit: няма заглавен ред: входът е празен\n"),
            # A spreadsheet's own file is named, with what to do instead.
            *[(["--column", "ЕГН"], head, b"",
               f"egn-digit: файлът е {kind}, а не CSV: отворете го в програмата за таблици и го "
               "запишете като CSV („Запиши като“, тип „CSV“)\n") for kind, head in [
                ("работна книга .xlsx", b"PK\x03\x04\x14\x00\x06\x00\x08\x00" + b"\x00" * 16 +
                 b"\x13\x00\x00\x00[Content_Types].xml"),
                ("таблица .ods", b"PK\x03\x04\x0a\x00\x00\x00\x00\x00" + b"\x00" * 16 +
                 b"\x08\x00\x00\x00mimetypeapplication/vnd.oasis.opendocument.spreadsheet"),
                ("работна книга .xls (от по-стар формат)", b"\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1" + b"\x00" * 40),
                ("архив ZIP", b"PK\x03\x04\x14\x00" + b"\x00" * 30)]],
            (["--column", "ЕГН"], b"\xef\xbb\xbfPK\x03\x04\x14\x00\x06\x00", b"",  # not even the mark
             "egn-digit: ред 1: файлът не е текст в UTF-8 (нулев байт); "
             "редовете от този нататък не са записани\n"),
            (["--column", "ЕГН"], (header + good + "c;\"0551267871\n").encode(), good_out.encode() + b"c;\"0551267871\n",
             "egn-digit: ред 3: кавичките, отворени на този ред, не се затварят до края на файла; "
             "остатъкът е записан както е, без резултати\n"),
            (["--column", "ЕГН"], (header + good + long_row + good).encode(), good_out.encode(),
             "egn-digit: ред 3: редът е по-дълъг от 1 MiB; редовете от този нататък не са записани\n"),
            (["--column", "ЕГН"], (header + good + "c;\"" + long_row).encode(), good_out.encode(),
             "egn-digit: ред 3: полето в кавички, започнато на този ред, е по-дълго от 1 MiB "
             "(незатворени кавички?); редовете от този нататък не са записани\n"),
            # UTF-8 for its first MiB, then not.
            (["--column", "ЕГН"], (header + good * 90_000).encode() + b"\xc8\n",
             (good_out + "a;8001010008;вярна;;\n" * 89_999).encode(),
             "egn-digit: ред 90002: файлът не е текст в UTF-8 (байтът 0xC8); "
             "редовете от този нататък не са записани\n"),
            # ASCII alone before it, from a pipe that cannot be read again:
            # UTF-8 was a guess, and --encoding is named.
            (["--column", "EGN"], ("Name;EGN\n" + good * 90_000).encode() + b"\xc8\n",
             ("Name;EGN;Резултат;Вярна цифра;Бележка\n" + "a;8001010008;вярна;;\n" * 90_000).encode(),
             "egn-digit: ред 90002: файлът не е текст в UTF-8 (байтът 0xC8); ако е в Windows-1251, "
             "посочете го с --encoding windows-1251; редовете от този нататък не са записани\n"),
            (["--column", "ЕГН", "/no/such.csv"], b"", b"",
             "egn-digit: „/no/such.csv“ не се отваря: No such file or directory\n"),
        ]
        for args, stdin, out, err in cases:
            with self.subTest(args=args, stdin=stdin[:40]):
                self.assertEqual(run_bytes(args, stdin), (out, err, 2))

    def test_a_file_of_ascii_first_is_read_again_in_the_encoding_its_first_other_byte_tells(self):
        # A register sorted with its Latin names first: more than the first
        # MiB is ASCII, and Windows-1251 comes after.
        header = "Name;ЕГН\r\n".encode("cp1251")
        rows = b"Ivan;8001010008\r\n" * 70_000 + "Иван;8001010009\r\n".encode("cp1251")
        expected = (header[:-2] + ";Резултат;Вярна цифра;Бележка\r\n".encode("cp1251")
                    + ("Ivan;8001010008;вярна;;\r\n" * 70_000 + "Иван;8001010009;невярна;8;\r\n").encode("cp1251"))
        with tempfile.NamedTemporaryFile(suffix=".csv") as file:
            file.write(header + rows)
            file.flush()
            for how, args, stdin in [("the file named", [file.name], None),
                                     ("standard input from the file", [], open(file.name, "rb"))]:
                with self.subTest(how):
                    done = subprocess.run([PROGRAM, "--column", "ЕГН", *args], stdin=stdin,
                                          capture_output=True, timeout=60)
                    if stdin:
                        stdin.close()
                    self.assertEqual((done.stderr, done.returncode), (b"", 1))
                    self.assertTrue(done.stdout == expected, done.stdout[-60:])
        # From a pipe, which cannot be read again, --encoding says it.
        out, err, status = run_bytes(["--column", "ЕГН", "--encoding", "Windows-1251"], header + rows)
        self.assertEqual((err, status), ("", 1))
        self.assertTrue(out == expected, out[-60:])
        # And it overrides the guess: these bytes are well-formed UTF-8 too.
        self.assertEqual(run_bytes(["--column", "2", "--encoding", "windows-1251", "--utf8"],
                                   "a;8001010008;Р\n".encode())[0],
                         "\ufeffa;8001010008;Р\u00a0;вярна;;\n".encode())

    def test_output_writes_its_file_whole_or_not_at_all(self):
        table = "Име;ЕГН\r\nа;8001010008\r\nб;8001010009\r\n".encode("cp1251")
        long_row = b"b;" + b"x" * (1 << 20) + b"\n"
        cases = [
            # (arguments, standard input, the file after, standard error, status):
            # what would go to standard output, in every mode, byte for byte.
            (["8001010008", "123456789"], b"", "8001010008\tвярна\n123456789\t1234567890\n".encode(), "", 0),
            (["--decode", "--json"], b"8001010008\n", run_bytes(["--decode", "--json"], b"8001010008\n")[0], "", 0),
            (["--generate", "3", "--seed", "4"], b"", run_bytes(["--generate", "3", "--seed", "4"])[0], "", 0),
            (["--column", "ЕГН"], table, run_bytes(["--column", "ЕГН"], table)[0], "", 1),
            # A run that does not get to the end leaves the file as it was.
            (["--column", "ЕГН"], table + long_row, b"old",
             "egn-digit: ред 4: редът е по-дълъг от 1 MiB; редовете от този нататък не са записани\n"
             "egn-digit: „{}“ не е записан\n", 2),
            (["--column", "Номер"], table, b"old",
             "egn-digit: няма колона „Номер“; заглавният ред има 2: „Име“, „ЕГН“\n"
             "egn-digit: „{}“ не е записан\n", 2),
        ]
        for args, stdin, after, err, status in cases:
            with self.subTest(args=args), tempfile.TemporaryDirectory() as directory:
                path = os.path.join(directory, "проверен.csv")
                with open(path, "wb") as old:
                    old.write(b"old")
                out, got_err, got_status = run_bytes([*args, "--output", path], stdin)
                with open(path, "rb") as written:
                    self.assertEqual((out, got_err, got_status, written.read()),
                                     (b"", err.format(path), status, after))
                self.assertEqual(os.listdir(directory), ["проверен.csv"])  # nothing left beside it
        # Stopped by a signal while it reads: the old file stays, and
        # nothing is left beside it.
        for stop in (signal.SIGINT, signal.SIGTERM):
            with self.subTest(stop=stop), tempfile.TemporaryDirectory() as directory:
                path = os.path.join(directory, "проверен.csv")
                with open(path, "wb") as old:
                    old.write(b"old")
                program = subprocess.Popen([PROGRAM, "--column", "ЕГН", "--output", path],
                                           stdin=subprocess.PIPE)
                program.stdin.write("Име;ЕГН\nа;8001010008\n".encode())
                program.stdin.flush()
                while len(os.listdir(directory)) < 2:  # the new file beside it
                    time.sleep(0.01)
                program.send_signal(stop)
                self.assertEqual(program.wait(timeout=60), -stop)
                program.stdin.close()
                self.assertEqual(os.listdir(directory), ["проверен.csv"])
                with open(path, "rb") as kept:
                    self.assertEqual(kept.read(), b"old")
        self.assertEqual(run(["--output", "/no/such/dir/a.txt", "8001010008"]),
                         ("", "egn-digit: „/no/such/dir/a.txt“ не може да се запише: No such file or directory\n", 2))

    def test_files_that_are_no_workbook_to_read_are_refused_and_nothing_written(self):
        usage = "\nВижте „egn-digit --help“.\n"
        cases = [
            # (file's bytes, file's name, arguments, standard error)
            (compound_file(["EncryptionInfo", "EncryptedPackage"]), "заключен.xlsx", [],
             "egn-digit: работната книга е защитена с парола: отворете я в програмата за таблици, "
             "махнете паролата и я запишете отново\n"),
            (compound_file(["Workbook", "\x05SummaryInformation"]), "стар.xls", [],
             "egn-digit: файлът е работна книга .xls (от по-стар формат), която не се чете: отворете я "
             "в програмата за таблици и я запишете като .xlsx или .ods\n"),
            # Told by the bytes, never by the name.
            (compound_file(["Workbook"]), "регистър.csv", [],
             "egn-digit: файлът е работна книга .xls (от по-стар формат), която не се чете: отворете я "
             "в програмата за таблици и я запишете като .xlsx или .ods\n"),
            (zip_of({"a.txt": "здравей"}), "регистър.xlsx", [],
             "egn-digit: файлът е архив ZIP, но не е работна книга (.xlsx или .ods)\n"),
            (b"PK\x03\x04" + b"\0" * 60, "регистър.xlsx", [],
             "egn-digit: файлът не се чете: ZIP-ът е повреден: краят на централната директория липсва "
             "(файлът е отрязан?)\n"),
            # What a workbook cannot be written as.
            (zip_of({"xl/workbook.xml": "<workbook/>"}), "регистър.xlsx", ["--output", "{dir}/изход.ods"],
             "egn-digit: работна книга .xlsx се записва като .xlsx, а не като „{dir}/изход.ods“" + usage),
            (zip_of({"mimetype": "application/vnd.oasis.opendocument.spreadsheet"}), "регистър.ods",
             ["--output", "{dir}/изход.XLSX"],
             "egn-digit: работна книга .ods се записва като .ods, а не като „{dir}/изход.XLSX“" + usage),
            (zip_of({"xl/workbook.xml": "<workbook/>"}), "регистър.xlsx",
             ["--json", "--output", "{dir}/изход.xlsx"],
             "egn-digit: --json е текст и не се записва в работна книга „{dir}/изход.xlsx“" + usage),
            (zip_of({"xl/workbook.xml": "<workbook/>"}), "регистър.xlsx", ["--encoding", "utf-8"],
             "egn-digit: --encoding е само за CSV, а входът е работна книга" + usage),
            # --sheet is for a workbook.
            ("ЕГН\n8001010008\n".encode(), "регистър.csv", ["--sheet", "1"],
             "egn-digit: --sheet е за работна книга (.xlsx или .ods), а „{dir}/регистър.csv“ е CSV" + usage),
        ]
        for content, name, args, err in cases:
            with self.subTest(name=name, args=args), tempfile.TemporaryDirectory() as directory:
                path = os.path.join(directory, name)
                with open(path, "wb") as file:
                    file.write(content)
                args = [a.replace("{dir}", directory) for a in args]
                if "--output" not in args:
                    args += ["--output", os.path.join(directory, "изход.csv")]
                self.assertEqual(run(["--column", "ЕГН", *args, path]),
                                 ("", err.replace("{dir}", directory), 2))
                self.assertEqual(os.listdir(directory), [name])  # nothing written beside it
        for args, message in [
            (["--column", "ЕГН", "--sheet", "1"], "--sheet е за работна книга, дадена с името на файла ѝ"),
            (["--sheet", "1", "8001010008"], "--sheet е само за --column"),
            (["--column", "ЕГН", "--sheet"], "--sheet иска име или номер на лист"),
        ]:
            with self.subTest(args=args):
                self.assertEqual(run(args, "ЕГН\n".encode()),
                                 ("", f"egn-digit: {message}\nВижте „egn-digit --help“.\n", 2))

    def test_the_example_workbook_comes_back_as_csv_and_as_itself_with_the_results(self):
        book = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "docs",
                            "examples", "регистър.xlsx")
        rows = ["Име;ЕГН;Град;Резултат;Вярна цифра;Бележка",
                "\"Петрова; Ана\";551267871;Варна;вярна;;водещата нула е изгубена: 0551267871",
                "Иван;8001010008;Русе;вярна;;", "Мария;8001010009;Плевен;невярна;8;"]
        records = run(["--column", "ЕГН", "--json", book])
        self.assertEqual(run_bytes(["--column", "ЕГН", book]),
                         ("\ufeff".encode() + "".join(r + "\r\n" for r in rows).encode(), "", 1))
        self.assertEqual(run(["--column", "2", "--sheet", "Служители", book])[0].split("\r\n")[1:3], rows[1:3])
        with tempfile.TemporaryDirectory() as directory:
            checked = os.path.join(directory, "проверен.xlsx")
            with open(checked, "wb") as old:
                old.write(b"old")
            self.assertEqual(run(["--column", "ЕГН", book, "--output", checked]), ("", "", 1))
            self.assertEqual(os.listdir(directory), ["проверен.xlsx"])
            with open(checked, "rb") as written:
                self.assertTrue(written.read().startswith(b"PK\x03\x04"))
            # Read again, the written workbook has the same numbers and the
            # results under their names after them.
            self.assertEqual(run(["--column", "ЕГН", "--json", checked]), records)
            self.assertEqual(run(["--column", "Резултат", "--json", checked])[1:], (
                "egn-digit: ред 2: знакът „в“ (U+0432) не е цифра от 0 до 9\n"
                "egn-digit: ред 3: знакът „в“ (U+0432) не е цифра от 0 до 9\n"
                "egn-digit: ред 4: знакът „н“ (U+043D) не е цифра от 0 до 9\n", 2))
            # A workbook is written whole or not at all: a sheet not there
            # leaves the old file.
            with open(checked, "wb") as old:
                old.write(b"old")
            self.assertEqual(run(["--column", "ЕГН", "--sheet", "2", book, "--output", checked]), (
                "", f"egn-digit: няма лист „2“; листът е „Служители“\negn-digit: „{checked}“ не е записан\n", 2))
            with open(checked, "rb") as kept:
                self.assertEqual(kept.read(), b"old")
            self.assertEqual(os.listdir(directory), ["проверен.xlsx"])

    def test_every_kind_of_cell_of_a_workbook_is_read_as_its_kind(self):
        book = xlsx_of({
            "Бележки": {1: {"A": "нищо"}},
            "Регистър": {1: {"A": "Справка"}, 3: {"A": "Име", "C": "ЕГН"},
                         4: {"A": "а", "C": 8001010008}, 5: {"A": "б", "C": "8001010009"},
                         6: {"A": "в", "C": 551267871}, 7: {"A": "г", "C": 8001010008.5},
                         8: {"A": "д", "C": datetime.date(1980, 1, 1)}, 9: {"A": "е", "C": True},
                         10: {"A": "ж", "C": "#N/A"}, 12: {"A": "з", "E": "бележка"}},
        })
        with tempfile.TemporaryDirectory() as directory:
            path = os.path.join(directory, "регистър.xlsx")
            with open(path, "wb") as file:
                file.write(book)
            out, err, status = run(["--column", "ЕГН", "--sheet", "Регистър", path])
            self.assertEqual(out.split("\r\n"), [
                "\ufeffСправка", "", "Име;;ЕГН;Резултат;Вярна цифра;Бележка",
                "а;;8001010008;вярна;;", "б;;8001010009;невярна;8;",
                "в;;551267871;вярна;;водещата нула е изгубена: 0551267871",
                "г;;8001010008.5;грешка;;клетката е дробно число (8001010008.5), а не ЕГН",
                "д;;1980-01-01;грешка;;клетката е дата, а не ЕГН",
                "е;;TRUE;грешка;;клетката е логическа стойност (TRUE), а не ЕГН",
                "ж;;#N/A;грешка;;клетката е грешка на формула (#N/A), а не ЕГН",
                # A cell past the header's columns comes after the results,
                # as in a CSV file.
                "", "з;;;;;;;бележка", ""])
            self.assertEqual(err, "egn-digit: ред 7: клетката е дробно число (8001010008.5), а не ЕГН\n"
                                  "egn-digit: ред 8: клетката е дата, а не ЕГН\n"
                                  "egn-digit: ред 9: клетката е логическа стойност (TRUE), а не ЕГН\n"
                                  "egn-digit: ред 10: клетката е грешка на формула (#N/A), а не ЕГН\n")
            self.assertEqual(status, 2)
            out, err, status = run(["--column", "ЕГН", "--sheet", "2", "--json", path])
            self.assertEqual([json.loads(line)["line"] for line in out.splitlines()], list(range(4, 13)))
            self.assertEqual(run(["--column", "ЕГН", "--sheet", "Трети", path]),
                             ("", "egn-digit: няма лист „Трети“; листовете са „Бележки“, „Регистър“\n", 2))
            self.assertEqual(run(["--column", "ЕГН", path]),
                             ("", "egn-digit: няма колона „ЕГН“; заглавният ред има 1: „нищо“\n", 2))

    def test_a_workbook_comes_back_as_csv_json_or_itself_with_the_results(self):
        openpyxl = openpyxl_or_none()
        if openpyxl is None:
            self.skipTest("python3-openpyxl is not installed")
        with tempfile.TemporaryDirectory() as directory:
            book = openpyxl.Workbook()
            first = book.active
            first.title = "Бележки"
            first["A1"] = "нищо"
            sheet = book.create_sheet("Регистър")
            sheet["A1"] = "Справка"
            sheet.append([])
            sheet["A3"], sheet["B3"] = "Име", "ЕГН"
            sheet["A4"], sheet["B4"] = "Иван", 8001010008
            sheet["A5"], sheet["B5"] = "Мария", "8001010009"
            sheet["A6"], sheet["B6"] = "Петър", 551267871
            sheet["A7"], sheet["B7"] = "Ана", datetime.date(2024, 1, 5)
            path = os.path.join(directory, "регистър.xlsx")
            book.save(path)
            out, err, status = run(["--column", "ЕГН", "--sheet", "Регистър", path])
            self.assertEqual(out.split("\r\n")[:6], [
                "\ufeffСправка", "", "Име;ЕГН;Резултат;Вярна цифра;Бележка",
                "Иван;8001010008;вярна;;", "Мария;8001010009;невярна;8;",
                "Петър;551267871;вярна;;водещата нула е изгубена: 0551267871"])
            self.assertEqual(err, "egn-digit: ред 7: клетката е дата, а не ЕГН\n")
            self.assertEqual(status, 2)
            out, err, status = run(["--column", "ЕГН", "--sheet", "2", "--json", path])
            self.assertEqual([json.loads(line)["line"] for line in out.splitlines()], [4, 5, 6, 7])
            checked = os.path.join(directory, "проверен.xlsx")
            out, err, status = run(["--column", "ЕГН", "--sheet", "Регистър", path, "--output", checked])
            self.assertEqual((out, status), ("", 2))
            written = openpyxl.load_workbook(checked)["Регистър"]
            self.assertEqual([written.cell(3, c).value for c in range(3, 6)],
                             ["Резултат", "Вярна цифра", "Бележка"])
            self.assertEqual(written.cell(5, 3).value, "невярна")
            self.assertEqual(run(["--column", "ЕГН", "--sheet", "Трети", path]),
                             ("", "egn-digit: няма лист „Трети“; листовете са „Бележки“, „Регистър“\n", 2))

    def test_workbooks_from_libreoffice_give_what_the_same_rows_give_as_csv(self):
        soffice = shutil.which("soffice")
        if soffice is None:
            self.skipTest("LibreOffice (soffice) is not installed")
        rows = calc_rows(random.Random(7), 60)
        with tempfile.TemporaryDirectory() as work:
            flat = os.path.join(work, "регистър.fods")
            with open(flat, "w", encoding="utf-8") as file:
                file.write(fods_of(rows))
            register = os.path.join(work, "регистър.csv")
            with open(register, "wb") as file:
                file.write(csv_of(rows))
            books = {kind: calc_convert(soffice, work, kind, flat) for kind in ("ods", "xlsx")}
            for mode in ([], ["--decode"], ["--explain"]):
                csv_out, csv_err, csv_status = run(["--column", "ЕГН", *mode, register])
                csv_json = run(["--column", "ЕГН", "--json", *mode, register])
                for kind, book in books.items():
                    with self.subTest(kind=kind, mode=mode):
                        out, err, status = run(["--column", "ЕГН", *mode, book])
                        # A workbook's text starts with UTF-8's mark, for
                        # the spreadsheet that opens it; the rows are the CSV's.
                        self.assertEqual((out.removeprefix("\ufeff"), err, status),
                                         (csv_out, csv_err, csv_status))
                        self.assertEqual(run(["--column", "ЕГН", "--json", *mode, book]), csv_json)
            # Written back, each workbook holds the CSV run's results after
            # its columns, as Calc reads it: Calc's CSV of it is the CSV run's.
            csv_out, csv_err, csv_status = run(["--column", "ЕГН", register])
            csv_json = run(["--column", "ЕГН", "--json", register])
            for kind, book in books.items():
                with self.subTest(kind=kind, written=True):
                    checked = os.path.join(work, "проверен." + kind)
                    self.assertEqual(run(["--column", "ЕГН", book, "--output", checked]),
                                     ("", csv_err, csv_status))
                    self.assertEqual(run(["--column", "ЕГН", "--json", checked]), csv_json)
                    os.makedirs(os.path.join(work, kind))
                    back = calc_convert(soffice, work, "csv:Text - txt - csv (StarCalc):59,34,76",
                                        checked, os.path.join(work, kind))
                    with open(back, encoding="utf-8", newline="") as file:
                        self.assertEqual(file.read().replace("\n", "\r\n"), csv_out)

    def test_summary_is_what_json_says_of_the_rows_to_look_at_and_their_counts(self):
        # Every kind of row: right, wrong, nine digits, lost zeros with a
        # right and with a wrong digit, malformed, blank, a row with too few
        # fields and one whose quotes run against RFC 4180.
        rows = [("Иван", "8001010008"), ("Мария", "8001010009"), ("Петър", "750101001"),
                ("Ана", "551267871"), ("Елена", "551267872"), ("Стоян", "12ab"), ("Боби", "")]
        text = "Име;ЕГН\r\n" + "".join(f"{n};{v}\r\n" for n, v in rows) + "Сам\r\nX;\"1\"2\r\n"
        book = xlsx_of({"Лист1": {i + 1: {"A": n, "B": int(v) if v.isdigit() else v}
                                  for i, (n, v) in enumerate([("Име", "ЕГН")] + rows) if v}})

        def expected(records, decode):
            """The records to look at and the counts, as egn-digit's --json gives the rows."""
            counts = dict.fromkeys(["rows", "right", "wrong", "computed", "malformed",
                                    "lost_leading_zeros"], 0)
            looks = []
            for line in records.splitlines():
                record = json.loads(line)
                if record.get("input") == "":
                    continue
                counts["rows"] += 1
                right = record.get("valid" if decode else "check_digit_ok")
                kind = ("malformed" if "error" in record else "computed" if right is None
                        else "right" if right else "wrong")
                counts[kind] += 1
                counts["lost_leading_zeros"] += "lost_leading_zeros" in record
                if kind in ("malformed", "wrong") or "lost_leading_zeros" in record:
                    looks.append(line + "\n")
            counts["to_look_at"] = len(looks)
            return "".join(looks) + json.dumps(counts, separators=(",", ":")) + "\n"

        with tempfile.TemporaryDirectory() as directory:
            for name, data, output in [("регистър.csv", text.encode("cp1251"), "изход.csv"),
                                       ("регистър.xlsx", book, "изход.xlsx")]:
                path = os.path.join(directory, name)
                with open(path, "wb") as f:
                    f.write(data)
                for decode in ([], ["--decode"]):
                    summary = os.path.join(directory, "сводка.jsonl")
                    args = ["--column", "ЕГН", *decode, path]
                    records, said, json_status = run([*args, "--json"])
                    _, _, status = run([*args, "--output", os.path.join(directory, output),
                                        "--summary", summary])
                    with open(summary, encoding="utf-8") as f:
                        self.assertEqual(f.read(), expected(records, bool(decode)), (name, decode))
                    self.assertEqual(status, json_status, (name, decode))
                    # With --json too: its records and the summary's are the same rows.
                    both = run([*args, "--json", "--summary", summary])
                    self.assertEqual(both, (records, said, json_status), (name, decode))
                    with open(summary, encoding="utf-8") as f:
                        self.assertEqual(f.read(), expected(records, bool(decode)), (name, decode))
                    # --summary-rows: the first records only, the counts whole.
                    whole = expected(records, bool(decode)).splitlines(keepends=True)
                    for most in (0, 2, 4, 1000):
                        run([*args, "--output", os.path.join(directory, output), "--summary",
                             summary, "--summary-rows", str(most)])
                        with open(summary, encoding="utf-8") as f:
                            self.assertEqual(f.read(), "".join(whole[:min(most, len(whole) - 1)])
                                             + whole[-1], (name, decode, most))
            self.assertEqual(run(["--column", "ЕГН", path, "--summary", "/no/such/dir/с.jsonl"]),
                             ("", "egn-digit: „/no/such/dir/с.jsonl“ не може да се запише: "
                                  "No such file or directory\n", 2))
            # A disk that fills: at the end (the counts), or part-way (a
            # register whose rows to look at are written before its end).
            for wrong_rows in (1, 5000):
                path = os.path.join(directory, "пълен.csv")
                with open(path, "w", encoding="utf-8") as f:
                    f.write("ЕГН\n" + "7501020011\n" * wrong_rows)
                _, said, status = run(["--column", "ЕГН", path, "--output",
                                       os.path.join(directory, "изход.csv"), "--summary", "/dev/full"])
                self.assertEqual((said, status), ("egn-digit: „/dev/full“ не може да се запише: "
                                                  "No space left on device\n", 2), wrong_rows)

    def test_column_options_refuse_what_they_cannot_do(self):
        cases = [
            (["--column"], "--column иска име или номер на колона"),
            (["--column", " "], "--column иска име или номер на колона"),
            (["--column", "0"], "--column иска номер на колона от 1 нагоре, а не „0“"),
            (["--column", "ЕГН", "a.csv", "b.csv"], "--column чете един файл, а са дадени 2"),
            (["--column", "ЕГН", "--separator", "ab"],
             "--separator иска „;“, „,“, tab или друг знак от ASCII, който не е буква, цифра или "
             "кавички, а не „ab“"),
            (["--column", "ЕГН", "--separator", '"'],
             "--separator иска „;“, „,“, tab или друг знак от ASCII, който не е буква, цифра или "
             "кавички, а не „\"“"),
            (["--separator", ";", "123456789"], "--separator и --utf8 са само за --column"),
            (["--utf8"], "--separator и --utf8 са само за --column"),
            (["--column", "ЕГН", "--bom"], "--bom не е за CSV: --utf8 го записва в UTF-8 с BOM"),
            (["--column", "ЕГН", "--json", "--utf8"], "--utf8 е за CSV, а не за --json"),
            (["--column", "ЕГН", "--generate", "5"], "--generate не чете колона"),
            (["--column", "ЕГН", "--output"], "--output иска име на файл"),
            (["--column", "ЕГН", "--encoding", "cp1251"],
             "--encoding иска utf-8, windows-1251, utf-16le или utf-16be, а не „cp1251“"),
            (["--encoding", "utf-8", "8001010008"], "--encoding е само за --column"),
            (["--output", "", "8001010008"], "--output иска име на файл"),
        ]
        for args, message in cases:
            with self.subTest(args=args):
                self.assertEqual(run(args), ("", f"egn-digit: {message}\nВижте „egn-digit --help“.\n", 2))

    def test_a_column_streams_in_constant_memory(self):
        # Rows through a pipe: after 30 000 (more than the first MiB, read to
        # tell the encoding) and after 2 000 000 more (120 MB), each time once
        # every answer is out and the program waits for more, its peak
        # resident memory (from /proc) is the same.
        program = subprocess.Popen([PROGRAM, "--column", "ЕГН", "--decode"], stdin=subprocess.PIPE,
                                   stdout=subprocess.PIPE)
        row = "Иван;Петров;8001010008;Стара Загора;0888123456\r\n".encode()
        answered = []

        def answer(rows):
            writer = threading.Thread(target=lambda: (program.stdin.write(row * rows), program.stdin.flush()))
            writer.start()
            read = 0
            while read < rows:
                read += program.stdout.readline().endswith("Благоевград;\r\n".encode())
            writer.join()
            with open(f"/proc/{program.pid}/status") as status:
                peak = next(int(line.split()[1]) for line in status if line.startswith("VmHWM:"))
            answered.append(peak)

        program.stdin.write("Име;Фамилия;ЕГН;Град;Телефон\r\n".encode())
        answer(30_000)
        for _ in range(20):
            answer(100_000)
        program.stdin.close()
        self.assertEqual(program.stdout.read(), b"")
        program.stdout.close()
        self.assertEqual(program.wait(timeout=60), 0)
        self.assertLess(answered[-1] - answered[0], 1024, answered)  # KiB

    def test_generate_refuses_what_it_cannot_do(self):
        cases = [
            (["--generate", "0"], "--generate иска положително цяло число, а не „0“"),
            (["--generate", "-5"], "--generate иска положително цяло число, а не „-5“"),
            (["--generate", "10", "--born", "1799"], "--born: „1799“ е извън обхвата от 1800-01-01 до 2099-12-31"),
            (["--generate", "10", "--born", "2000..1999"], "няма номер, който да отговаря на всички филтри"),
            (["--generate", "10", "--region", "Атлантида"],
             "няма област „Атлантида“ в списъка (например „Варна“, „София - град“)"),
            (["--generate", "10", "--region", "София"],
             "няма област „София“ в списъка; може би „София - град“ или „София - окръг“?"),
            (["--generate", "10", "--sex", "x"], "непознат пол „x“: мъж, жена, m или f"),
            (["--sex", "m", "123456789"], "--born, --sex, --region и --seed са само за --generate"),
            (["--generate", "1", "123456789"], "--generate не чете числа"),
            (["--decode", "--explain", "8001010008"], "--explain е само за проверката на контролната цифра"),
        ]
        for args, message in cases:
            with self.subTest(args=args):
                self.assertEqual(run(args), ("", f"egn-digit: {message}\nВижте „egn-digit --help“.\n", 2))


if __name__ == "__main__":
    # Debian's openpyxl, where the Python that runs this is another (one of
    # a version manager's): the whole test again with Debian's, so that the
    # workbooks openpyxl writes are read here rather than skipped.
    if (openpyxl_or_none() is None and sys.executable != "/usr/bin/python3"
            and os.path.exists("/usr/bin/python3")
            and subprocess.run(["/usr/bin/python3", "-c", "import openpyxl"],
                               capture_output=True).returncode == 0):
        sys.exit(subprocess.run(["/usr/bin/python3"] + sys.argv).returncode)
    PROGRAM = sys.argv.pop(1)
    unittest.main()
