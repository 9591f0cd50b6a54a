#!/usr/bin/env python3
"""The .xlsx reader and writer held to a workbook openpyxl writes: its cells
read through xlsx_tool as openpyxl wrote them (shared strings, numbers,
dates, booleans, a formula without a cached value, rows and cells left out);
written again with a cell of results in each row, the workbook opens in
openpyxl with every cell it had, the results in their column, the even rows'
filled light red. Where LibreOffice is installed, it reads the same into CSV,
and the workbook as LibreOffice writes it is held to the same.

Skipped (status 77) where no Python at hand has openpyxl.
Usage: xlsx_openpyxl_test.py XLSX_TOOL
"""
import datetime
import os
import shutil
import subprocess
import sys
import tempfile

SKIP = 77


def run(command):
    result = subprocess.run(command, capture_output=True)
    if result.returncode != 0:
        raise SystemExit(f"{command[0]} failed ({result.returncode}): {result.stderr.decode()}")
    return result.stdout.decode()


def make(path):
    from openpyxl import Workbook
    book = Workbook()
    sheet = book.active
    sheet.title = "Регистър"
    sheet.append(["Име", "ЕГН", "Дата", "Сума", "Платено"])
    sheet.append(["Иван", 7501020018, datetime.datetime(2024, 3, 1), 12.5, True])
    sheet.append(["Мария", "0551267871", datetime.date(1999, 12, 31), 3, False])
    sheet["A5"] = "след празен ред"
    sheet["D5"] = "=D2*2"  # no cached value: not a cell read
    sheet["C5"] = 551267871.0
    book.create_sheet("Бележки")["B2"] = "друг лист"
    book.save(path)


EXPECTED = """sheet Регистър
1\t0:text:Име\t1:text:ЕГН\t2:text:Дата\t3:text:Сума\t4:text:Платено
2\t0:text:Иван\t1:number:7501020018\t2:date:2024-03-01\t3:number:12.5\t4:boolean:TRUE
3\t0:text:Мария\t1:text:0551267871\t2:date:1999-12-31\t3:number:3\t4:boolean:FALSE
5\t0:text:след празен ред\t2:number:551267871
sheet Бележки
2\t1:text:друг лист
"""


def main():
    try:
        import openpyxl  # noqa: F401
    except ImportError:
        # Debian's openpyxl, where this Python is another.
        if sys.executable != "/usr/bin/python3" and os.path.exists("/usr/bin/python3"):
            if subprocess.run(["/usr/bin/python3", "-c", "import openpyxl"],
                              capture_output=True).returncode == 0:
                return subprocess.run(["/usr/bin/python3"] + sys.argv).returncode
        print("skipped: openpyxl is not installed")
        return SKIP
    work = tempfile.mkdtemp()
    try:
        return check(sys.argv[1], work)
    finally:
        shutil.rmtree(work)


def with_results(expected):
    """What a workbook's read gives once written again with results."""
    return expected.replace("Платено\n", "Платено\t5:text:ред 1\n").replace(
        "TRUE\n", "TRUE\t5:text:ред 2\n").replace("FALSE\n", "FALSE\t5:text:ред 3\n").replace(
        "551267871\n", "551267871\t5:text:ред 5\n").replace("3:number:25\n", "3:number:25\t5:text:ред 5\n")


def check_book(tool, work, original, expected, failures):
    from openpyxl import load_workbook
    name = os.path.basename(os.path.dirname(original)) + "/" + os.path.basename(original)
    read = run([tool, "read", original])
    if read != expected:
        failures.append(f"{name} read:\n{read}expected:\n{expected}")

    written = original.replace(".xlsx", "-written.xlsx")
    run([tool, "write", original, written, "0", "5"])
    before = load_workbook(original)["Регистър"]
    after = load_workbook(written)["Регистър"]
    for row in before.iter_rows():
        for cell in row:
            if after[cell.coordinate].value != cell.value:
                failures.append(f"{name} {cell.coordinate}: {after[cell.coordinate].value!r}, was {cell.value!r}")
    for number in (1, 2, 3, 5):
        cell = after[f"F{number}"]
        if cell.value != f"ред {number}":
            failures.append(f"{name} F{number}: {cell.value!r}")
        colour = cell.fill.fgColor.rgb if cell.fill.fill_type == "solid" else None
        if colour != ("FFFFC7CE" if number % 2 == 0 else None):
            failures.append(f"{name} F{number}: filled {cell.fill.fill_type} {colour}")
    if after["F4"].value is not None:
        failures.append(f"{name} F4 (an empty row): {after['F4'].value!r}")
    if after.calculate_dimension() != "A1:F5":
        failures.append(f"{name} dimension {after.calculate_dimension()}")

    again = run([tool, "read", written])
    if again != with_results(expected):
        failures.append(f"{name} read again:\n{again}expected:\n{with_results(expected)}")
    return written


def check(tool, work):
    failures = []
    original = f"{work}/book.xlsx"
    make(original)
    written = check_book(tool, work, original, EXPECTED, failures)

    soffice = shutil.which("soffice")
    if soffice is None:
        print("note: LibreOffice is not installed; its workbooks are left out")
    else:
        # LibreOffice's reading of the workbook written, and a workbook of its
        # own writing (the formula's value cached) read and written again.
        profile = f"-env:UserInstallation=file://{work}/profile"
        subprocess.run([soffice, profile, "--headless", "--convert-to", "xlsx", "--outdir",
                        f"{work}/calc", original], capture_output=True)
        subprocess.run([soffice, profile, "--headless", "--convert-to",
                        "csv:Text - txt - csv (StarCalc):44,34,76", "--outdir", f"{work}/csv", written],
                       capture_output=True)
        try:
            with open(f"{work}/csv/book-written.csv", encoding="utf-8") as f:
                lines = f.read().splitlines()
        except OSError as error:
            lines = [str(error)]
        if len(lines) < 5 or not lines[0].endswith(",ред 1") or not lines[4].endswith(",ред 5"):
            failures.append("LibreOffice's CSV: " + " | ".join(lines))
        if os.path.exists(f"{work}/calc/book.xlsx"):
            check_book(tool, work, f"{work}/calc/book.xlsx",
                       EXPECTED.replace("551267871\n", "551267871\t3:number:25\n"), failures)
        else:
            failures.append("LibreOffice wrote no .xlsx")

    for failure in failures:
        print(failure)
    if not failures:
        print("the workbooks read, and written again with results, as expected")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
