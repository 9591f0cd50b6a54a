#!/usr/bin/env python3
"""Writes the seed corpus of zip_reader_fuzz (table/fuzz/corpus/zip) with
Python's zipfile, a writer of its own: small packages with each layout the
reader knows, stored and deflated parts, data descriptors, ZIP64 fields and
end records, comments, UTF-8 names, a part of a method it cannot read, an
empty package. Each file's time is fixed, so that the same script writes
the same bytes. Usage: table/fuzz/make_corpus.py [FOLDER]"""
import io
import os
import sys
import zipfile

folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "corpus", "zip")
os.makedirs(folder, exist_ok=True)
TIME = (2025, 1, 1, 12, 0, 0)
SHEET = b'<sheetData><row r="1"><c r="A1" t="s"><v>0</v></c></row><row r="2"><c r="A2"><v>8001010008</v></c></row></sheetData>'


class Unseekable(io.RawIOBase):
    """A stream that cannot seek: zipfile then writes data descriptors."""

    def __init__(self):
        self.data = bytearray()

    def writable(self):
        return True

    def write(self, b):
        self.data += b
        return len(b)


def info(name, method=zipfile.ZIP_DEFLATED):
    member = zipfile.ZipInfo(name, TIME)
    member.compress_type = method
    member.external_attr = 0o100644 << 16
    return member


def package(name, parts, comment=b"", stream=None, zip64=False):
    out = stream if stream is not None else io.BytesIO()
    with zipfile.ZipFile(out, "w") as z:
        for member, data in parts:
            with z.open(member, "w", force_zip64=zip64) as f:
                f.write(data)
        z.comment = comment
    data = out.data if stream is not None else out.getvalue()
    with open(os.path.join(folder, name), "wb") as f:
        f.write(bytes(data))


package("workbook", [(info("[Content_Types].xml"), b"<Types/>"),
                     (info("xl/workbook.xml"), b"<workbook><sheets><sheet name='A'/></sheets></workbook>"),
                     (info("xl/worksheets/sheet1.xml"), SHEET)])
package("opendocument", [(info("mimetype", zipfile.ZIP_STORED), b"application/vnd.oasis.opendocument.spreadsheet"),
                         (info("content.xml"), b"<office:document-content/>")])
package("descriptors", [(info("a.xml"), SHEET), (info("b.bin", zipfile.ZIP_STORED), b"stored")],
        stream=Unseekable())
package("zip64", [(info("a.xml"), SHEET), (info("b.xml"), b"<b/>")], zip64=True)
package("comments", [(info("a.xml"), SHEET)], comment=b"a package comment")
utf8 = info("листове/лист1.xml")
package("utf8-name", [(utf8, SHEET)])
package("bzip2", [(info("a.xml", zipfile.ZIP_BZIP2), SHEET), (info("b.xml"), b"<b/>")])
package("empty", [])
