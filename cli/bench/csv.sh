#!/usr/bin/env bash
# Speed and memory of egn-digit --column on spreadsheet exports of five
# columns (Име, Фамилия, ЕГН, Град, Телефон) and ROWS rows (default
# 5 000 000): in UTF-8 with its byte-order mark and ',', and in Windows-1251
# with ';', as spreadsheets save them. Every number is valid; a third are of
# births in 2000-2009, kept as a spreadsheet keeps a number, without their
# leading zeros; now and then a name holds the separator and is quoted.
# Every command runs RUNS times (default 5), alternating, to /dev/null; the
# medians of the wall-clock time and of rows a second, of the processor time
# (user and system, which other work on a shared machine disturbs less), and
# the peak resident memory, beside that of the same command on a tenth of
# the rows (constant memory: the two are the same). The outputs are checked first: a row for
# every row, the lost zeros named, the status 0. With OTHER_BUILD_DIR
# (another build, an earlier commit's), its egn-digit runs every command
# too, in the same rounds, beside the first: a change measured side by side.
# Usage: cli/bench/csv.sh [BUILD_DIR] [RUNS] [ROWS] [OTHER_BUILD_DIR]   (release builds)
set -euo pipefail
build=${1:-out/release}
runs=${2:-5}
rows=${3:-5000000}
other=${4:+$4/cli/egn-digit}
program=$build/cli/egn-digit
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

lost=$((rows / 3))
"$program" --generate "$lost" --born 2000..2009 --seed 1 >"$work/lost"
"$program" --generate $((rows - lost)) --born 1940..1999 --seed 2 >"$work/kept"

python3 - "$work" "$rows" <<'PY'
import random, sys
work, rows = sys.argv[1], int(sys.argv[2])
rng = random.Random(1)
lost = open(f"{work}/lost").read().split()
kept = open(f"{work}/kept").read().split()
numbers = [str(int(n)) for n in lost] + kept  # a spreadsheet's number has no leading zeros
rng.shuffle(numbers)
names = ["Иван", "Мария", "Петър", "Елена", "Георги", "Десислава", "Никола", "Йорданка"]
families = ["Петров", "Иванова", "Георгиев", "Димитрова", "Николов", "Стоянова"]
towns = ["София", "Пловдив", "Варна", "Бургас", "Русе", "Стара Загора", "Велико Търново"]
for name, encoding, separator in (("utf8.csv", "utf-8-sig", ","), ("cp1251.csv", "cp1251", ";")):
    quoted = f'"Петров{separator} Иван"'
    lines = [separator.join(["Име", "Фамилия", "ЕГН", "Град", "Телефон"])]
    for i, number in enumerate(numbers):
        first = quoted if i % 50 == 0 else rng.choice(names)
        lines.append(separator.join([first, rng.choice(families), number, rng.choice(towns),
                                     f"08{rng.randrange(10**8):08d}"]))
    text = "\r\n".join(lines) + "\r\n"
    open(f"{work}/{name}", "w", encoding=encoding, newline="").write(text)
    tenth = "\r\n".join(lines[:rows // 10 + 1]) + "\r\n"
    open(f"{work}/tenth-{name}", "w", encoding=encoding, newline="").write(tenth)
PY

python3 - "$program" "$work" "$runs" "$rows" "$other" <<'PY'
import os, statistics, subprocess, sys, time
program, work, runs, rows, other = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), sys.argv[5]
commands = []
for file, form in (("utf8.csv", "UTF-8, ','"), ("cp1251.csv", "Windows-1251, ';'")):
    for mode in ([], ["--decode"], ["--decode", "--json"]):
        name = f"{form:18} {' '.join(['--column ЕГН', *mode]):28}"
        commands.append((name, [program, "--column", "ЕГН", *mode], file))
        if other:
            commands.append((f"{name} (other)", [other, "--column", "ЕГН", *mode], file))

# The outputs first: a row for every row, every lost zero named, status 0.
for name, command, file in commands:
    out = subprocess.run([*command, f"{work}/{file}"], capture_output=True, check=True).stdout
    json = "--json" in command
    note = b'"lost_leading_zeros"' if json else "изгубен".encode("cp1251" if "1251" in file else "utf-8")
    lines, notes = out.count(b"\n"), out.count(note)
    if lines != rows + (0 if json else 1) or notes != rows // 3:
        sys.exit(f"csv.sh: {name}: {lines} lines, {notes} lost zeros named")

def seconds(command, path):
    """Wall-clock and processor seconds."""
    start = time.perf_counter()
    process = subprocess.Popen([*command, path], stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"csv.sh: {command} ended with {os.waitstatus_to_exitcode(status)}")
    return time.perf_counter() - start, usage.ru_utime + usage.ru_stime

def peak(command, path):
    """The peak resident memory (KiB), read from /proc as it runs (a child's
    own accounting would count this program's memory from before its exec);
    in runs of their own, so that the timed ones are not disturbed."""
    process = subprocess.Popen([*command, path], stdout=subprocess.DEVNULL)
    most = 0
    while process.poll() is None:
        try:
            with open(f"/proc/{process.pid}/status") as status:
                most = max([most] + [int(line.split()[1]) for line in status if line.startswith("VmHWM:")])
        except OSError:
            pass
        time.sleep(0.001)
    return most

times = {name: [] for name, _, _ in commands}
for _ in range(runs):
    for name, command, file in commands:
        times[name].append(seconds(command, f"{work}/{file}"))
count = f"{rows:,}".replace(",", " ")
print(f"runs: {runs} each, alternating, {count} rows of 5 columns")
print(f"{'':47} wall ms  million rows/s   CPU ms  million rows/CPU s   peak memory (a tenth of the rows)")
for name, command, file in commands:
    wall = statistics.median(t for t, _ in times[name])
    cpu = statistics.median(c for _, c in times[name])
    line = (f"{name:47} {wall * 1000:8.1f}  {rows / wall / 1e6:6.2f}        {cpu * 1000:8.1f}  {rows / cpu / 1e6:6.2f}"
            f"              {peak(command, f'{work}/{file}') / 1024:.1f} MiB "
            f"({peak(command, f'{work}/tenth-{file}') / 1024:.1f} MiB)")
    if f"{name} (other)" in times:
        other_cpu = statistics.median(c for _, c in times[f"{name} (other)"])
        line += f"   other: CPU {other_cpu * 1000:8.1f} ms ({cpu / other_cpu:.3f} of it)"
    print(line)
PY
