#!/usr/bin/python3
"""The list page (egn-list.html) beside egn-digit on the same registers: a
CSV export of ROWS rows (default 1 000 000) in Windows-1251, and a workbook
of BOOK_ROWS rows (default 100 000) written by python3-openpyxl, a third of
the numbers without their leading zeros. Each is checked RUNS times (default
3), alternating: by egn-digit on this machine (`--column ЕГН`, to /dev/null;
the workbook written again with `--output`), and by the page in Chromium and
in Firefox ESR, from the click on Провери to its summary (the file checked and
offered for download, with egn-digit's --summary for the summary and the
rows to look at, from the same reading). Medians of the wall-clock seconds, and how many times as
long as egn-digit the page takes.

Usage: bench/list_page.py WEB_BUILD_DIR EGN_DIGIT [RUNS] [ROWS] [BOOK_ROWS]
(Firefox through list/tests/list_page_firefox.js, with the modules
tools/check-web.sh installs in WEB_BUILD_DIR/web_engines.)
"""
import json
import os
import random
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(SOURCE, "window", "tests", "web", "web_engines"))
from drivers import start  # noqa: E402  (the browsers, as the page's tests start them)

FIREFOX_DRIVER = os.path.join(SOURCE, "list", "tests", "list_page_firefox.js")


def registers(program, work, rows, book_rows):
    """The CSV export and the workbook: their paths."""
    def numbers(count, seed):
        lost = count // 3
        made = subprocess.run([program, "--generate", str(lost), "--born", "2000..2009", "--seed",
                               str(seed)], capture_output=True, text=True, check=True).stdout.split()
        made += subprocess.run([program, "--generate", str(count - lost), "--born", "1940..1999",
                                "--seed", str(seed + 1)],
                               capture_output=True, text=True, check=True).stdout.split()
        random.Random(seed).shuffle(made)
        return made
    towns = ["София", "Пловдив", "Варна", "Бургас", "Русе"]
    csv = os.path.join(work, "регистър.csv")
    with open(csv, "wb") as f:
        lines = ["Име;ЕГН;Град"] + [f"Иван Петров;{int(n) if n.startswith('0') else n};"
                                   f"{towns[i % 5]}" for i, n in enumerate(numbers(rows, 1))]
        f.write(("\r\n".join(lines) + "\r\n").encode("cp1251"))
    book = os.path.join(work, "регистър.xlsx")
    subprocess.run(["/usr/bin/python3", "-c", """
import sys
from openpyxl import Workbook
book = Workbook(write_only=True)
sheet = book.create_sheet("Регистър")
sheet.append(["Име", "ЕГН", "Град"])
for i, n in enumerate(sys.stdin.read().split()):
    sheet.append(["Иван Петров", int(n), "София"])
book.save(sys.argv[1])
""", book], input="\n".join(numbers(book_rows, 3)), text=True, check=True)
    return csv, book


def native(program, path, work):
    args = [program, "--column", "ЕГН", path]
    if path.endswith(".xlsx"):
        args += ["--output", os.path.join(work, "проверен.xlsx")]
    started = time.perf_counter()
    subprocess.run(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.perf_counter() - started


def in_chromium(driver, page, path):
    """Seconds from the click on Провери to the summary, timed inside the
    page as list_page_firefox.js times it in Firefox (its timeInPage)."""
    driver.get("file://" + page)
    driver.find_element("id", "file").send_keys(path)
    with open(FIREFOX_DRIVER, encoding="utf-8") as f:
        script = f.read()
    hook = script[script.index("function timeInPage()"):script.index("\nasync function check")]
    driver.execute_script(hook + "timeInPage();")
    driver.find_element("id", "start").click()
    while (took := driver.execute_script("return window.egnTook")) is None:
        time.sleep(0.02)
    return took / 1000


def in_firefox(build, page, paths, runs, work):
    """Seconds for each path, RUNS runs each, alternating."""
    cases = [{"name": os.path.basename(p), "path": p, "pasted": None, "column": "ЕГН",
              "decode": False, "summary": None, "expected": None} for p in paths] * runs
    manifest = os.path.join(work, "cases.json")
    with open(manifest, "w", encoding="utf-8") as f:
        json.dump(cases, f, ensure_ascii=False)
    home = os.path.join(work, "home")
    os.makedirs(home, exist_ok=True)
    env = dict(os.environ, HOME=home, NODE_PATH=os.path.join(build, "web_engines", "node_modules"))
    ran = subprocess.run(["node", FIREFOX_DRIVER, page, manifest], env=env, capture_output=True,
                         text=True)
    if ran.returncode != 0:
        sys.exit(f"list_page.py: Firefox: {ran.stdout}{ran.stderr}")
    times = {os.path.basename(p): [] for p in paths}
    for line in ran.stdout.splitlines():
        _, _, name, ms, _ = line.split(" ")
        times[name].append(int(ms) / 1000)
    return [times[os.path.basename(p)] for p in paths]


def main():
    build, program = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    rows = int(sys.argv[4]) if len(sys.argv) > 4 else 1_000_000
    book_rows = int(sys.argv[5]) if len(sys.argv) > 5 else 100_000
    page = os.path.join(build, "list", "egn-list.html")
    with tempfile.TemporaryDirectory() as work:
        paths = registers(program, work, rows, book_rows)
        ours = {p: [] for p in paths}
        chromium = {p: [] for p in paths}
        driver = start("chromium")
        try:
            for _ in range(runs):
                for p in paths:
                    ours[p].append(native(program, p, work))
                    chromium[p].append(in_chromium(driver, page, p))
        finally:
            driver.quit()
        firefox = dict(zip(paths, in_firefox(build, page, paths, runs, work)))
        print(f"runs: {runs} each; the CSV {rows:_} rows ({os.path.getsize(paths[0]) / 1e6:.1f} MB),"
              f" the workbook {book_rows:_} rows ({os.path.getsize(paths[1]) / 1e6:.1f} MB)"
              .replace("_", " "))
        print(f"{'':12} {'egn-digit s':>12} {'Chromium s':>12} {'times':>6} {'Firefox s':>12}"
              f" {'times':>6}")
        for p, what in zip(paths, ("CSV", "workbook")):
            mine = statistics.median(ours[p])
            c, f = statistics.median(chromium[p]), statistics.median(firefox[p])
            print(f"{what:12} {mine:12.2f} {c:12.2f} {c / mine:6.1f} {f:12.2f} {f / mine:6.1f}")


if __name__ == "__main__":
    main()
