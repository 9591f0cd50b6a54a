#!/usr/bin/env python3
"""The real egn-digit on arguments, standard input and pipes.

Usage: program_test.py PATH_TO_EGN_DIGIT
"""
import datetime
import json
import random
import signal
import subprocess
import sys
import tempfile
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


def run(args=(), stdin=b""):
    done = subprocess.run([PROGRAM, *args], input=stdin, capture_output=True, timeout=60)
    return done.stdout.decode(), done.stderr.decode(), done.returncode


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
        ]
        for args, stdin, out, err, status in cases:
            with self.subTest(args=args, stdin=stdin):
                self.assertEqual(run(args, stdin), (out, err, status))

    def test_help_says_what_is_checked(self):
        out, err, status = run(["--help"])
        self.assertEqual((err, status), ("", 0))
        self.assertTrue(out.startswith("Употреба: egn-digit [--explain] [--json] [--bom] [ЧИСЛО]...\n"))
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
                  "с изгубена водеща нула" for i, n in enumerate(nines) if lost_zeros(n)]
        self.assertGreater(len(warned), 5)
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
            (["551267871", "41010002", "551267870", "5512678"], b"",
             "0551267871\tвалидно\t2005-11-26\tжена\tСтара Загора\tводещата нула е изгубена: 0551267871\n"
             "0041010002\tвалидно\t2000-01-01\tмъж\tБлагоевград\tдвете водещи нули са изгубени: 0041010002\n"
             "грешка\nгрешка\n",
             "egn-digit: аргумент 3: за разчитане трябват 10 цифри, а са 9\n"
             "egn-digit: аргумент 4: очакват се 9 или 10 цифри, а са 7\n", 2),
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

    def test_a_million_generated_numbers_decode_as_valid(self):
        generated = subprocess.run([PROGRAM, "--generate", "1000000", "--seed", "1"],
                                   capture_output=True, check=True).stdout
        out, err, status = run(["--decode"], generated)
        lines = out.splitlines()
        self.assertEqual((len(lines), err, status), (1_000_000, "", 0))
        self.assertTrue(all(line.split("\t")[1] == "валидно" for line in lines))

    def test_generate_refuses_what_it_cannot_do(self):
        cases = [
            (["--generate", "0"], "--generate иска положително цяло число, а не „0“"),
            (["--generate", "-5"], "--generate иска положително цяло число, а не „-5“"),
            (["--generate", "10", "--born", "1799"], "--born: „1799“ е извън обхвата от 1800-01-01 до 2099-12-31"),
            (["--generate", "10", "--born", "2000..1999"], "няма номер, който да отговаря на всички филтри"),
            (["--generate", "10", "--region", "Атлантида"],
             "няма област „Атлантида“ в списъка (например „Варна“, „София - град“)"),
            (["--generate", "10", "--sex", "x"], "непознат пол „x“: мъж, жена, m или f"),
            (["--sex", "m", "123456789"], "--born, --sex, --region и --seed са само за --generate"),
            (["--generate", "1", "123456789"], "--generate не чете числа"),
            (["--decode", "--explain", "8001010008"], "--explain е само за проверката на контролната цифра"),
        ]
        for args, message in cases:
            with self.subTest(args=args):
                self.assertEqual(run(args), ("", f"egn-digit: {message}\nВижте „egn-digit --help“.\n", 2))


if __name__ == "__main__":
    PROGRAM = sys.argv.pop(1)
    unittest.main()
