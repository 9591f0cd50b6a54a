#!/usr/bin/env python3
"""The ZIP writer held to a spreadsheet program: workbooks that LibreOffice
Calc writes (.xlsx and .ods: two sheets, typed numbers and text, a formula,
styles) and one that openpyxl writes, each written again through zip_tool
with every part copied as stored and with every deflated part deflated anew;
LibreOffice then converts every workbook to CSV in one run, without a
complaint, and each written one gives the same CSV as its original.

Skipped (status 77) where LibreOffice is not installed.
Usage: zip_libreoffice_test.py ZIP_TOOL
"""
import os
import subprocess
import sys

from libreoffice import FODS_HEAD, run, with_soffice


FODS = FODS_HEAD + """ <office:automatic-styles>
  <style:style style:name="bold" style:family="table-cell">
   <style:text-properties fo:font-weight="bold"/>
  </style:style>
 </office:automatic-styles>
 <office:body><office:spreadsheet>
  <table:table table:name="Регистър">
   <table:table-row>
    <table:table-cell table:style-name="bold" office:value-type="string"><text:p>Име</text:p></table:table-cell>
    <table:table-cell table:style-name="bold" office:value-type="string"><text:p>ЕГН</text:p></table:table-cell>
    <table:table-cell table:style-name="bold" office:value-type="string"><text:p>Сума</text:p></table:table-cell>
   </table:table-row>
{rows}
  </table:table>
  <table:table table:name="Бележки">
   <table:table-row><table:table-cell office:value-type="string"><text:p>друг лист</text:p></table:table-cell></table:table-row>
  </table:table>
 </office:spreadsheet></office:body>
</office:document>
"""
ROW = """   <table:table-row>
    <table:table-cell office:value-type="string"><text:p>{name}</text:p></table:table-cell>
    <table:table-cell {number}</table:table-cell>
    <table:table-cell table:formula="of:=[.B{row}]*2" office:value-type="float" office:value="0"><text:p>0</text:p></table:table-cell>
   </table:table-row>"""

OPENPYXL = """
import sys
from openpyxl import Workbook
book = Workbook()
sheet = book.active
sheet.title = "Регистър"
sheet.append(["Име", "ЕГН"])
for i in range(1, 200):
    sheet.append([f"Лице {i}", str(8001010000 + i * 7919 % 1000000)])
book.create_sheet("Бележки").append(["друг лист"])
book.save(sys.argv[1])
"""


def check(tool, soffice, work):
    profile = f"-env:UserInstallation=file://{work}/profile"
    rows = []
    for i in range(1, 300):
        number = (f'office:value-type="float" office:value="{8001010000 + i}"><text:p>{8001010000 + i}</text:p>'
                  if i % 2 else f'office:value-type="string"><text:p>0{551267871 + i}</text:p>')
        rows.append(ROW.format(name=f"Лице {i}", number=number, row=i + 1))
    with open(f"{work}/calc.fods", "w", encoding="utf-8") as f:
        f.write(FODS.format(rows="\n".join(rows)))
    books = []
    for kind in ("xlsx", "ods"):
        run([soffice, profile, "--headless", "--convert-to", kind, "--outdir", work, f"{work}/calc.fods"])
        books.append(f"{work}/calc.{kind}")
    # openpyxl, a writer of its own: this Python's, or Debian's.
    for python in (sys.executable, "/usr/bin/python3"):
        if subprocess.run([python, "-c", "import openpyxl"], capture_output=True).returncode == 0:
            run([python, "-c", OPENPYXL, f"{work}/openpyxl.xlsx"])
            books.append(f"{work}/openpyxl.xlsx")
            break
    else:
        print("note: openpyxl is not installed; its workbook is left out")

    written = []
    for book in books:
        stem, kind = os.path.splitext(book)
        for command in ("copy", "rewrite"):
            out = f"{stem}-{command}{kind}"
            run([tool, command, book, out])
            written.append((book, out))

    csv = f"{work}/csv"
    converted = run([soffice, profile, "--headless", "--convert-to", "csv:Text - txt - csv (StarCalc):44,34,76",
                     "--outdir", csv] + books + [out for _, out in written])
    # LibreOffice says once that it runs without Java, which it needs not here.
    complaints = [line for line in converted.stderr.decode().splitlines()
                  if line.strip() and not line.startswith("Warning: failed to launch javaldx")]
    if complaints:
        raise SystemExit("LibreOffice complained: " + "\n".join(complaints))
    failures = []
    for book, out in written:
        def read(path):
            name = os.path.splitext(os.path.basename(path))[0] + ".csv"
            with open(os.path.join(csv, name), "rb") as f:
                return f.read()
        original = read(book)
        if len(original.splitlines()) < 200:
            failures.append(f"{os.path.basename(book)}: only {len(original.splitlines())} rows in its CSV")
        if read(out) != original:
            failures.append(f"{os.path.basename(out)}: its CSV differs from {os.path.basename(book)}'s")
        else:
            print(f"{os.path.basename(out)}: the same CSV as {os.path.basename(book)}")
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(with_soffice(check, sys.argv[1]))
