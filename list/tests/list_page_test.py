#!/usr/bin/python3
"""The list page (egn-list.html) in a real browser, held to egn-digit itself:
each register of the table below is given to the page (chosen as a file, or
pasted), checked, and the file the page gives for download must be
byte for byte what `egn-digit --column ...` writes for the same register;
its messages must be egn-digit's, its summary and column names exact, and
the page must make no connection on the way.

Usage: list_page_test.py WEB_BUILD_DIR EGN_DIGIT [ENGINE...]
(EGN_DIGIT: the program built for this machine; ENGINE: chromium, the
default, webkit or firefox, the last by list_page_firefox.js.) Prints "N passed, N failed" last; exits 1 on a failure.
"""
import base64
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import traceback
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(SOURCE, "window", "tests", "web", "web_engines"))
from drivers import accessibility_violations, painted_then_asked, serve, start  # noqa: E402  (the browsers, as the window's tests start them)
from selenium.webdriver.common.keys import Keys  # noqa: E402

BUILD = os.path.abspath(sys.argv[1])
EGN_DIGIT = os.path.abspath(sys.argv[2])
PAGE = os.path.join(BUILD, "list", "egn-list.html")
SITE = os.path.join(BUILD, "window", "site")
WORKBOOK = os.path.join(SOURCE, "docs", "examples", "регистър.xlsx")

# A register as a clerk's sheet holds it: a number whose leading zero was
# lost (a number cell), a right one, a wrong control digit, a malformed
# number (a text cell), a blank cell, and a number both without its zero and
# with a wrong control digit.
SHEET = [["Име", "ЕГН", "Град"], ["Петрова; Ана", 551267871, "Варна"], ["Иван", 8001010008, "Русе"],
         ["Георги", 8001010009, "София"], ["Мария", "12ab", "Пловдив"], ["Стоян", None, "Бургас"],
         ["Елена", 551267872, "Шумен"]]
# The same register as the sheet's CSV export: a field with the separator
# quoted, rows ending in CR LF.
ROWS = "".join(";".join(f'"{v}"' if ";" in str(v) else "" if v is None else str(v) for v in row)
               + "\r\n" for row in SHEET)
NAMES = ["Име", "ЕГН", "Град"]
MIXED = ("Проверени редове: 5; верни: 2; грешни: 2; с грешка: 1; с изгубени водещи нули: 2."
         " Програмата съобщи за проблеми: вижте съобщенията.")

# The rows of the register to look at, as the page's table shows them.
MALFORMED = ["5", "", "знакът „a“ (U+0061) не е цифра от 0 до 9"]
LOOKS = [["2", "0551267871", "водещата нула е изгубена"],
         ["4", "8001010009", "грешна контролна цифра; вярната е 8"], MALFORMED,
         ["7", "0551267872", "грешна контролна цифра; вярната е 1; водещата нула е изгубена"]]
DECODED = [["2", "0551267871", "водещата нула е изгубена"],
           ["4", "8001010009", "невалидно: контролната цифра трябва да е 8"], MALFORMED,
           ["7", "0551267872", "невалидно: контролната цифра трябва да е 1; водещата нула е изгубена"]]


def sheet_rows(rows):
    """The table rows of an OpenDocument sheet holding `rows`: digits in
    number cells, other text in text cells, None in an empty cell."""
    def cell(v):
        if v is None:
            return "<table:table-cell/>"
        kind = f'float" office:value="{v}' if str(v).isdigit() else "string"
        return f'<table:table-cell office:value-type="{kind}"><text:p>{v}</text:p></table:table-cell>'
    return "".join("<table:table-row>" + "".join(map(cell, r)) + "</table:table-row>" for r in rows)


def ods(rows, padding=0):
    """A spreadsheet of OpenDocument with `rows` in its first sheet, numbers
    in number cells; with `padding`, an image of that many bytes, stored,
    before the sheet."""
    content = ('<?xml version="1.0" encoding="UTF-8"?><office:document-content'
               ' xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"'
               ' xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"'
               ' xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" office:version="1.2">'
               '<office:body><office:spreadsheet><table:table table:name="Лист1">' + sheet_rows(rows) +
               "</table:table></office:spreadsheet></office:body></office:document-content>")
    path = tempfile.mktemp(suffix=".ods")
    try:
        with zipfile.ZipFile(path, "w") as z:
            z.writestr(zipfile.ZipInfo("mimetype", (1980, 1, 1, 0, 0, 0)),
                       "application/vnd.oasis.opendocument.spreadsheet")
            if padding:
                z.writestr(zipfile.ZipInfo("Thumbnails/thumbnail.png", (1980, 1, 1, 0, 0, 0)),
                           bytes(range(256)) * (padding // 256))
            z.writestr(zipfile.ZipInfo("content.xml", (1980, 1, 1, 0, 0, 0)), content,
                       compress_type=zipfile.ZIP_DEFLATED)
        return open(path, "rb").read()
    finally:
        os.remove(path)


def one_piece_exactly():
    """A CSV export whose checked file is 16 MiB to the byte, the size of the
    worker's pieces: the whole file leaves it as one piece, and nothing is
    left after it. The rows' count and the first name's length are worked
    out from what egn-digit writes for one row and for two."""
    def csv(name, rows):
        return ("Име;ЕГН;Град\r\n" + f"{name};8001010008;Русе\r\n" +
                "Иван;8001010008;Русе\r\n" * (rows - 1)).encode("cp1251")

    def checked(data):
        with tempfile.NamedTemporaryFile(suffix=".csv") as f:
            f.write(data)
            f.flush()
            return len(subprocess.run([EGN_DIGIT, "--column", "ЕГН", f.name], capture_output=True,
                                      check=True).stdout)
    one, two = checked(csv("Иван", 1)), checked(csv("Иван", 2))
    rows, short = divmod((1 << 24) - one, two - one)
    data = csv("Иван" + "а" * short, rows + 1)
    assert checked(data) == 1 << 24
    return data


# Each case: its name, the file's name and bytes (None: pasted, the text
# given), the column, whether --decode, the summary the page must give, the
# names it must offer for the column (None: not checked) and the rows its
# table must show.
CASES = [
    ("csv-windows-1251", "регистър.csv", ROWS.encode("cp1251"), "ЕГН", False, MIXED, NAMES, LOOKS),
    ("csv-utf-8", "регистър.csv", ROWS.encode("utf-8"), "ЕГН", False, MIXED, NAMES, LOOKS),
    ("csv-utf-8-decode", "регистър.csv", b"\xef\xbb\xbf" + ROWS.encode("utf-8"), "егн", True,
     MIXED, NAMES, DECODED),
    ("csv-by-number", "регистър.csv", ROWS.encode("cp1251"), "2", False, MIXED, NAMES, LOOKS),
    ("csv-utf-16", "регистър.csv", ROWS.encode("utf-16"), "ЕГН", False, MIXED, NAMES, LOOKS),
    # Nine digits get their tenth: neither right nor wrong, nothing to look at.
    ("pasted", None, "ЕГН\n8001010008\n8001010009\n750101001", "ЕГН", False,
     "Проверени редове: 3; верни: 1; грешни: 1; с изчислена контролна цифра: 1; с грешка: 0;"
     " с изгубени водещи нули: 0. Има грешни номера.", ["ЕГН"],
     [["3", "8001010009", "грешна контролна цифра; вярната е 8"]]),
    ("xlsx", "регистър.xlsx", open(WORKBOOK, "rb").read(), "ЕГН", False, None, None, None),
    # Its checked file (21 MB) leaves the worker's module in more than one piece.
    ("csv-in-pieces", "регистър.csv", ("Име;ЕГН;Град\r\n" + "Иван;8001010008;Русе\r\n"
                                       "Георги;8001010009;София\r\n" * 350_000).encode("cp1251"),
     "ЕГН", False, None, None, None),
    ("csv-one-piece-exactly", "регистър.csv", one_piece_exactly(), "ЕГН", False, None, None, None),
]
# A small sheet, and the same behind 17 MiB: the worker reads a file in blocks
# of 16 MiB, and the ZIP's directory, its sheet and the copy of its image
# written again lie in both, read back and forth.
for name, padding in (("ods", 0), ("ods-past-a-block", 17 << 20)):
    CASES.append((name, "регистър.ods", ods([["Име", "ЕГН"], ["Иван", "8001010008"],
                                             ["Георги", "8001010009"], ["Петър", "750101001"]], padding),
                  "ЕГН", True, "Проверени редове: 3; верни: 1; грешни: 1; с грешка: 1; с изгубени"
                  " водещи нули: 0. Програмата съобщи за проблеми: вижте съобщенията.", ["Име", "ЕГН"],
                  [["3", "8001010009", "невалидно: контролната цифра трябва да е 8"],
                   ["4", "", "за разчитане трябват 10 цифри, а са 9"]]))


# What LibreOffice Calc writes of the sheet: the case's name, --convert-to's
# filter (its first part the file's ending) and whether it is decoded.
CSV = "csv:Text - txt - csv (StarCalc):59,34,{},1,,0,false,true,false,false"
CALC_WRITES = [("calc-xlsx", "xlsx", False), ("calc-ods", "ods", True),
               ("calc-csv-windows-1251", CSV.format(34), False),
               ("calc-csv-utf-16", CSV.format(65535), False)]


def written_by_programs():
    """The cases of the register as spreadsheet programs write it: LibreOffice
    Calc's workbooks and its CSV exports in Windows-1251 and in UTF-16, and
    python3-openpyxl's workbook. Each must read as the register does."""
    import openpyxl  # noqa: PLC0415  (python3-openpyxl, only here)
    sys.path.insert(0, os.path.join(SOURCE, "table", "tests"))
    from libreoffice import FODS_HEAD, run  # noqa: PLC0415
    cases = []
    with tempfile.TemporaryDirectory() as work:
        book = openpyxl.Workbook()
        for row in SHEET:
            book.active.append(row)
        book.save(os.path.join(work, "openpyxl.xlsx"))
        cases.append(("openpyxl-xlsx", "регистър.xlsx", open(os.path.join(work, "openpyxl.xlsx"), "rb")
                      .read(), "ЕГН", False, MIXED, NAMES, LOOKS))

        flat = os.path.join(work, "calc.fods")
        with open(flat, "w", encoding="utf-8") as f:
            f.write(FODS_HEAD + '<office:body><office:spreadsheet><table:table table:name="Лист1">'
                    + sheet_rows(SHEET) + "</table:table></office:spreadsheet></office:body></office:document>")
        for name, kind, decode in CALC_WRITES:
            folder = os.path.join(work, name)
            run([shutil.which("soffice"), f"-env:UserInstallation=file://{work}/profile", "--headless",
                 "--convert-to", kind, "--outdir", folder, flat])
            ending = kind.split(":")[0]
            data = open(os.path.join(folder, "calc." + ending), "rb").read()
            cases.append((name, "регистър." + ending, data, "ЕГН", decode, None, NAMES,
                          DECODED if decode else LOOKS))
    return cases


def native(name, data, column, decode, scratch):
    """What egn-digit writes for the register: the file with its results
    (for a workbook the --output workbook) and its messages."""
    path = os.path.join(scratch, "native-" + name)
    with open(path, "wb") as f:
        f.write(data)
    args = [EGN_DIGIT, "--column", column] + (["--decode"] if decode else [])
    output = None
    if name.endswith((".xlsx", ".ods")):
        output = os.path.join(scratch, "native-out" + os.path.splitext(name)[1])
        args += ["--output", output]
    ran = subprocess.run(args + [path], capture_output=True)
    written = open(output, "rb").read() if output else ran.stdout
    said = ran.stderr.decode("utf-8").splitlines()
    return written, [line.replace(path, "/вход/" + name) for line in said]


def json_summary(name, data, column, decode, scratch):
    """The summary as egn-digit's JSON records give it, for a case whose
    summary is not written out above."""
    path = os.path.join(scratch, "json-" + name)
    with open(path, "wb") as f:
        f.write(data)
    args = [EGN_DIGIT, "--column", column, "--json"] + (["--decode"] if decode else [])
    ran = subprocess.run(args + [path], capture_output=True)
    counts = {"rows": 0, "right": 0, "wrong": 0, "computed": 0, "malformed": 0, "lost": 0}
    for line in ran.stdout.decode("utf-8").splitlines():
        record = json.loads(line)
        if record.get("input") == "":
            continue
        counts["rows"] += 1
        if "error" in record:
            counts["malformed"] += 1
        elif record.get("valid" if decode else "check_digit_ok"):
            counts["right"] += 1
        elif not decode and "check_digit_ok" not in record:
            counts["computed"] += 1  # nine digits, the tenth computed
        else:
            counts["wrong"] += 1
        counts["lost"] += 1 if record.get("lost_leading_zeros") else 0
    ending = {0: ".", 1: ". Има грешни номера."}.get(
        ran.returncode, ". Програмата съобщи за проблеми: вижте съобщенията.")
    return (f"Проверени редове: {counts['rows']}; верни: {counts['right']}; грешни:"
            f" {counts['wrong']}"
            + (f"; с изчислена контролна цифра: {counts['computed']}" if counts["computed"] else "")
            + f"; с грешка: {counts['malformed']}; с изгубени водещи нули:"
            f" {counts['lost']}{ending}")


def wait(driver, script, seconds=60):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        got = driver.execute_script(script)
        if got:
            return got
        time.sleep(0.1)
    raise AssertionError(f"waited {seconds} s for: {script}")


def run_case(driver, case, scratch, downloads, address=None):
    name, file_name, data, column, decode, summary, names, looks = case
    if file_name is None:
        shown_name = "поставени.csv"
        bytes_given = data.replace("\n", "\r\n").encode("utf-8")
    else:
        shown_name, bytes_given = file_name, data
    expected, messages = native(shown_name, bytes_given, column, decode, scratch)
    if summary is None:
        summary = json_summary(shown_name, bytes_given, column, decode, scratch)
    driver.get(address or "file://" + PAGE)
    if file_name is None:
        # Each line typed, then Enter: a line break as every driver sends it.
        driver.find_element("id", "pasted").send_keys(data.replace("\n", Keys.ENTER))
        driver.find_element("id", "column").click()  # the paste is over: its change
    else:
        path = os.path.join(scratch, file_name)
        with open(path, "wb") as f:
            f.write(data)
        driver.find_element("id", "file").send_keys(path)
    if names is not None:
        wait(driver, "return document.querySelectorAll('#names option').length")
        offered = driver.execute_script(
            "return [...document.querySelectorAll('#names option')].map(o => o.value)")
        assert offered == names, f"the column's names: {offered}, not {names}"
    box = driver.find_element("id", "column")
    box.clear()
    box.send_keys(column)
    driver.find_element("id", "mode-decode" if decode else "mode-check").click()
    driver.find_element("id", "start").click()
    said = wait(driver, "const s = document.getElementById('summary').textContent;"
                        "return !document.getElementById('start').disabled && s")
    assert said == summary, f"the summary: {said!r}, not {summary!r}"
    assert driver.execute_script("return document.getElementById('progress').value") == 1
    shown = driver.execute_script(
        "return [...document.querySelectorAll('#messages li')].map(l => l.textContent)")
    assert shown == messages, f"the messages: {shown}, not egn-digit's {messages}"
    if looks is not None:
        table = driver.execute_script(
            "return [...document.querySelectorAll('#looks tbody tr')]"
            ".map(r => [...r.cells].map(c => c.textContent))")
        assert table == looks, f"the rows to look at: {table}, not {looks}"
    if driver.capabilities["browserName"] in ("chrome", "chromium", "chrome-headless-shell"):
        got = downloaded(driver, downloads)
    else:
        # Where the driver cannot take a download, the Blob the link gives.
        got = base64.b64decode(driver.execute_async_script(
            "const done = arguments[0], reader = new FileReader();"
            "reader.onload = () => done(reader.result.slice(reader.result.indexOf(',') + 1));"
            "reader.readAsDataURL(egnOutput);"))
    assert got == expected, (f"the download ({len(got)} bytes) differs from egn-digit's output"
                             f" ({len(expected)} bytes)")


NO_SCRIPT = ("Тази страница работи само с JavaScript и WebAssembly, а в този браузър скриптовете са"
             " изключени. Разрешете скриптовете и заредете страницата отново, отворете я в друг или"
             " по-нов браузър или използвайте програмата egn-digit за Linux или Windows.")


def without_script(driver):
    """Without script the page says what it needs, and shows nothing that
    would not work."""
    driver.execute_cdp_cmd("Emulation.setScriptExecutionDisabled", {"value": True})
    try:
        driver.get("file://" + PAGE)
        shown = driver.find_element("tag name", "body").text
        assert shown == NO_SCRIPT, f"without script the page shows {shown!r}"
    finally:
        driver.execute_cdp_cmd("Emulation.setScriptExecutionDisabled", {"value": False})


def capped(driver, scratch):
    """Of many rows to look at and many messages, the first 200 of each are
    shown, and how many more there are."""
    path = os.path.join(scratch, "много.csv")
    with open(path, "wb") as f:
        f.write(b"\xd0\x95\xd0\x93\xd0\x9d\r\n" + b"8001010009\r\n12ab\r\n" * 205)
    driver.get("file://" + PAGE)
    driver.find_element("id", "file").send_keys(path)
    driver.find_element("id", "start").click()
    said = wait(driver, "const s = document.getElementById('summary').textContent;"
                        "return !document.getElementById('start').disabled && s")
    assert said == ("Проверени редове: 410; верни: 0; грешни: 205; с грешка: 205; с изгубени водещи"
                    " нули: 0. Програмата съобщи за проблеми: вижте съобщенията."), said
    shown = driver.execute_script(
        "const $ = id => document.getElementById(id);"
        "return [$('looks').tBodies[0].rows.length, $('more-looks').hidden,"
        " $('more-looks').textContent, $('messages').children.length,"
        " $('more-messages').hidden, $('more-messages').textContent]")
    more = ", които не са показани тук (вижте файла с резултатите)."
    assert shown == [200, False, "… и още 210" + more, 200, False, "… и още 5" + more], shown


def damaged_late(driver, scratch):
    """A file whose bytes stop being text past the first MiB, and past the
    first piece of its checked file (16 MiB) that has gone to the page:
    egn-digit keeps nothing of a file that is not whole, and the page offers
    nothing to download, only its message."""
    path = os.path.join(scratch, "отрязан.csv")
    with open(path, "wb") as f:
        f.write("Име;ЕГН\r\n".encode("utf-8") + "Иван;8001010008\r\n".encode("utf-8") * 700_000
                + b"X;80010\x00\r\n")
    driver.get("file://" + PAGE)
    driver.find_element("id", "file").send_keys(path)
    driver.find_element("id", "start").click()
    wait(driver, "const s = document.getElementById('summary').textContent;"
                 "return !document.getElementById('start').disabled && s", 180)
    state = driver.execute_script(
        "const $ = id => document.getElementById(id);"
        "return [$('download').hidden, [...$('messages').children].map(l => l.textContent)]")
    assert state[0], "a download is offered of a file that is not whole"
    assert state[1] == [
        "egn-digit: ред 700002: файлът не е текст в UTF-8 (нулев байт); редовете от този"
        " нататък не са записани",
        "egn-digit: „/изход/отрязан-проверен.csv“ не е записан"], state[1]


def with_a_pasted_number(driver):
    driver.get("file://" + PAGE)
    driver.find_element("id", "pasted").send_keys("ЕГН" + Keys.ENTER + "8001010008")


# A stopped check: Провери offered again, Спри not, the page saying so and
# offering no download.
STOPPED = [False, True, "Проверката е спряна.", True]


def stopped_state(driver):
    return driver.execute_script(
        "const $ = id => document.getElementById(id);"
        "return [$('start').disabled, $('stop').disabled, $('summary').textContent,"
        " $('download').hidden]")


def stopped(driver):
    """Спри ends the worker of the run under way and says so; Провери is
    offered again, and no download. The worker is held from its task, so
    that the run is under way whatever the machine's speed. Спри before the
    module is at hand (a slow machine's, or the site's on a slow network)
    stops the check all the same: no worker starts once it comes."""
    for early in (False, True):
        with_a_pasted_number(driver)
        driver.execute_script(
            "window.egnEnded = false; window.egnGiven = 0;"
            "egnGive = function (worker, task) {"
            "  if (task.names) return;"
            "  ++window.egnGiven;"
            "  const end = worker.terminate.bind(worker);"
            "  worker.terminate = () => { window.egnEnded = true; end(); };"
            "};"
            "const compiled = egnCompiled, held = new Promise(go => { window.egnGo = go; });"
            "if (arguments[0]) egnCompiled = () => held.then(compiled); else egnGo();", early)
        driver.find_element("id", "start").click()
        if not early:
            wait(driver, "return window.egnGiven")
        driver.find_element("id", "stop").click()
        if early:  # the module comes after Спри, and a while is given for a worker to start
            driver.execute_async_script(
                "const done = arguments[0]; egnGo(); egnCompiled().then(() => setTimeout(done, 500));")
        state = driver.execute_script("return [window.egnEnded, window.egnGiven]")
        assert state + stopped_state(driver) == [not early, int(not early)] + STOPPED, (early, state)


def stopped_while_kept(driver):
    """Спри after the worker's last message, while the page still makes the
    checked file a Blob: the check stays stopped, with no summary of the run
    and no download, when the Blob comes after it."""
    with_a_pasted_number(driver)
    driver.execute_async_script(
        "const done = arguments[0]; egnCompiled().then(() => {"
        "  const all = Promise.all.bind(Promise);"
        "  Promise.all = parts => { window.egnHeld = true;"
        "    return new Promise(go => { window.egnGo = go; }).then(() => all(parts)); };"
        "  done(); });")
    driver.find_element("id", "start").click()
    wait(driver, "return window.egnHeld")
    driver.find_element("id", "stop").click()
    driver.execute_async_script("const done = arguments[0]; egnGo(); setTimeout(done, 500);")
    assert stopped_state(driver) == STOPPED, stopped_state(driver)


# Runs that fail outside egn-digit's own handling: each name, the script
# that makes the page's worker fail so (run once its module is unpacked),
# and the browser's words the page must list.
FAILED_RUNS = [
    # The module stops (the browser refuses it memory, say).
    ("module-failed", "egnWorkerScript = new TextEncoder().encode('onmessage = () => postMessage("
     "{failed: \"RuntimeError: Aborted(OOM)\\\\n    at abort\", done: true});');",
     "RuntimeError: Aborted(OOM)"),
    # egn-digit kept its file, but the browser cannot make it a Blob (it
    # refuses the memory): never a summary that reads as a run that went well.
    ("output-refused", "const B = Blob; Blob = function (parts, options) {"
     " if (parts.some(part => ArrayBuffer.isView(part)))"
     "  throw new RangeError('Array buffer allocation failed');"
     " return new B(parts, options); };",
     "RangeError: Array buffer allocation failed"),
    # A worker that cannot read the file a slice at a time (WebKit's, in a
    # page opened from disk) gets its bytes from the page, which cannot
    # hold a file that large whole: never a page that waits for ever.
    ("bytes-refused", "egnWorkerScript = new Blob(['self.FileReaderSync = undefined;\\n',"
     " egnWorkerScript]); Blob.prototype.arrayBuffer = () =>"
     " Promise.reject(new RangeError('Array buffer allocation failed'));",
     "RangeError: Array buffer allocation failed"),
]


def failed_run(driver, setup, words):
    """The page says in Bulgarian that the check could not finish, offers
    nothing to download, lists the browser's own words, and offers Провери
    again."""
    driver.get("file://" + PAGE)
    driver.execute_async_script(
        "const done = arguments[0]; egnCompiled().then(() => { " + setup + " done(); });")
    driver.find_element("id", "pasted").send_keys("ЕГН" + Keys.ENTER + "8001010008")
    driver.find_element("id", "start").click()
    wait(driver, "return !document.getElementById('start').disabled &&"
                 " document.getElementById('messages').children.length")
    state = driver.execute_script(
        "const $ = id => document.getElementById(id);"
        "return [$('summary').textContent, [...$('messages').children].map(l => l.textContent),"
        " $('download').hidden]")
    assert state == [
        "Проверката не можа да завърши: програмата спря неочаквано, най-често защото паметта на"
        " браузъра не стига за толкова голям файл. Файл с резултати няма.",
        ["Подробности: " + words], True], state


def dropped(driver):
    """A file dropped on the page is taken as one chosen: its header's names
    are offered and it is checked."""
    driver.get("file://" + PAGE)
    driver.execute_script(
        "const given = new DataTransfer();"
        "given.items.add(new File([Uint8Array.from(atob(arguments[0]), c => c.charCodeAt(0))],"
        " 'регистър.csv'));"
        "const drop = new DragEvent('drop', {dataTransfer: given, bubbles: true, cancelable: true});"
        "document.getElementById('drop').dispatchEvent(drop);",
        base64.b64encode(ROWS.encode("cp1251")).decode())
    wait(driver, "return document.querySelectorAll('#names option').length")
    driver.find_element("id", "start").click()
    said = wait(driver, "const s = document.getElementById('summary').textContent;"
                        "return !document.getElementById('start').disabled && s")
    assert said == MIXED, said


def on_a_phone(driver, scratch, downloads):
    """In a phone's viewport (360 CSS pixels, touch) a file is chosen, checked
    and downloaded, and nothing of the page is wider than the screen."""
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                           {"width": 360, "height": 740, "deviceScaleFactor": 3, "mobile": True})
    driver.execute_cdp_cmd("Emulation.setTouchEmulationEnabled", {"enabled": True})
    try:
        path = os.path.join(scratch, "телефон.csv")
        with open(path, "wb") as f:
            f.write(ROWS.encode("cp1251"))
        driver.get("file://" + PAGE)
        driver.find_element("id", "file").send_keys(path)
        driver.find_element("id", "start").click()
        said = wait(driver, "const s = document.getElementById('summary').textContent;"
                            "return !document.getElementById('start').disabled && s")
        assert said == MIXED, said
        wider = driver.execute_script(
            "return [document.documentElement.scrollWidth, ...[...document.querySelectorAll("
            "'main *')].filter(e => e.getBoundingClientRect().right > 360).map(e => e.id || e.tagName)]")
        assert wider == [360], f"wider than the phone's screen: {wider}"
        expected, _ = native("телефон.csv", ROWS.encode("cp1251"), "ЕГН", False, scratch)
        assert downloaded(driver, downloads) == expected, "the download differs from egn-digit's"
    finally:
        driver.execute_cdp_cmd("Emulation.setTouchEmulationEnabled", {"enabled": False})
        driver.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})


def accessible(driver):
    """axe-core (as the window's tests run it, from the modules installed
    beside the build) finds no violation of WCAG 2.0 to 2.2 A and AA or of
    its best practices on the page with a register checked: its summary,
    link, messages and table filled."""
    def checked():
        driver.get("file://" + PAGE)
        path = os.path.join(tempfile.gettempdir(), "egn-list-axe.csv")
        with open(path, "wb") as f:
            f.write(ROWS.encode("cp1251"))
        try:
            driver.find_element("id", "file").send_keys(path)
            driver.find_element("id", "start").click()
            assert wait(driver, "const s = document.getElementById('summary').textContent;"
                                "return !document.getElementById('start').disabled && s") == MIXED
        finally:
            os.remove(path)
    violations = accessibility_violations(driver, BUILD, checked)
    assert violations == [], violations


def downloaded(driver, downloads):
    """The file the page's link gives, downloaded."""
    link = driver.find_element("id", "download")
    wanted = link.get_attribute("download")
    for old in os.listdir(downloads):
        os.remove(os.path.join(downloads, old))
    link.click()
    target = os.path.join(downloads, wanted)
    # Chromium reserves the name with an empty file before it writes the
    # download beside it (.crdownload, Firefox's .part) and renames it over:
    # the file is whole once it is the folder's only file.
    end = time.monotonic() + 30
    while os.listdir(downloads) != [wanted] and time.monotonic() < end:
        time.sleep(0.1)
    return open(target, "rb").read()


def on_the_site(driver, scratch, downloads):
    """The site's copy, served as a static host serves it: its module is the
    site's file, asked for from the site, and its registers come out as the
    self-contained page's do; it asks for nothing elsewhere."""
    server, origin = serve(SITE)
    try:
        requests_made(driver)  # what earlier checks asked for
        asked_after_paint(driver, origin)
        for case in CASES:
            if case[0] in ("csv-windows-1251", "xlsx", "pasted"):
                run_case(driver, case, scratch, downloads, origin + "egn-list.html")
        asked = requests_made(driver)
        assert origin + "egn-list.wasm" in asked, f"the module was not asked for: {asked}"
        elsewhere = [u for u in asked if not u.startswith((origin, "blob:", "data:"))]
        assert not elsewhere, f"the site's page asked for {elsewhere}"
    except Exception:
        # What this check asked for and said is not the next check's.
        requests_made(driver)
        driver.get_log("browser")
        raise
    finally:
        server.shutdown()
        server.server_close()


def asked_after_paint(driver, origin):
    """The site's page asks for its module with no file chosen, so that it is
    at hand, but only once it has painted: asked for before, its compiling
    held the first paint back."""
    driver.get(origin + "egn-list.html")
    times = None
    for _ in range(100):
        times = painted_then_asked(driver, origin + "egn-list.wasm")
        if times:
            break
        time.sleep(0.1)
    assert times, "the site's page did not ask for its module before a file was chosen"
    assert times[1] >= times[0], (f"the module was asked for at {times[1]} ms, before the first"
                                  f" paint at {times[0]} ms")


def requests_made(driver):
    """Every URL the page asked for, from Chromium's performance log."""
    urls = []
    for entry in driver.get_log("performance"):
        message = json.loads(entry["message"])["message"]
        if message["method"] == "Network.requestWillBeSent":
            urls.append(message["params"]["request"]["url"])
    return urls


def in_firefox(scratch):
    """The table's registers in Firefox ESR, by list_page_firefox.js
    (puppeteer-core, installed beside the build in BUILD/web_engines):
    (passed, failed)."""
    cases = []
    for name, file_name, data, column, decode, summary, _, _ in CASES:
        shown_name = file_name or "поставени.csv"
        given = data if file_name else data.replace("\n", "\r\n").encode("utf-8")
        expected, _ = native(shown_name, given, column, decode, scratch)
        folder = os.path.join(scratch, "firefox", name)
        os.makedirs(folder)
        with open(os.path.join(folder, "expected"), "wb") as f:
            f.write(expected)
        path = None
        if file_name:
            path = os.path.join(folder, file_name)
            with open(path, "wb") as f:
                f.write(data)
        cases.append({"name": name, "path": path, "pasted": None if file_name else data,
                      "column": column, "decode": decode,
                      "summary": summary or json_summary(shown_name, given, column, decode, scratch),
                      "expected": os.path.join(folder, "expected")})
    manifest = os.path.join(scratch, "firefox", "cases.json")
    with open(manifest, "w", encoding="utf-8") as f:
        json.dump(cases, f, ensure_ascii=False)
    home = os.path.join(scratch, "firefox", "home")
    os.makedirs(home)
    env = dict(os.environ, HOME=home,
               NODE_PATH=os.path.join(BUILD, "web_engines", "node_modules"))
    ran = subprocess.run(["node", os.path.join(HERE, "list_page_firefox.js"), PAGE, manifest],
                         env=env, capture_output=True, text=True)
    sys.stdout.write(ran.stdout)
    sys.stderr.write(ran.stderr)
    lines = ran.stdout.splitlines()
    passed = sum(line.startswith("ok ") for line in lines)
    failed = sum(line.startswith("FAILED ") for line in lines)
    if ran.returncode != 0 and failed == 0:
        failed = 1  # the driver itself failed
    return passed, failed


def main():
    engines = sys.argv[3:] or ["chromium"]
    CASES.extend(written_by_programs())
    passed = failed = 0
    for engine in engines:
        if engine == "firefox":
            with tempfile.TemporaryDirectory() as scratch:
                more, less = in_firefox(scratch)
            passed, failed = passed + more, failed + less
            continue
        driver = start(engine, network=True)
        try:
            with tempfile.TemporaryDirectory() as scratch:
                downloads = os.path.join(scratch, "downloads")
                os.mkdir(downloads)
                if engine == "chromium":
                    driver.execute_cdp_cmd("Browser.setDownloadBehavior",
                                           {"behavior": "allow", "downloadPath": downloads})
                checks = [(case[0], lambda c=case: run_case(driver, c, scratch, downloads))
                          for case in CASES]
                if engine == "chromium":
                    checks.append(("without-script", lambda: without_script(driver)))
                    checks.append(("accessible", lambda: accessible(driver)))
                    checks.append(("on-a-phone", lambda: on_a_phone(driver, scratch, downloads)))
                    checks.append(("dropped", lambda: dropped(driver)))
                    checks.append(("on-the-site", lambda: on_the_site(driver, scratch, downloads)))
                    checks += [(name, lambda s=setup, w=words: failed_run(driver, s, w))
                               for name, setup, words in FAILED_RUNS]
                checks.append(("stopped", lambda: stopped(driver)))
                checks.append(("stopped-while-kept", lambda: stopped_while_kept(driver)))
                checks.append(("capped", lambda: capped(driver, scratch)))
                checks.append(("damaged-late", lambda: damaged_late(driver, scratch)))
                for name, check in checks:
                    try:
                        check()
                        # Nothing but the page itself and what it made in
                        # memory: no connection anywhere.
                        if engine == "chromium":
                            elsewhere = [u for u in requests_made(driver)
                                         if not u.startswith(("file:", "blob:", "data:"))]
                            assert not elsewhere, f"the page asked for {elsewhere}"
                            errors = [e["message"] for e in driver.get_log("browser")
                                      if e["level"] == "SEVERE"]
                            assert not errors, f"the console's errors: {errors}"
                        print(f"ok {engine} {name}")
                        passed += 1
                    except Exception:  # noqa: BLE001  (every case is reported)
                        print(f"FAILED {engine} {name}")
                        traceback.print_exc()
                        failed += 1
        finally:
            driver.quit()
    print(f"{passed} passed, {failed} failed")
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
