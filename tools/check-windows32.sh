#!/usr/bin/env bash
# The 32-bit Windows programs and packages, for 32-bit Windows 7, 8.1 and 10
# (their unit and window tests run under Wine's 32-bit half through
# `ctest --preset windows32`): the packages are made; both programs, the
# installer's helper and the installer itself are 32-bit Windows programs
# (pei-i386); every import exists in Windows 7 SP1; the ZIP holds what the
# 64-bit one holds; the installer installs, upgrades, puts egn-digit on the
# PATH and uninstalls under Wine as the 64-bit one does, into Program Files
# (x86). Needs DISPLAY and the prefix the tests made. On a machine whose
# kernel runs no 32-bit programs (tools/wine-probe.sh), everything is checked
# but the installer's runs, which are skipped, and said so.
# Usage: tools/check-windows32.sh [BUILD_DIR]   (a build of the windows32 preset)
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/wine-env.sh
build=$(realpath "${1:-out/windows32}")
fail() { echo "check-windows32: $*" >&2; exit 1; }

(cd "$build" && cpack >/dev/null)
zip=$build/egn-check-1.00-win32.zip
installer=$build/egn-check-1.00-win32.exe
for program in "$build/window/egn-check.exe" "$build/cli/egn-digit.exe" \
  "$build/packaging/path-entry.exe" "$installer"; do
  [[ -f $program ]] || fail "$program was not made"
  format=$(i686-w64-mingw32-objdump -f "$program" | sed -n 's/.*file format //p')
  [[ $format == pei-i386 ]] || fail "$(basename "$program") is $format, not pei-i386"
done
echo "check-windows32: egn-check.exe, egn-digit.exe, path-entry.exe and $(basename "$installer") are pei-i386"
tools/check-windows-imports.sh "$build"
listing=$(unzip -Z1 "$zip" | sed 's|^[^/]*/||' | sort | tr '\n' ' ')
[[ $listing == "LICENSE.txt README.txt egn-check.exe egn-digit.exe " ]] ||
  fail "the ZIP holds: $listing"
echo "check-windows32: $(basename "$zip"): $listing"
if [[ $EGN_WINE32 == no ]]; then
  echo "check-windows32: skipped, $(basename "$installer") is not run (install, upgrade," \
    "PATH, uninstall): $EGN_WINE32_WHY"
  exit 0
fi
WINEPREFIX=$build/wineprefix tools/check-windows-installer.sh "$installer" "Program Files (x86)"
