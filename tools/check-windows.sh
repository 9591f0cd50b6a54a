#!/usr/bin/env bash
# The Windows program from outside, as a user meets it, under Wine in Xvfb:
# egn-check.exe is driven with xdotool (the digits of the 1 ... 9 example,
# Tab to "Изчисли", Space), its results are read back through the clipboard,
# and its window is saved as a screenshot; then the same window at 192 dots
# per inch (the window tests run again there too); then the installer is
# installed silently, the installed program started, and uninstalled again.
# Usage: tools/check-windows.sh [BUILD_DIR]   (a build of the windows preset)
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/wine-env.sh  # the plain wine, or Wine's 64-bit loader where only it runs
build=$(realpath "${1:-out/windows}")
# Nothing in the import tables that Windows 7 SP1 lacks.
tools/check-windows-imports.sh "$build"
shots=$build/screenshots
mkdir -p "$shots"
display=:$((300 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display WINEDEBUG=-all
cleanup() {
  for prefix in "$build/wineprefix" "$build/wineprefix-192" "$build/wineprefix-plain"; do
    WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  done
  kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
fail() { echo "check-windows: $*" >&2; exit 1; }

source tools/window-of.sh

# The example users see first (the window tests' own table): its keys, one
# Tab and one digit a box, and the results box after it, as the clipboard
# gives it (LF).
example() {
  /usr/bin/python3 - "$1" <<'PYTHON'
import sys
sys.path.insert(0, "window/tests/shared")
import window_expectations as expectations
table = expectations.read_what_users_see()
row = table["calculation"][0]
if sys.argv[1] == "keys":
    print(" ".join(f"Tab {digit}" for digit in row["typed"]))
else:
    print(expectations.results(table, row["sum"], row["digit"]).replace("\r\n", "\n"), end="")
PYTHON
}

# Starts egn-check.exe in PREFIX, checks the 1 ... 9 example from outside and
# saves the window as SHOT (as it opens) and SHOT-results (after the example).
black_box() {
  local prefix=$1 shot=$2 program=${3:-$build/window/egn-check.exe}
  export WINEPREFIX=$prefix
  # Arguments change nothing: the program reads no command line.
  wine "$program" -platform none --help stray &
  local pid=$! id
  id=$(window_of "$program")
  sleep 1
  import -window "$id" "$shot"
  xdotool windowfocus --sync "$id"
  # The focus starts in the task text; Tab to each digit box, then to "Изчисли".
  # shellcheck disable=SC2046  # one word a key
  xdotool key --delay 40 $(example keys) Tab space
  # Back to the results box (Tab past "Изчисти", the tenth box and the list),
  # select all of it and copy it.
  xdotool key --delay 40 Tab Tab Tab Tab ctrl+Home ctrl+shift+End ctrl+c
  sleep 0.5
  local results
  results=$(xclip -o -selection clipboard)
  [[ $results == "$(example results)" ]] ||
    fail "the results box holds \"$results\""
  import -window "$id" "${shot%.png}-results.png"
  wineserver -k
  wait "$pid" 2>/dev/null || true
  echo "check-windows: the example gives \"${results//$'\n'/ }\" ($(identify -format '%wx%h' "$shot"), $shot)"
}

echo "== egn-check.exe at 96 dpi"
tools/wine-prefix.sh "$build/wineprefix" 96
black_box "$build/wineprefix" "$shots/egn-check-96.png"

echo "== egn-check.exe at 192 dpi"
tools/wine-prefix.sh "$build/wineprefix-192" 192
WINEPREFIX=$build/wineprefix-192 EGN_EXPECTED_DPI=192 \
  wine "$build/window/tests/win32/win32_window_tests.exe" --gtest_brief=1 ||
  fail "the window tests failed at 192 dpi"
black_box "$build/wineprefix-192" "$shots/egn-check-192.png"

echo "== egn-check.exe in a plain Wine prefix, without the Times New Roman mapping"
# Wine 8 substitutes a face of its own for a missing Times New Roman, and its
# text layout then crashes in the edit boxes; the program asks only for
# installed faces and must open its window.
plain=$build/wineprefix-plain
if [[ ! -e $plain/.egn-ready ]]; then
  rm -rf "$plain" && mkdir -p "$plain"
  WINEPREFIX=$plain wineboot -i >/dev/null 2>&1 && touch "$plain/.egn-ready"
fi
export WINEPREFIX=$plain
wine "$build/window/egn-check.exe" &
plain_pid=$!
id=$(window_of "egn-check.exe without the font mapping")
sleep 1
xwininfo -id "$id" >/dev/null 2>&1 || fail "the window closed again without the font mapping"
import -window "$id" "$shots/egn-check-plain-prefix.png"
wineserver -k
wait "$plain_pid" 2>/dev/null || true
echo "check-windows: the window opens without the font mapping ($shots/egn-check-plain-prefix.png)"

echo "== the packages"
(cd "$build" && cpack >/dev/null)
zip=$build/egn-check-1.00-win64.zip
installer=$build/egn-check-1.00-win64.exe
listing=$(unzip -Z1 "$zip" | sed 's|^[^/]*/||' | sort | tr '\n' ' ')
[[ $listing == "LICENSE.txt README.txt egn-check.exe egn-digit.exe " ]] ||
  fail "the ZIP holds: $listing"
echo "check-windows: $(basename "$zip"): $listing"

echo "== the installer, silently, for all users and for the current user alone"
WINEPREFIX=$build/wineprefix tools/check-windows-installer.sh "$installer" "Program Files"
