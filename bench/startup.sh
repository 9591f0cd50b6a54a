#!/usr/bin/env bash
# Start-up cost of the forms runtime: egn-check against bench's reference
# window (the same window built by hand), each started RUNS times (default
# 11), alternating, under a fresh Xvfb; medians of the time to the first
# painted frame and of peak resident memory, and their ratios.
# Usage: bench/startup.sh [BUILD_DIR] [RUNS]   (a build with -DEGN_BUILD_BENCHMARKS=ON)
set -euo pipefail
# Both programs start as on a desktop: with a session bus of their own.
if [[ -z ${DBUS_SESSION_BUS_ADDRESS:-} ]] && command -v dbus-run-session >/dev/null; then
  exec dbus-run-session -- "$0" "$@"
fi
build=${1:-out/release}
runs=${2:-11}
display=:$((800 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp &
xvfb=$!
# A private runtime folder, as a desktop session gives every program: Qt
# would otherwise warn at every start that XDG_RUNTIME_DIR is not set.
runtime_dir=$(mktemp -d)
chmod 700 "$runtime_dir"
trap 'kill $xvfb 2>/dev/null || true; rm -rf "$runtime_dir"' EXIT
export XDG_RUNTIME_DIR=$runtime_dir
for _ in $(seq 50); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.1; done
export DISPLAY=$display QT_QPA_PLATFORM=xcb

measure() { "$build/bench/first_frame" 400 "$1"; }
# One start of each first, not counted: the disk cache and the font cache.
measure "$build/window/egn-check" >/dev/null
measure "$build/bench/reference_window" >/dev/null
results=$(for _ in $(seq "$runs"); do
  echo "runtime $(measure "$build/window/egn-check")"
  echo "reference $(measure "$build/bench/reference_window")"
done)
python3 - "$runs" <<PY
import statistics, sys
rows = [line.split() for line in """$results""".splitlines()]
def median(kind, column):
    return statistics.median(float(r[column]) for r in rows if r[0] == kind)
t_run, t_ref = median("runtime", 1), median("reference", 1)
m_run, m_ref = median("runtime", 2), median("reference", 2)
print(f"runs: {sys.argv[1]} each, alternating")
print(f"first frame  egn-check {t_run:8.1f} ms   reference {t_ref:8.1f} ms   ratio {t_run / t_ref:.3f}")
print(f"peak memory  egn-check {m_run:8.0f} KiB  reference {m_ref:8.0f} KiB  ratio {m_run / m_ref:.3f}")
PY
