#!/usr/bin/env bash
# Prints the source tree's files, NUL-separated, relative to its top: what git
# tracks (and new files it does not ignore) in a checkout; in a tree without
# git, as unpacked from a source tarball, every file and link but the build folders
# (and what dpkg-buildpackage leaves, as .gitignore says).
# Usage: tools/source-files.sh [PATTERN...]   e.g. '*.cpp' '*.h'
set -euo pipefail
cd "$(dirname "$0")/.."
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git ls-files -z --cached --others --exclude-standard -- "$@"
else
  names=()
  for pattern in "$@"; do names+=(${names:+-o} -name "$pattern"); done
  find . \( -path ./.git -o -path './build*' -o -path ./out -o -path './obj-*' \
    -o -path ./debian/.debhelper -o -path ./debian/egn-check -o -path ./debian/egn-digit -o -path ./debian/tmp \
    -o -path ./debian/files -o -path './debian/*.substvars' -o -path ./debian/debhelper-build-stamp \) \
    -prune -o \( -type f -o -type l \) \
    ${names:+\( "${names[@]}" \)} -printf '%P\0' | sort -z
fi
