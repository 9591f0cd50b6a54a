#!/usr/bin/env python3
"""The real egn-digit on arguments, standard input and pipes.

Usage: program_test.py PATH_TO_EGN_DIGIT
"""
import random
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
        ]
        for args, stdin, out, err, status in cases:
            with self.subTest(args=args, stdin=stdin):
                self.assertEqual(run(args, stdin), (out, err, status))

    def test_help_says_what_is_checked(self):
        out, err, status = run(["--help"])
        self.assertEqual((err, status), ("", 0))
        self.assertTrue(out.startswith("Употреба: egn-digit [--explain] [ЧИСЛО]...\n"))
        self.assertIn("„вярна“ не значи, че ЕГН е валидно", out)

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

    def test_digits_agree_with_the_rule_on_random_numbers(self):
        rng = random.Random(20261208)
        nines = [f"{rng.randrange(10**9):09d}" for _ in range(5000)]
        tens = [n + str(rng.randrange(10)) for n in nines[:2000]]
        out, _, status = run(stdin="\n".join(nines + tens).encode())
        self.assertEqual(status, 1 if any(t[9] != control_digit(t) for t in tens) else 0)
        expected = [f"{n}\t{n}{control_digit(n)}" for n in nines]
        expected += [f"{t}\tвярна" if t[9] == control_digit(t) else f"{t}\tневярна\t{control_digit(t)}"
                     for t in tens]
        self.assertEqual(out.splitlines(), expected)

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

if __name__ == "__main__":
    PROGRAM = sys.argv.pop(1)
    unittest.main()
