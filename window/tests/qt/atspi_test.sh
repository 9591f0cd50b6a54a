#!/usr/bin/env bash
# Runs atspi_names.py against PROGRAM in a private X server, session bus and
# accessibility bus. Usage: atspi_test.sh PROGRAM
set -euo pipefail
program=$1
here=$(dirname "$0")
# Xvfb takes a display that no other server holds and writes its number to
# the pipe once it accepts clients: no guessed number that another test on a
# shared machine may hold, and no polling.
work=$(mktemp -d)
mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
if ! read -r -t 60 number <"$work/display"; then
  echo "atspi_test.sh: Xvfb did not start (no display number within 60 s)" >&2
  exit 1
fi
export DISPLAY=:$number
dbus-run-session -- bash -c '
  /usr/libexec/at-spi-bus-launcher --launch-immediately &
  launcher=$!
  for _ in $(seq 100); do
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
      >/dev/null 2>&1 && break
    sleep 0.1
  done
  /usr/bin/python3 "$0" "$1"
  rc=$?
  kill $launcher 2>/dev/null || true
  exit $rc' "$here/atspi_names.py" "$program"
