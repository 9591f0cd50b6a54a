#!/usr/bin/env bash
# Runs atspi_names.py against PROGRAM in a private X server, session bus and
# accessibility bus. Usage: atspi_test.sh PROGRAM
set -euo pipefail
program=$1
here=$(dirname "$0")
display=:$((200 + RANDOM % 300))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
for _ in $(seq 50); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.1; done
export DISPLAY=$display
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
