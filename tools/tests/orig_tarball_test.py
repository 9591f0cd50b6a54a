#!/usr/bin/env python3
"""The release's source tarball (tools/orig-tarball.sh) holds the source
files but debian/, under egn-check-VERSION/, in a form that gives the same
bytes from any copy of the source: a checkout or a tree without git, in any
folder, under any umask and time zone.

Usage: orig_tarball_test.py SOURCE_DIR
"""
import calendar
import os
import re
import shutil
import subprocess
import sys
import tarfile
import tempfile
import time
import unittest

SOURCE = ""


def cmake_setting(name):
    with open(os.path.join(SOURCE, "CMakeLists.txt"), encoding="utf-8") as file:
        return re.search(r'^set\(%s "([^"]*)"\)' % name, file.read(), re.M).group(1)


def make(source, folder, umask="022", env=None):
    """Runs SOURCE's orig-tarball.sh into FOLDER; returns the tarball's path."""
    environment = {key: value for key, value in os.environ.items() if key != "SOURCE_DATE_EPOCH"}
    environment.update({"TZ": "UTC"}, **(env or {}))
    made = subprocess.run(["sh", "-c", 'umask %s && exec "$0" "$1"' % umask,
                           os.path.join(source, "tools", "orig-tarball.sh"), folder],
                          capture_output=True, text=True, env=environment, check=True)
    return made.stdout.strip()


def source_files(source):
    listed = subprocess.run([os.path.join(source, "tools", "source-files.sh")],
                            capture_output=True, check=True).stdout
    return [name.decode() for name in listed.split(b"\0") if name]


class OrigTarball(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.version = cmake_setting("EGN_VERSION_TEXT")
        cls.epoch = calendar.timegm(time.strptime(cmake_setting("EGN_RELEASE_DATE"), "%Y-%m-%d"))
        cls.scratch = tempfile.mkdtemp()
        cls.tarball = make(SOURCE, os.path.join(cls.scratch, "first"))

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.scratch)

    def read(self, path):
        with open(path, "rb") as file:
            return file.read()

    def test_named_for_the_release(self):
        self.assertEqual(os.path.basename(self.tarball), "egn-check_%s.orig.tar.gz" % self.version)

    def test_the_same_bytes_from_any_copy(self):
        # A copy of the source without git, in a folder of another name, its
        # files unpacked under umask 077: rw------- and rwx------.
        copy = os.path.join(self.scratch, "copy", "egn-check-elsewhere")
        os.makedirs(copy)
        files = subprocess.run([os.path.join(SOURCE, "tools", "source-files.sh")],
                               capture_output=True, check=True).stdout
        subprocess.run("tar --null -T - -cf - | (umask 077 && tar --no-same-permissions -xf - -C '%s')" % copy, shell=True,
                       input=files, cwd=SOURCE, check=True)
        cases = [
            ("another folder, umask 077, another time zone", SOURCE, "077", {"TZ": "Asia/Tokyo"}),
            ("a copy of the source without git", copy, "022", {}),
        ]
        for name, source, umask, env in cases:
            with self.subTest(name):
                other = make(source, os.path.join(self.scratch, name), umask, env)
                self.assertEqual(self.read(other), self.read(self.tarball))

    def test_gzip_records_no_name_and_no_time(self):
        header = self.read(self.tarball)[:10]
        self.assertEqual(header[3] & 0x08, 0, "gzip records the file's name")
        self.assertEqual(header[4:8], b"\0\0\0\0", "gzip records a time")

    def test_members_are_the_source_but_debian_in_byte_order(self):
        with tarfile.open(self.tarball) as tar:
            names = tar.getnames()
        wanted = sorted((name for name in source_files(SOURCE) if not name.startswith("debian/")),
                        key=lambda name: name.encode())
        self.assertEqual(names, ["egn-check-%s/%s" % (self.version, name) for name in wanted])

    def test_members_carry_nothing_of_the_machine(self):
        executable = {name for name in source_files(SOURCE)
                      if not name.startswith("debian/")
                      and not os.path.islink(os.path.join(SOURCE, name))
                      and os.access(os.path.join(SOURCE, name), os.X_OK)}
        prefix = "egn-check-%s/" % self.version
        with tarfile.open(self.tarball) as tar:
            for member in tar.getmembers():
                name = member.name[len(prefix):]
                with self.subTest(name):
                    self.assertEqual((member.uid, member.gid, member.uname, member.gname),
                                     (0, 0, "", ""))
                    self.assertEqual(member.mtime, self.epoch)
                    if member.issym():
                        self.assertEqual(member.linkname, os.readlink(os.path.join(SOURCE, name)))
                    else:
                        self.assertEqual(member.mode, 0o755 if name in executable else 0o644)

    def test_source_date_epoch_is_the_time(self):
        tarball = make(SOURCE, os.path.join(self.scratch, "epoch"),
                       env={"SOURCE_DATE_EPOCH": "1700000000"})
        with tarfile.open(tarball) as tar:
            self.assertEqual({member.mtime for member in tar.getmembers()}, {1700000000})


if __name__ == "__main__":
    SOURCE = os.path.realpath(sys.argv.pop(1))
    unittest.main()
