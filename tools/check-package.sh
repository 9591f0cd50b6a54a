#!/usr/bin/env bash
# Builds the Debian package in BUILD_DIR and checks it: its name and
# dependencies, a stripped binary, and that installing it with apt makes a
# program that starts and runs its window. Needs root (or sudo) for apt.
# Usage: tools/check-package.sh [BUILD_DIR]
set -euo pipefail
build=${1:-build}
as_root=()
[[ $(id -u) -eq 0 ]] || as_root=(sudo)

(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/egn-check_1.00_*.deb)
echo "package: $deb"

depends=$(dpkg-deb --field "$deb" Depends)
echo "Depends: $depends"
for needed in libqt6widgets6 libqt6gui6 libqt6core6 libc6 libstdc++6; do
  [[ $depends == *"$needed"* ]] || { echo "the package does not depend on $needed" >&2; exit 1; }
done
[[ $(dpkg-deb --field "$deb" Version) == 1.00 ]] || { echo "wrong version" >&2; exit 1; }

# The description as apt shows it: the summary once, then the long text with
# one space before each line and " ." between paragraphs.
description=$(dpkg-deb --field "$deb" Description)
summary=$(head -n 1 <<<"$description")
body=$(tail -n +2 <<<"$description")
if [[ $summary != "control digit of a Bulgarian Unified Civil Number" ]] ||
  grep -qF "$summary" <<<"$body" || grep -qvE '^ ([^ ].*|\.)$' <<<"$body" ||
  ! grep -qx ' \.' <<<"$body"; then
  echo "the package's description is not in a Debian package's form:" >&2
  echo "$description" >&2
  exit 1
fi

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
if readelf -S "$unpacked/usr/bin/egn-check" | grep -qE '\.symtab|\.debug_info'; then
  echo "the packaged binary is not stripped" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get install -y -q "$(realpath "$deb")" >/dev/null
set +e
QT_QPA_PLATFORM=offscreen timeout 3 /usr/bin/egn-check
rc=$?
set -e
digit=$(/usr/bin/egn-digit 123456789)
"${as_root[@]}" apt-get remove -y -q egn-check >/dev/null
if [[ $digit != $'123456789\t1234567890' ]]; then
  echo "the installed egn-digit printed \"$digit\"" >&2
  exit 1
fi
if [[ $rc -ne 124 ]]; then
  echo "the installed egn-check ended with $rc instead of running its window" >&2
  exit 1
fi
echo "package: installed, egn-check ran its window and egn-digit answered; removed again"
