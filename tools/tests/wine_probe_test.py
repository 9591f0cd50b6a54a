#!/usr/bin/env python3
"""How the tests find out whether Wine runs here, on any machine: the probe
(tools/wine-probe.sh) given Wine loaders that answer as each kind of machine
does, a kernel without IA-32 emulation among them ("Exec format error"); the
64-bit loader's stand-in for wine and wine-stable; the emulator that skips
what cannot run, and the one that starts again what Wine failed to start;
and a 32-bit Windows build configured as on such a machine, whose tests
ctest then lists as skipped.

Usage: wine_probe_test.py SOURCE_DIR [CLASS...]
Runs the named test classes (all without any). ThirtyTwoBitBuild alone is
skipped (status 77, the reason on standard output) where no i686 mingw-w64
compiler is installed: a run of only what cannot run here passes nothing.
"""
import os
import shutil
import stat
import subprocess
import sys
import tempfile
import unittest

SOURCE = ""
# A file the kernel refuses to run, as a kernel without IA-32 emulation
# refuses every 32-bit program: ELF's magic, then nothing it can read.
NOT_RUNNABLE = b"\x7fELF" + bytes(60)
EXEC_FORMAT = "this machine runs no 32-bit programs (IA-32 emulation off): {L32}: Exec format error"


def write(path, content):
    with open(path, "wb") as f:
        f.write(content.encode() if isinstance(content, str) else content)
    os.chmod(path, stat.S_IRWXU)


class Machines(unittest.TestCase):
    # What each loader does (runs, refused by the kernel, missing, fails) and
    # whether a plain `wine` on the PATH runs; what the probe then answers.
    # {L32} is the 32-bit loader's path, {SHIM} the 64-bit loader's stand-in.
    ROWS = [
        ("a machine that runs 32-bit programs", "runs", "runs", "runs",
         "{BIN}/wine", "", "yes", ""),
        ("IA-32 emulation off, wine32 installed: Debian's wine takes the 32-bit loader",
         "refused", "runs", "refused",
         "{SHIM}/wine", "{SHIM}", "no", EXEC_FORMAT),
        ("IA-32 emulation off, no wine on the PATH", "refused", "runs", None,
         "{SHIM}/wine", "{SHIM}", "no", EXEC_FORMAT),
        ("wine32 not installed", "missing", "runs", "runs",
         "{BIN}/wine", "", "unusable",
         "Wine's 32-bit loader {L32} is not installed (the package wine32:i386)"),
        ("a 32-bit loader that fails otherwise", "fails", "runs", "fails",
         "{SHIM}/wine", "{SHIM}", "unusable",
         "Wine's 32-bit loader does not run: err: no display (status 3)"),
        ("wine32 not installable, as tools/deps.sh noted", "missing", "runs", "runs",
         "{BIN}/wine", "", "no", "wine32:i386 could not be installed (index out of step)", "note"),
        ("a note, but wine32 installed since", "runs", "runs", "runs",
         "{BIN}/wine", "", "yes", "", "note"),
        ("no Wine at all", "missing", "missing", None, "", "", "unusable",
         "Wine's 32-bit loader {L32} is not installed (the package wine32:i386)"),
    ]
    BEHAVIOUR = {
        "runs": "#!/bin/sh\necho wine-8.0\n",
        "fails": "#!/bin/sh\necho 'err: no display' >&2\nexit 3\n",
        "refused": NOT_RUNNABLE,
    }

    def probe(self, work, loader32, loader64, plain_wine, note):
        names = {"L32": f"{work}/wine", "L64": f"{work}/wine64", "BIN": f"{work}/bin",
                 "SHIM": f"{SOURCE}/tools/wine64"}
        os.mkdir(names["BIN"])
        for path, kind in ((names["L32"], loader32), (names["L64"], loader64),
                           (f"{names['BIN']}/wine", plain_wine)):
            if kind in self.BEHAVIOUR:
                write(path, self.BEHAVIOUR[kind])
        os.symlink(shutil.which("dirname"), f"{names['BIN']}/dirname")
        env = {"PATH": names["BIN"], "EGN_WINE32_LOADER": names["L32"],
               "EGN_WINE64_LOADER": names["L64"], "EGN_WINE32_NOTE": f"{work}/note"}
        if note:
            with open(f"{work}/note", "w") as f:
                f.write("wine32:i386 could not be installed (index out of step)\nE: more\n")
        os.symlink(shutil.which("head"), f"{names['BIN']}/head")
        done = subprocess.run(["/bin/bash", f"{SOURCE}/tools/wine-probe.sh"], env=env,
                              capture_output=True, text=True, check=True)
        return done.stdout, names

    def test_each_machine_gets_its_answer(self):
        for name, loader32, loader64, plain, wine, path, wine32, why, *note in self.ROWS:
            with self.subTest(name), tempfile.TemporaryDirectory() as work:
                said, names = self.probe(work, loader32, loader64, plain, note)
                self.assertEqual(said, "".join(f"{key}={value.format(**names)}\n" for key, value in (
                    ("EGN_WINE", wine), ("EGN_WINE_PATH", path), ("EGN_WINE32", wine32),
                    ("EGN_WINE32_WHY", why))))


class StandIns(unittest.TestCase):
    def run_script(self, args, env=None, **kwargs):
        return subprocess.run(args, capture_output=True, text=True, env=env, **kwargs)

    def test_wine_and_wine_stable_take_the_64_bit_loader(self):
        with tempfile.TemporaryDirectory() as work:
            loader = f"{work}/wine64"
            write(loader, '#!/bin/sh\necho "$WINELOADER|$WINEDEBUG|$*"\n')
            for name in ("wine", "wine-stable"):
                with self.subTest(name):
                    done = self.run_script([f"{SOURCE}/tools/wine64/{name}", "wineboot.exe", "-i"],
                                           env={"PATH": "/usr/bin:/bin", "EGN_WINE64_LOADER": loader})
                    self.assertEqual((done.stdout, done.returncode),
                                     (f"{loader}|fixme-all|wineboot.exe -i\n", 0))

    def test_the_emulator_of_what_cannot_run_skips_and_says_why(self):
        done = self.run_script([f"{SOURCE}/tools/wine-cannot-run.sh", "no 32-bit programs here",
                                "/build/cli/egn-digit.exe", "--decode"])
        self.assertEqual((done.stdout, done.returncode),
                         ("skipped, egn-digit.exe is not run: no 32-bit programs here\n", 77))

    def test_a_program_wine_failed_to_start_is_started_once_more(self):
        # What each start of the program does, in turn; what the test then sees.
        start_failed = ("Application could not be started, or no application associated with "
                        "the specified file.\r\nShellExecuteEx failed: Internal error.\r\n")
        note = ("wine-run.sh: Wine could not start t.exe (ShellExecuteEx failed: Internal error.); "
                "starting it once more\n")
        shown = start_failed.replace("\r\n", "\n")  # as the test reads text
        rows = [
            ("started at the second try", ["start-fails", "passes"],
             shown + "ran a\n", note, 0, 2),
            ("never started", ["start-fails", "start-fails"], shown * 2, note, 1, 2),
            ("the program's own failure", ["fails", "passes"], "ran a\nfailed\n", "", 1, 1),
            ("its own output names the start later", ["fails-saying-so", "passes"],
             "ran a\n" + shown, "", 1, 1),
            ("passes", ["passes"], "ran a\n", "", 0, 1),
        ]
        actions = {"start-fails": f"printf '{start_failed}'; exit 1",
                   "passes": 'echo "ran $2"', "fails": 'echo "ran $2"; echo failed; exit 1',
                   "fails-saying-so": f"echo \"ran $2\"; printf '{start_failed}'; exit 1"}
        for name, starts, out, err, status, tries in rows:
            with self.subTest(name), tempfile.TemporaryDirectory() as work:
                cases = "".join(f"  {i + 1}) {actions[a]} ;;\n" for i, a in enumerate(starts))
                write(f"{work}/wine", f'#!/bin/sh\necho x >> {work}/tries\n'
                      f'case $(wc -l < {work}/tries) in\n{cases}esac\n')
                done = self.run_script([f"{SOURCE}/tools/wine-run.sh", f"{work}/wine", "t.exe", "a"])
                self.assertEqual((done.stdout, done.stderr, done.returncode), (out, err, status))
                self.assertEqual(len(open(f"{work}/tries").readlines()), tries)

    def test_the_environment_takes_the_answer_or_refuses_without_wine(self):
        script = f'source {SOURCE}/tools/wine-env.sh && echo "$PATH"'
        cases = [
            ({"EGN_WINE": "/x/wine64/wine", "EGN_WINE_PATH": "/x/wine64"}, "/x/wine64:/bin\n", "", 0),
            ({"EGN_WINE": "/usr/bin/wine", "EGN_WINE_PATH": ""}, "/bin\n", "", 0),
            ({"EGN_WINE": "", "EGN_WINE_PATH": ""}, "",
             "wine-env.sh: Wine cannot run here (neither wine nor /usr/lib/wine/wine64 --version "
             "runs): install wine64 and wine (tools/deps.sh --test)\n", 1),
        ]
        for answer, path, err, status in cases:
            with self.subTest(answer):
                env = {"PATH": "/bin", "EGN_WINE_PROBED": "1", **answer}
                done = self.run_script(["/bin/bash", "-c", script], env=env)
                self.assertEqual((done.stdout, done.stderr, done.returncode), (path, err, status))


class ThirtyTwoBitBuild(unittest.TestCase):
    """The windows32 toolchain on the probe's "no": every test that runs a
    program goes through the skipping emulator and ctest lists it as skipped;
    the headers are still read. Where no Wine was found at all, the scripts
    that drive a program under Wine are skipped by their own status 77.
    Configured, not built: ctest reaches the emulator or the script's check
    before any program."""

    # What the probe answered; the tests run; what they say; all skipped.
    ROWS = [
        ("no 32-bit programs here",
         {"EGN_WINE": "/x/wine64/wine", "EGN_WINE_PATH": "/x/wine64", "EGN_WINE32": "no",
          "EGN_WINE32_WHY": "no i386"},
         ["calc_tests", "egn_digit_windows_program", "path_entry_under_wine"],
         ["skipped, calc_tests.exe is not run: no i386",
          "skipped, egn-digit.exe is not run: no i386"]),
        ("no Wine at all",
         {"EGN_WINE": "", "EGN_WINE_PATH": "", "EGN_WINE32": "unusable",
          "EGN_WINE32_WHY": "no Wine"},
         ["egn_digit_windows_program", "path_entry_under_wine"],
         ["skipped: no Wine to run egn-digit.exe", "skipped: no Wine to run path-entry.exe"]),
    ]

    def test_tests_that_run_programs_are_skipped(self):
        for name, answer, tests, said in self.ROWS:
            with self.subTest(name), tempfile.TemporaryDirectory() as build:
                # The flags of the build running this test (a package build
                # exports its own) are for this machine, not for Windows.
                env = {key: value for key, value in os.environ.items()
                       if key not in ("CFLAGS", "CXXFLAGS", "CPPFLAGS", "LDFLAGS")}
                env.update({"EGN_WINE_PROBED": "1", **answer})
                configured = subprocess.run(
                    ["cmake", "-S", SOURCE, "-B", build, "-G", "Ninja",
                     f"-DCMAKE_TOOLCHAIN_FILE={SOURCE}/cmake/mingw-w64-i686.cmake",
                     "-DEGN_BUILD_TESTS=ON"], env=env, capture_output=True, text=True)
                self.assertEqual(configured.returncode, 0, configured.stdout + configured.stderr)
                done = subprocess.run(["ctest", "--test-dir", build, "-R", f"^({'|'.join(tests)})$",
                                       "-V"], env=env, capture_output=True, text=True)
                self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
                for line in said:
                    self.assertIn(line, done.stdout)
                for test in tests:
                    self.assertRegex(done.stdout, rf"\d+ - {test} \(Skipped\)")
                listed = subprocess.run(["ctest", "--test-dir", build, "-N"], env=env,
                                        capture_output=True, text=True, check=True).stdout
                self.assertIn("egn_digit_windows_headers", listed)


def main():
    global SOURCE
    SOURCE = os.path.realpath(sys.argv.pop(1))
    # Decided before unittest runs: unittest takes an exit inside a test for
    # an error, and a skipped test for a pass.
    if sys.argv[1:] == ["ThirtyTwoBitBuild"] and not shutil.which("i686-w64-mingw32-g++-posix"):
        print("skipped: no i686 mingw-w64 compiler (tools/deps.sh --windows)")
        sys.exit(77)
    unittest.main()


if __name__ == "__main__":
    main()
