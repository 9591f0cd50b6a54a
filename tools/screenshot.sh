#!/usr/bin/env bash
# Opens egn-check in a real X server (Xvfb) and saves a screenshot of its
# window. Usage: tools/screenshot.sh [BUILD_DIR] [OUTPUT.png]
# Needs xvfb, xauth, x11-utils and imagemagick (tools/deps.sh --test).
set -euo pipefail
build=${1:-build}
output=${2:-docs/screenshot.png}
mkdir -p "$(dirname "$output")"

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp &
xvfb=$!
trap 'kill $app $xvfb 2>/dev/null || true' EXIT
app=
for _ in $(seq 50); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.1; done

DISPLAY=$display QT_QPA_PLATFORM=xcb "$build/window/egn-check" &
app=$!
window=
for _ in $(seq 100); do
  window=$(xwininfo -display "$display" -root -tree 2>/dev/null |
    awk '/egn-check.example/ {print $1; exit}')
  [[ -n $window ]] && break
  sleep 0.1
done
if [[ -z $window ]]; then
  echo "screenshot: the window did not appear" >&2
  exit 1
fi
sleep 1  # let the first frame be painted
import -display "$display" -window "$window" "$output"
echo "saved $output"
