#!/usr/bin/env bash
# Speed and memory of egn-digit --column on a workbook (.xlsx) of ROWS rows
# (default 1 000 000) of six columns (Име, Фамилия, ЕГН, Град, Телефон,
# Дата), written by python3-openpyxl as a register is: the numbers as
# number cells (a third of them born in 2000-2009, without their leading
# zeros), the rest text. Beside it, in the same rounds, the straightforward
# Python program (cli/bench/workbook_straightforward.py, openpyxl): reading
# alone (egn-digit's CSV to /dev/null; openpyxl's read-only mode) and
# reading and writing the workbook again (--output; openpyxl's load and
# save). Each command runs RUNS times (default 3), alternating; the medians
# of the wall-clock and processor seconds, the peak resident memory, and
# how many times as fast egn-digit is.
# Usage: cli/bench/workbook.sh [BUILD_DIR] [RUNS] [ROWS]   (a release build)
set -euo pipefail
build=${1:-out/release}
runs=${2:-3}
rows=${3:-1000000}
program=$(realpath "$build/cli/egn-digit")
here=$(realpath "$(dirname "$0")")
# Debian's Python, with its python3-openpyxl.
python=${PYTHON:-/usr/bin/python3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

lost=$((rows / 3))
"$program" --generate "$lost" --born 2000..2009 --seed 1 >"$work/lost"
"$program" --generate $((rows - lost)) --born 1940..1999 --seed 2 >"$work/kept"
"$python" - "$work" <<'PY'
import random, sys
from openpyxl import Workbook
work = sys.argv[1]
rng = random.Random(1)
numbers = [int(n) for n in open(f"{work}/lost").read().split()] + open(f"{work}/kept").read().split()
rng.shuffle(numbers)
book = Workbook(write_only=True)
sheet = book.create_sheet("Регистър")
sheet.append(["Име", "Фамилия", "ЕГН", "Град", "Телефон", "Дата"])
names = ["Иван", "Мария", "Петър", "Елена", "Георги", "Десислава"]
towns = ["София", "Пловдив", "Варна", "Бургас", "Русе"]
for number in numbers:
    sheet.append([rng.choice(names), "Петров", number, rng.choice(towns),
                  f"08{rng.randrange(10**8):08d}", "01.02.2024"])
book.save(f"{work}/register.xlsx")
PY

"$python" - "$program" "$here/workbook_straightforward.py" "$work" "$runs" "$rows" <<'PY'
import os, statistics, subprocess, sys, threading, time
program, straightforward, work, runs, rows = sys.argv[1:4] + [int(sys.argv[4]), int(sys.argv[5])]
book = f"{work}/register.xlsx"
commands = [
    ("read: egn-digit --column ЕГН (CSV)", [program, "--column", "ЕГН", book]),
    ("read: openpyxl, read-only", [sys.executable, straightforward, "read", book]),
    ("read and write: egn-digit --output", [program, "--column", "ЕГН", book, "--output", f"{work}/out.xlsx"]),
    ("read and write: openpyxl, load and save", [sys.executable, straightforward, "write", book, f"{work}/py.xlsx"]),
]

def run(command):
    """Wall-clock and processor seconds, and the peak resident memory (MiB)."""
    start = time.perf_counter()
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL)
    most = [0]
    done = threading.Event()
    # The watcher only reads /proc: reaping the child is wait4's alone (a
    # poll() here would take its status first).
    def watch():
        while not done.is_set():
            try:
                with open(f"/proc/{process.pid}/status") as status:
                    most[0] = max([most[0]] + [int(l.split()[1]) for l in status if l.startswith("VmHWM:")])
            except OSError:
                pass
            time.sleep(0.01)
    watcher = threading.Thread(target=watch)
    watcher.start()
    _, status, usage = os.wait4(process.pid, 0)
    done.set()
    watcher.join()
    code = os.waitstatus_to_exitcode(status)
    if code not in (0, 1):
        sys.exit(f"workbook.sh: {command} ended with {code}")
    return time.perf_counter() - start, usage.ru_utime + usage.ru_stime, most[0] / 1024

results = {name: [] for name, _ in commands}
for _ in range(runs):
    for name, command in commands:
        results[name].append(run(command))
print(f"runs: {runs} each, alternating; {rows:,} rows of 6 columns, {os.path.getsize(book) / 1e6:.1f} MB".replace(",", " "))
print(f"{'':42} wall s    CPU s   peak MiB")
median = {}
for name, _ in commands:
    wall, cpu, peak = (statistics.median(r[i] for r in results[name]) for i in range(3))
    median[name] = wall
    print(f"{name:42} {wall:7.2f}  {cpu:7.2f}  {peak:8.1f}")
for what in ("read", "read and write"):
    ours = next(v for k, v in median.items() if k.startswith(f"{what}: egn-digit"))
    theirs = next(v for k, v in median.items() if k.startswith(f"{what}: openpyxl"))
    print(f"{what}: egn-digit is {theirs / ours:.1f} times as fast as openpyxl")
PY
