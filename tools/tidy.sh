#!/usr/bin/env bash
# clang-tidy over our sources with the checked-in .clang-tidy, against the
# compile commands of BUILD_DIR (default build). Any finding fails.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
tidy=$(command -v clang-tidy-14 || command -v clang-tidy)
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! git ls-files '*.cpp' | grep -v '/fuzz/' |
    xargs -P "$(nproc)" -n 4 "$tidy" -p "$build" --quiet >"$log" 2>&1; then
  grep -vE '^[0-9]+ warnings? generated\.$' "$log"
  echo "clang-tidy: findings above" >&2
  exit 1
fi
echo "clang-tidy: clean"
