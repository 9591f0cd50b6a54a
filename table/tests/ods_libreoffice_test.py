#!/usr/bin/env python3
"""The .ods reader and writer held to LibreOffice Calc: a workbook Calc
writes (two sheets; numbers, text with runs of spaces and two lines, a
formula, an error, a blank row, identical rows Calc folds into one repeated
row, and the empty rows it repeats to the end) is read through ods_tool as
expected; written again with two result columns, Calc converts it without a
complaint, gives the original CSV with the results after it, and fills the
flagged result cells with the flag's colour.

Skipped (status 77) where LibreOffice is not installed.
Usage: ods_libreoffice_test.py ODS_TOOL
"""
import csv
import sys

from libreoffice import FODS_HEAD, run, with_soffice
import xml.etree.ElementTree as ET
import zipfile

OFFICE = "urn:oasis:names:tc:opendocument:xmlns:office:1.0"
TABLE = "urn:oasis:names:tc:opendocument:xmlns:table:1.0"
TEXT = "urn:oasis:names:tc:opendocument:xmlns:text:1.0"
STYLE = "urn:oasis:names:tc:opendocument:xmlns:style:1.0"
FO = "urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"

FODS = FODS_HEAD + """ <office:body><office:spreadsheet>
  <table:table table:name="Регистър">
{rows}
  </table:table>
  <table:table table:name="Бележки">
   <table:table-row><table:table-cell office:value-type="string"><text:p>друг лист</text:p></table:table-cell></table:table-row>
  </table:table>
 </office:spreadsheet></office:body>
</office:document>
"""


def text_cell(text):
    paragraphs = "".join(f"<text:p>{line.replace('  ', ' <text:s/>')}</text:p>" for line in text.split("\n"))
    return f'<table:table-cell office:value-type="string">{paragraphs}</table:table-cell>'


def number_cell(value):
    return f'<table:table-cell office:value-type="float" office:value="{value}"><text:p>{value}</text:p></table:table-cell>'


def rows():
    """The rows as FODS, and as ods_tool is to read them."""
    xml, expected = [], []

    def add(cells, want):
        xml.append("<table:table-row>" + "".join(cells) + "</table:table-row>")
        if want:
            expected.append(f"{len(xml)}\t" + "\t".join(want))

    add([text_cell(t) for t in ("Име", "ЕГН", "Бележка")],
        ["0:text:Име", "1:text:ЕГН", "2:text:Бележка"])
    for i in range(1, 41):
        row = len(xml) + 1
        if i == 20:
            add([], [])  # a blank row
            continue
        if i % 2:
            egn = 8001010000 + i
            add([text_cell(f"Лице  {i}"), number_cell(egn),
                 f'<table:table-cell table:formula="of:=[.B{row}]*2" office:value-type="float" '
                 f'office:value="0"><text:p>0</text:p></table:table-cell>'],
                [f"0:text:Лице  {i}", f"1:number:{egn}", f"2:number:{egn * 2}"])
        else:
            egn = f"0{551267871 + i}"
            add([text_cell(f"Лице  {i}"), text_cell(egn)], [f"0:text:Лице  {i}", f"1:text:{egn}"])
    add([text_cell("ред1\nред2"), number_cell(1),
         '<table:table-cell table:formula="of:=1/0" office:value-type="float" office:value="0">'
         '<text:p>0</text:p></table:table-cell>'],
        ["0:text:ред1\\nред2", "1:number:1", "2:error:#DIV/0!"])
    # Identical rows, which Calc keeps as one row repeated.
    xml.append('<table:table-row table:number-rows-repeated="3">' + text_cell("Същ") + number_cell(7)
               + "</table:table-row>")
    for number in range(len(xml), len(xml) + 3):
        expected.append(f"{number}\t0:text:Същ\t1:number:7")
    xml += ["", ""]  # the numbers of the rows repeated
    return "\n".join(xml), expected


def hand_made(path, xml):
    """The rows as a package written by hand, as other programs write one:
    every row's empty cells repeated to column 1024, the columns declared to
    there, the identical rows repeated, and an empty row repeated to the end
    of the sheet."""
    rows_xml = xml.replace("</table:table-row>",
                           '<table:table-cell table:number-columns-repeated="1021"/></table:table-row>')
    content = FODS.replace("<office:document ", "<office:document-content ").replace(
        "</office:document>", "</office:document-content>").replace(
        '<table:table table:name="Регистър">',
        '<table:table table:name="Регистър"><table:table-column table:number-columns-repeated="1024"/>'
    ).format(rows=rows_xml + '<table:table-row table:number-rows-repeated="1048500">'
             '<table:table-cell table:number-columns-repeated="1024"/></table:table-row>')
    manifest = ('<?xml version="1.0" encoding="UTF-8"?><manifest:manifest '
                'xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0" manifest:version="1.2">'
                '<manifest:file-entry manifest:full-path="/" '
                'manifest:media-type="application/vnd.oasis.opendocument.spreadsheet"/>'
                '<manifest:file-entry manifest:full-path="content.xml" manifest:media-type="text/xml"/>'
                '</manifest:manifest>')
    with zipfile.ZipFile(path, "w") as book:
        book.writestr("mimetype", "application/vnd.oasis.opendocument.spreadsheet", zipfile.ZIP_STORED)
        book.writestr("content.xml", content, zipfile.ZIP_DEFLATED)
        book.writestr("META-INF/manifest.xml", manifest, zipfile.ZIP_DEFLATED)


def convert(soffice, profile, kind, outdir, books):
    result = run([soffice, profile, "--headless", "--convert-to", kind, "--outdir", outdir] + books)
    # LibreOffice says once that it runs without Java, which it needs not here.
    complaints = [line for line in result.stderr.decode().splitlines()
                  if line.strip() and not line.startswith("Warning: failed to launch javaldx")]
    if complaints:
        raise SystemExit("LibreOffice complained: " + "\n".join(complaints))


def written_back(tool, soffice, profile, work, book, holding):
    """What is wrong with `book` written again with results, as Calc reads it."""
    failures = []
    run([tool, "results", f"{work}/{book}.ods", "0", "3", f"{work}/{book}-results.ods"])
    csv_dir = f"{work}/csv"
    convert(soffice, profile, "csv:Text - txt - csv (StarCalc):44,34,76", csv_dir,
            [f"{work}/{book}.ods", f"{work}/{book}-results.ods"])
    convert(soffice, profile, "fods", f"{work}/fods", [f"{work}/{book}-results.ods"])

    def table(name):
        with open(f"{csv_dir}/{name}.csv", encoding="utf-8", newline="") as f:
            return list(csv.reader(f))
    original, results = table(book), table(f"{book}-results")
    if len(results) != len(original):
        failures.append(f"results: {len(results)} rows, {len(original)} in the original")
    for number, (a, b) in enumerate(zip(original, results), start=1):
        want = (a + [""] * 3)[:3] + ([f"р{number}", "ok"] if number in holding else ["", ""])
        if (b + [""] * 5)[:5] != want or any(b[5:]):
            failures.append(f"results row {number}: {b}, want {want}")

    # The flagged cells (even rows) filled, the others not.
    root = ET.parse(f"{work}/fods/{book}-results.fods").getroot()
    fills = {}
    for style in root.iter(f"{{{STYLE}}}style"):
        properties = style.find(f"{{{STYLE}}}table-cell-properties")
        fills[style.get(f"{{{STYLE}}}name")] = (
            properties.get(f"{{{FO}}}background-color") if properties is not None else None)
    seen = 0
    for cell in root.iter(f"{{{TABLE}}}table-cell"):
        text = "".join(cell.itertext()).strip()
        if text.startswith("р") and text[1:].isdigit():
            seen += 1
            fill = fills.get(cell.get(f"{{{TABLE}}}style-name"))
            if (fill == "#ffc7ce") != (int(text[1:]) % 2 == 0):
                failures.append(f"{text}: filled {fill}")
    if seen < 30:
        failures.append(f"only {seen} result cells found in Calc's copy")

    return failures


def check(tool, soffice, work):
    profile = f"-env:UserInstallation=file://{work}/profile"
    xml, expected = rows()
    with open(f"{work}/calc.fods", "w", encoding="utf-8") as f:
        f.write(FODS.format(rows=xml))
    convert(soffice, profile, "ods", work, [f"{work}/calc.fods"])
    failures = []

    sheets = run([tool, "sheets", f"{work}/calc.ods"]).stdout.decode().splitlines()
    if sheets != ["Регистър", "Бележки"]:
        failures.append(f"sheets: {sheets}")
    read = run([tool, "read", f"{work}/calc.ods", "0"]).stdout.decode().splitlines()
    if read != expected:
        failures.append("read:\n" + "\n".join(f"  got {g!r}\n want {w!r}" for g, w in zip(read, expected) if g != w)
                        + f"\n  {len(read)} rows, {len(expected)} expected")

    hand_made(f"{work}/hand.ods", xml)
    holding = {int(line.split("\t")[0]) for line in expected}
    for book in ("calc", "hand"):
        failures += [f"{book}: {failure}" for failure in written_back(tool, soffice, profile, work, book, holding)]
    for failure in failures:
        print(failure)
    if not failures:
        print(f"{len(expected)} rows read as Calc wrote them; both books written back with their results")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(with_soffice(check, sys.argv[1]))
