#!/usr/bin/env bash
# clang-tidy over our sources with the checked-in .clang-tidy, against the
# compile commands of BUILD_DIR (default build). Any finding fails.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
tidy=$(command -v clang-tidy-14 || command -v clang-tidy)
log=$(mktemp)
trap 'rm -f "$log"' EXIT
# The sources this build compiles (the Windows backend is checked by its own
# build's warnings, not here: its headers are not on this machine).
compiled=$(grep -o '"file": "[^"]*"' "$build/compile_commands.json" | sed 's/"file": "//; s/"$//' |
  sort -u)
if ! tools/source-files.sh '*.cpp' | tr '\0' '\n' | grep -v '/fuzz/' | while read -r file; do
    if grep -qxF "$PWD/$file" <<<"$compiled"; then echo "$file"; fi
  done | xargs -P "$(nproc)" -n 4 "$tidy" -p "$build" --quiet >"$log" 2>&1; then
  grep -vE '^[0-9]+ warnings? generated\.$' "$log"
  echo "clang-tidy: findings above" >&2
  exit 1
fi
echo "clang-tidy: clean"
