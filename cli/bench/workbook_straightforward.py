# What a user would otherwise write for egn-digit --column on a workbook,
# with python3-openpyxl: the column named ЕГН of the first sheet, each
# number's control digit computed from its first nine digits (a number cell
# given back its leading zeros) and its tenth digit checked. The yardstick
# of cli/bench/workbook.sh.
#   read FILE          openpyxl's read-only mode: one line a row to stdout
#   write FILE OUTPUT  the workbook loaded, a column of results added after
#                      the last one, saved as OUTPUT
import sys

from openpyxl import load_workbook

WEIGHTS = (2, 4, 8, 5, 10, 9, 7, 3, 6)


def result(value):
    if value is None:
        return ""
    number = f"{value:010d}" if isinstance(value, int) else str(value).strip()
    if len(number) != 10 or not number.isdigit():
        return "грешка"
    digit = sum(int(d) * w for d, w in zip(number, WEIGHTS)) % 11 % 10
    return "вярно" if int(number[9]) == digit else f"грешна цифра, трябва {digit}"


mode, path = sys.argv[1], sys.argv[2]
if mode == "read":
    book = load_workbook(path, read_only=True)
    rows = book.worksheets[0].iter_rows(values_only=True)
    header = next(rows)
    column = header.index("ЕГН")
    out = sys.stdout
    for row in rows:
        value = row[column] if column < len(row) else None
        out.write(f"{value},{result(value)}\n")
else:
    book = load_workbook(path)
    sheet = book.worksheets[0]
    header = [cell.value for cell in sheet[1]]
    column = header.index("ЕГН") + 1
    last = sheet.max_column + 1
    sheet.cell(row=1, column=last, value="проверка")
    for r in range(2, sheet.max_row + 1):
        sheet.cell(row=r, column=last, value=result(sheet.cell(row=r, column=column).value))
    book.save(sys.argv[3])
