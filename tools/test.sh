#!/usr/bin/env bash
# Installs what the tests need, builds with warnings as errors and runs every
# test. This is the README's test command and what CI runs.
set -euo pipefail
cd "$(dirname "$0")/.."

./tools/deps.sh --test

cmake -S . -B build -G Ninja -DEGN_WARNINGS_AS_ERRORS=ON
cmake --build build
ctest --test-dir build --output-on-failure

echo "== the Debian package"
./tools/check-package.sh build

echo "== clang-format"
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
echo "clang-format: clean"
