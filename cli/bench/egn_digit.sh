#!/usr/bin/env bash
# Speed of egn-digit in every mode on a million numbers, beside the
# straightforward Python 3 program a user would write for the control digit
# (straightforward.py). Inputs: a million random nine-digit numbers and a
# million valid ten-digit ones. Each command runs RUNS times (default 7),
# alternating; medians of the wall-clock time and numbers a second. The
# outputs of egn-digit and of the Python program are compared first, so that
# the two do the same work.
# Usage: cli/bench/egn_digit.sh [BUILD_DIR] [RUNS]   (a release build)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-out/release}
runs=${2:-7}
program=$build/cli/egn-digit
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 -c '
import random, sys
rng = random.Random(1)
sys.stdout.write("".join(f"{rng.randrange(10**9):09d}\n" for _ in range(1_000_000)))
' >"$work/nines"
"$program" --generate 1000000 --seed 1 >"$work/tens"
"$program" <"$work/nines" >"$work/ours"
python3 "$here/straightforward.py" <"$work/nines" >"$work/python"
cmp -s "$work/ours" "$work/python" || { echo "egn_digit.sh: the outputs differ" >&2; exit 1; }

python3 - "$program" "$here/straightforward.py" "$work" "$runs" <<'PY'
import statistics, subprocess, sys, time
program, script, work, runs = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
commands = [
    ("egn-digit, nine digits", [program], "nines"),
    ("egn-digit, ten digits", [program], "tens"),
    ("egn-digit --explain", [program, "--explain"], "nines"),
    ("egn-digit --json", [program, "--json"], "nines"),
    ("egn-digit --decode", [program, "--decode"], "tens"),
    ("egn-digit --decode --json", [program, "--decode", "--json"], "tens"),
    ("egn-digit --generate 1000000", [program, "--generate", "1000000", "--seed", "1"], None),
    ("Python 3, nine digits", [sys.executable, script], "nines"),
]
def seconds(command, input_name):
    stdin = open(f"{work}/{input_name}", "rb") if input_name else subprocess.DEVNULL
    start = time.perf_counter()
    subprocess.run(command, stdin=stdin, stdout=subprocess.DEVNULL, check=False)
    return time.perf_counter() - start
times = {name: [] for name, _, _ in commands}
for _ in range(runs):
    for name, command, input_name in commands:
        times[name].append(seconds(command, input_name))
print(f"runs: {runs} each, alternating, 1 000 000 numbers")
for name, _, _ in commands:
    t = statistics.median(times[name])
    print(f"{name:30} {t * 1000:8.1f} ms  {1 / t:6.2f} million numbers a second")
PY
