#!/usr/bin/env bash
# Speed of egn-digit against the straightforward Python 3 program a user
# would write instead (straightforward.py), on one file of a million random
# nine-digit numbers: each run RUNS times (default 5), alternating, medians
# of the wall-clock time, numbers a second and the ratio. Both outputs are
# compared first, so that the two do the same work.
# Usage: cli/bench/egn_digit.sh [BUILD_DIR] [RUNS]   (a release build)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-out/release}
runs=${2:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 -c '
import random, sys
rng = random.Random(1)
sys.stdout.write("".join(f"{rng.randrange(10**9):09d}\n" for _ in range(1_000_000)))
' >"$work/numbers"
"$build/cli/egn-digit" <"$work/numbers" >"$work/ours"
python3 "$here/straightforward.py" <"$work/numbers" >"$work/python"
cmp -s "$work/ours" "$work/python" || { echo "egn_digit.sh: the outputs differ" >&2; exit 1; }

python3 - "$build/cli/egn-digit" "$here/straightforward.py" "$work/numbers" "$runs" <<'PY'
import statistics, subprocess, sys, time
program, script, numbers, runs = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
def seconds(command):
    with open(numbers, "rb") as stdin:
        start = time.perf_counter()
        subprocess.run(command, stdin=stdin, stdout=subprocess.DEVNULL, check=True)
        return time.perf_counter() - start
ours, python = [], []
for _ in range(runs):
    ours.append(seconds([program]))
    python.append(seconds([sys.executable, script]))
o, p = statistics.median(ours), statistics.median(python)
print(f"runs: {runs} each, alternating, 1 000 000 numbers")
print(f"egn-digit  {o * 1000:8.1f} ms  {1e6 / o / 1e6:6.2f} million numbers a second")
print(f"Python 3   {p * 1000:8.1f} ms  {1e6 / p / 1e6:6.2f} million numbers a second")
print(f"egn-digit is {p / o:.1f} times faster")
PY
