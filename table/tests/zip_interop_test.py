#!/usr/bin/env python3
"""The ZIP reader and writer (through zip_tool) held to another program's
packages, Python's zipfile, both ways: the packages zipfile writes, in each
layout it can write, are read part for part as zipfile reads them; what the
writer makes of them, parts copied as stored or deflated anew, passes
zipfile's testzip() with the same parts, names, times and attributes; a
copied part keeps every byte of its local header, data and descriptor; and
the same package written twice is the same bytes.

Usage: zip_interop_test.py ZIP_TOOL
"""
import io
import os
import subprocess
import sys
import tempfile
import unittest
import zipfile

TOOL = ""
TIME = (2024, 2, 29, 23, 59, 58)


def sheet(rows):
    return "".join(
        f'<row r="{r}"><c r="A{r}" t="inlineStr"><is><t>Мария Иванова</t></is></c>'
        f'<c r="B{r}"><v>{8001010000 + r * 7919 % 1000000}</v></c></row>'
        for r in range(1, rows + 1)).encode()


class Unseekable(io.RawIOBase):
    """A stream that cannot seek: zipfile then writes data descriptors."""

    def __init__(self):
        self.data = bytearray()

    def writable(self):
        return True

    def write(self, b):
        self.data += b
        return len(b)


def member(name, method=zipfile.ZIP_DEFLATED, level=None, mode=0o100644):
    info = zipfile.ZipInfo(name, TIME)
    info.compress_type = method
    info._compresslevel = level
    info.external_attr = mode << 16
    return info


def package(parts, comment=b"", unseekable=False, zip64=False):
    out = Unseekable() if unseekable else io.BytesIO()
    with zipfile.ZipFile(out, "w") as z:
        for info, data in parts:
            with z.open(info, "w", force_zip64=zip64) as f:
                f.write(data)
        z.comment = comment
    return bytes(out.data) if unseekable else out.getvalue()


# Packages as zipfile writes them: (what, bytes).
LAYOUTS = [
    ("deflated, as a workbook", package([
        (member("[Content_Types].xml"), b'<?xml version="1.0"?><Types/>'),
        (member("xl/workbook.xml"), b"<workbook/>"),
        (member("xl/worksheets/sheet1.xml"), sheet(3000)),
        (member("xl/media/"), b""),
    ])),
    ("stored", package([
        (member("mimetype", zipfile.ZIP_STORED), b"application/vnd.oasis.opendocument.spreadsheet"),
        (member("content.xml", zipfile.ZIP_STORED), sheet(100)),
    ])),
    ("deflated at levels 1 and 9", package([
        (member("fast.xml", level=1), sheet(2000)),
        (member("small.xml", level=9), sheet(2000)),
    ])),
    ("data descriptors", package([
        (member("a.xml"), sheet(1000)),
        (member("b.bin", zipfile.ZIP_STORED), bytes(range(256)) * 10),
        (member("empty.xml"), b""),
    ], unseekable=True)),
    ("ZIP64 local headers", package([
        (member("a.xml"), sheet(500)),
        (member("b.xml", zipfile.ZIP_STORED), b"<b/>"),
    ], zip64=True)),
    ("ZIP64 with descriptors", package([(member("a.xml"), sheet(500))], unseekable=True, zip64=True)),
    ("comments and UTF-8 names", package([
        (member("листове/лист1.xml"), sheet(50)),
        (member("docProps/app.xml", mode=0o100600), b"<Properties/>"),
    ], comment="регистър".encode())),
    ("parts of methods it cannot read", package([
        (member("a.xml", zipfile.ZIP_BZIP2), sheet(200)),
        (member("b.xml", zipfile.ZIP_LZMA), sheet(200)),
        (member("c.xml"), sheet(200)),
    ])),
    ("empty", package([])),
]


def many_parts():
    """70 000 parts: more than a 16-bit count holds, so ZIP64 end records."""
    return package([(member(f"p/{i}.txt", zipfile.ZIP_STORED), str(i).encode())
                    for i in range(70000)])


def tool(*args, check=True):
    result = subprocess.run([TOOL, *args], capture_output=True)
    if check and result.returncode != 0:
        raise AssertionError(f"zip_tool {' '.join(args)}: {result.stderr.decode()}")
    return result


def local_record(data, info):
    """A part's local header, data and descriptor, as stored."""
    offset = info.header_offset
    name_length = int.from_bytes(data[offset + 26:offset + 28], "little")
    extra_length = int.from_bytes(data[offset + 28:offset + 30], "little")
    end = offset + 30 + name_length + extra_length + info.compress_size
    if info.flag_bits & 0x08:
        zip64 = extra_length and int.from_bytes(data[offset + 30 + name_length:][:2], "little") == 1
        end += (4 if data[end:end + 4] == b"PK\x07\x08" else 0) + (20 if zip64 else 12)
    return data[offset:end]


class ZipfileInterop(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.TemporaryDirectory()
        self.addCleanup(self.work.cleanup)

    def path(self, name, data=None):
        path = os.path.join(self.work.name, name)
        if data is not None:
            with open(path, "wb") as f:
                f.write(data)
        return path

    def check_reads(self, what, data):
        source = self.path("in.zip", data)
        with zipfile.ZipFile(io.BytesIO(data)) as z:
            listed = tool("list", source).stdout.decode().splitlines()
            self.assertEqual(len(listed), len(z.infolist()), what)
            for line, info in zip(listed, z.infolist()):
                self.assertEqual(line.split("\t"), [
                    info.filename, str(info.compress_type), str(info.file_size),
                    f"{info.CRC:08X}", str(info.compress_size)], what)
                if info.compress_type in (zipfile.ZIP_STORED, zipfile.ZIP_DEFLATED):
                    self.assertEqual(tool("cat", source, info.filename).stdout, z.read(info), what)
                else:
                    refused = tool("cat", source, info.filename, check=False)
                    self.assertEqual(refused.returncode, 2)
                    self.assertEqual(refused.stderr.decode().strip(), (
                        f"частта „{info.filename}“ е компресирана по непознат начин "
                        f"(метод {info.compress_type}); четат се само без компресия и с deflate"))

    def check_written(self, what, data, written, copied):
        with zipfile.ZipFile(io.BytesIO(data)) as was, zipfile.ZipFile(io.BytesIO(written)) as now:
            self.assertIsNone(now.testzip(), what)
            self.assertEqual(now.comment, was.comment, what)
            self.assertEqual([i.filename for i in now.infolist()], [i.filename for i in was.infolist()])
            for a, b in zip(was.infolist(), now.infolist()):
                self.assertEqual((b.date_time, b.external_attr, b.CRC, b.file_size),
                                 (a.date_time, a.external_attr, a.CRC, a.file_size), f"{what}: {a.filename}")
                if copied:
                    self.assertEqual(local_record(written, b), local_record(data, a), f"{what}: {a.filename}")
                else:
                    self.assertEqual(b.compress_type, a.compress_type)
                    self.assertEqual(now.read(b), was.read(a), f"{what}: {a.filename}")

    def test_reads_what_zipfile_writes(self):
        for what, data in LAYOUTS:
            with self.subTest(what):
                self.check_reads(what, data)

    def test_zipfile_reads_what_it_writes(self):
        for what, data in LAYOUTS:
            for command in ("copy", "rewrite"):
                with self.subTest(what, command=command):
                    source = self.path("in.zip", data)
                    tool(command, source, self.path("out.zip"))
                    with open(self.path("out.zip"), "rb") as f:
                        written = f.read()
                    self.check_written(what, data, written, command == "copy")
                    tool(command, source, self.path("again.zip"))
                    with open(self.path("again.zip"), "rb") as f:
                        self.assertEqual(f.read(), written, f"{what}: written twice")

    def test_more_parts_than_sixteen_bits_count(self):
        data = many_parts()
        source = self.path("many.zip", data)
        self.assertEqual(len(tool("list", source).stdout.splitlines()), 70000)
        tool("copy", source, self.path("out.zip"))
        with open(self.path("out.zip"), "rb") as f:
            written = f.read()
        with zipfile.ZipFile(io.BytesIO(written)) as z:
            self.assertIsNone(z.testzip())
            self.assertEqual(len(z.infolist()), 70000)
            self.assertEqual(z.read("p/69999.txt"), b"69999")
        # The ZIP64 end record and its locator, before the plain end record.
        self.assertEqual(written[-22 - 20:-22][:4], b"PK\x06\x07")

    def test_refuses_what_zipfile_writes_encrypted_or_damaged(self):
        data = LAYOUTS[0][1]
        encrypted = bytearray(data)
        with zipfile.ZipFile(io.BytesIO(data)) as z:
            first = z.infolist()[0]
        # Bit 0 of the flags, in the local header and in every record.
        encrypted[first.header_offset + 6] |= 1
        at = 0
        while (at := encrypted.find(b"PK\x01\x02", at)) >= 0:
            encrypted[at + 8] |= 1
            at += 4
        cases = [
            ("encrypted", bytes(encrypted), "ZIP-ът е защитен с парола: частта „[Content_Types].xml“ е шифрована"),
            ("cut short", data[:len(data) // 2], "ZIP-ът е повреден: краят на централната директория липсва (файлът е отрязан?)"),
            ("no ZIP", b"\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1" + bytes(1000), "файлът не е ZIP"),
        ]
        for what, bytes_, problem in cases:
            with self.subTest(what):
                refused = tool("list", self.path("bad.zip", bytes_), check=False)
                self.assertEqual((refused.returncode, refused.stderr.decode().strip()), (2, problem))


if __name__ == "__main__":
    TOOL = sys.argv.pop(1)
    unittest.main()
