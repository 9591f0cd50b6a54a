#!/usr/bin/env bash
# Speed of egn-digit in every mode on a million numbers, beside the
# straightforward Python 3 program a user would write for the control digit
# (straightforward.py). Inputs: a million random nine-digit numbers and a
# million valid ten-digit ones. Each command runs RUNS times (default 7),
# alternating; medians of the wall-clock time and numbers a second, and of
# the processor time. The outputs of egn-digit and of the Python program are
# compared first, so that the two do the same work. With OTHER_BUILD_DIR (another build, an earlier
# commit's), its egn-digit runs every command too, in the same rounds, beside
# the first: a change measured side by side. Standard error goes to
# /dev/null (nine random digits are now and then a number whose zero was
# lost, which egn-digit warns of).
# Usage: cli/bench/egn_digit.sh [BUILD_DIR] [RUNS] [OTHER_BUILD_DIR]   (release builds)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-out/release}
runs=${2:-7}
other=${3:+$3/cli/egn-digit}
program=$build/cli/egn-digit
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 -c '
import random, sys
rng = random.Random(1)
sys.stdout.write("".join(f"{rng.randrange(10**9):09d}\n" for _ in range(1_000_000)))
' >"$work/nines"
"$program" --generate 1000000 --seed 1 >"$work/tens"
"$program" <"$work/nines" >"$work/ours" 2>/dev/null
python3 "$here/straightforward.py" <"$work/nines" >"$work/python"
cmp -s "$work/ours" "$work/python" || { echo "egn_digit.sh: the outputs differ" >&2; exit 1; }

python3 - "$program" "$here/straightforward.py" "$work" "$runs" "$other" <<'PY'
import os, statistics, subprocess, sys, time
program, script, work, runs, other = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4]), sys.argv[5]
modes = [
    ("egn-digit, nine digits", [], "nines"),
    ("egn-digit, ten digits", [], "tens"),
    ("egn-digit --explain", ["--explain"], "nines"),
    ("egn-digit --json", ["--json"], "nines"),
    ("egn-digit --decode", ["--decode"], "tens"),
    ("egn-digit --decode --json", ["--decode", "--json"], "tens"),
    ("egn-digit --generate 1000000", ["--generate", "1000000", "--seed", "1"], None),
]
commands = []
for name, args, input_name in modes:  # each beside the other's, so that both meet the same load
    commands.append((name, [program, *args], input_name))
    if other:
        commands.append((f"{name} (other)", [other, *args], input_name))
commands.append(("Python 3, nine digits", [sys.executable, script], "nines"))
def seconds(command, input_name):
    """Wall-clock and processor seconds (user and system: other work on a
    shared machine disturbs them less)."""
    stdin = open(f"{work}/{input_name}", "rb") if input_name else subprocess.DEVNULL
    start = time.perf_counter()
    process = subprocess.Popen(command, stdin=stdin, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    _, _, usage = os.wait4(process.pid, 0)
    return time.perf_counter() - start, usage.ru_utime + usage.ru_stime
times = {name: [] for name, _, _ in commands}
for _ in range(runs):
    for name, command, input_name in commands:
        times[name].append(seconds(command, input_name))
print(f"runs: {runs} each, alternating, 1 000 000 numbers; medians of wall-clock and processor time")
for name, _, _ in commands:
    t = statistics.median(wall for wall, _ in times[name])
    cpu = statistics.median(c for _, c in times[name])
    line = f"{name:30} {t * 1000:8.1f} ms  {1 / t:6.2f} million numbers a second  CPU {cpu * 1000:7.1f} ms"
    if other and f"{name} (other)" in times:
        o = statistics.median(wall for wall, _ in times[f"{name} (other)"])
        o_cpu = statistics.median(c for _, c in times[f"{name} (other)"])
        line += f"   other: {o * 1000:8.1f} ms ({t / o:.3f} of it), CPU {o_cpu * 1000:7.1f} ms ({cpu / o_cpu:.3f})"
    if not name.endswith("(other)"):
        print(line)
PY
