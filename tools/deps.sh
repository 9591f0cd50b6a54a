#!/usr/bin/env bash
# Installs from Debian's packages what one build of egn-check needs, and no
# more. Works on a fresh Debian 12 machine, as root or through sudo.
#
#   tools/deps.sh            the window on Linux: build it and run it
#   tools/deps.sh --bench    the release preset (its tests and the benchmarks),
#                            and the web preset for the page's first paint
#   tools/deps.sh --package  the Debian package (dpkg-buildpackage) and its checks
#   tools/deps.sh --windows  the Windows programs and packages (windows preset)
#   tools/deps.sh --web      the page (web preset) and a browser to open it
#   tools/deps.sh --release  every download (tools/release.sh)
#   tools/deps.sh --test     everything the test command runs
set -euo pipefail

# libxkbcommon-dev only quiets Qt's CMake files, which look for it. The
# window's face (fonts-liberation2) is also where the subset the program
# carries is cut from, with fonttools.
# zlib and expat: egn-digit reads and writes workbooks (ZIP packages of XML).
window=(cmake g++ ninja-build qt6-base-dev libxkbcommon-dev fonts-liberation2 fonttools
  zlib1g-dev libexpat1-dev)
tests=(libgtest-dev)  # GoogleTest, installed, and its sources for the cross builds
# The start-up figures are taken with a session bus (dbus-run-session); the
# page's first paint in Chromium, driven by Selenium, on the web build.
bench=(libbenchmark-dev libxcb-damage0-dev pkg-config xvfb x11-utils python3 dbus-daemon
  chromium-driver python3-selenium)
# The Debian packages (dpkg-buildpackage with debhelper) and their checks
# (lintian; hardening-check, of devscripts; the autopkgtests of debian/tests,
# run by hand and by autopkgtest's own runner, whose window test runs xvfb-run, which needs xauth, and xwininfo, of
# x11-utils).
package=(dpkg-dev debhelper binutils file lintian devscripts xvfb xauth x11-utils autopkgtest)
# The tests dpkg-buildpackage runs (dh_auto_test), besides GoogleTest: the
# desktop entry and metainfo validated, the window read as a screen reader does.
package_tests=(python3 desktop-file-utils appstream xvfb x11-utils dbus-daemon dbus-bin
  at-spi2-core python3-pyatspi)
windows=(cmake ninja-build googletest g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
  g++-mingw-w64-i686 binutils-mingw-w64-i686 nsis)  # 64-bit and 32-bit Windows
# zlib for both, as Debian has it for mingw-w64; expat, which it has not,
# compiled by the build from Debian's source (curl fetches it, patch applies
# Debian's fixes: tools/fetch-sources.sh).
windows+=(libz-mingw-w64-dev curl ca-certificates patch)
# The page is tested in Chromium, Firefox ESR and WebKit (WebKitWebDriver);
# zopfli compresses its module, terser the list page's script; npm installs
# the Firefox driver's puppeteer-core, Lighthouse and axe-core: Debian's npm,
# unless the installed Node brought its own.
web=(cmake ninja-build googletest emscripten nodejs chromium fonts-liberation2 fonttools python3-brotli
  zopfli terser firefox-esr webkit2gtk-driver)
command -v npm >/dev/null || web+=(npm)
web+=(curl ca-certificates patch)  # zlib and expat compiled from Debian's source, as for Windows

case ${1:-} in
  "") packages=("${window[@]}") ;;
  --bench) packages=("${window[@]}" "${tests[@]}" "${bench[@]}" "${web[@]}") ;;
  --package) packages=("${window[@]}" "${package[@]}" "${tests[@]}" "${package_tests[@]}") ;;
  --windows) packages=("${windows[@]}") ;;
  --web) packages=("${web[@]}") ;;
  --release) packages=("${window[@]}" "${package[@]}" "${windows[@]}" "${web[@]}") ;;
  --test)
    packages=(
      "${window[@]}" "${tests[@]}" "${bench[@]}" "${package[@]}" "${package_tests[@]}" "${windows[@]}"
      "${web[@]}"
      xauth imagemagick                        # a real X server's access, screenshots
      clang-format git                         # the format check (over the tracked files)
      desktop-file-utils appstream             # validating the desktop entry and metainfo
      python3-pyatspi at-spi2-core dbus-daemon dbus-bin  # reading the window as a screen reader does
      clang-14 libclang-rt-14-dev clang-tidy   # sanitizers, libFuzzer, static analysis
      strace dbus-x11                          # what the program does; dbus-x11 could autolaunch a bus
      debootstrap                              # a fresh Debian 12 root for the run command
      qemu-user                                # the generated files as older processors make them
      unzip wine64 wine fonts-wine xdotool xclip  # the Windows programs under Wine, driven
      chromium-driver python3-selenium python3-pil  # the page in a real browser, driven
      jq man-db                                # the documents' examples, the man pages as shown
      libreoffice-calc-nogui python3-openpyxl  # workbooks as spreadsheet programs write and read them
    )
    ;;
  *)
    echo "deps.sh: unknown option $1 (none, --bench, --package, --windows, --web, --release or --test)" >&2
    exit 2
    ;;
esac

as_root=()
if [[ $(id -u) -ne 0 ]]; then
  if ! command -v sudo >/dev/null; then
    echo "deps.sh: installing packages needs root: run it as root, or install sudo" >&2
    exit 1
  fi
  as_root=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
# A mirror in the middle of a sync serves an index that does not match its
# release file ("File has unexpected size ... Mirror sync in progress?"):
# ask again a little later. If the indexes still cannot all be had, install
# from those there are: apt-get install then says what it cannot find.
update() {
  local wait
  for wait in "$@" 0; do
    "${as_root[@]}" apt-get update -q 2> >(tee "$update_errors" >&2) && return
    if ((wait == 0)); then
      echo "deps.sh: apt-get update failed; installing from the indexes there are" >&2
    else
      echo "deps.sh: apt-get update failed; trying again in ${wait}s" >&2
      sleep "$wait"
    fi
  done
}
update_errors=$(mktemp)
trap 'rm -f "$update_errors"' EXIT
update 30 90
"${as_root[@]}" apt-get install -y -q --no-install-recommends "${packages[@]}"

# Wine's 32-bit half, for the 32-bit Windows programs' tests, is a package of
# the i386 architecture, asked for last and apart: an archive whose i386
# indexes are out of step with its amd64 ones cannot install it (its
# libraries must be the very versions of the amd64 ones), and that must not
# stop everything else. Where it cannot be had, the reason is kept in
# $wine32_note: the tests then skip every run of a 32-bit program and name
# it at the end, as on a kernel that runs no 32-bit programs.
wine32_note=/var/cache/egn-check/wine32-not-installable
if [[ ${1:-} == --test ]]; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${as_root[@]}" dpkg --add-architecture i386
  fi
  update 30
  if said=$("${as_root[@]}" apt-get install -y -q --no-install-recommends wine32:i386 2>&1); then
    "${as_root[@]}" rm -f "$wine32_note"
  else
    printf '%s\n' "$said" | tail -n 12 >&2
    # The index that could not be had says more than the resolver's "breaks".
    reason=$(sed -n 's/^E: \(Failed to fetch .*\)$/\1/p' "$update_errors" | head -n 1)
    [[ -n $reason ]] || reason=$(printf '%s\n' "$said" | sed -n 's/^E: //p' | tail -n 1)
    echo "deps.sh: wine32:i386 cannot be installed from this machine's archive (${reason:-apt-get failed});" \
      "the 32-bit Windows programs' tests will be skipped and named" >&2
    "${as_root[@]}" mkdir -p "${wine32_note%/*}"
    printf 'wine32:i386 could not be installed from the package archive (%s)\n' \
      "${reason:-apt-get failed}" | "${as_root[@]}" tee "$wine32_note" >/dev/null
  fi
fi

# The Windows and browser builds compile zlib and expat from Debian's source
# tarballs, fetched here once with their SHA-256 checked.
case ${1:-} in
  --bench | --windows | --web | --release | --test) "${as_root[@]}" "$(dirname "$0")/fetch-sources.sh" ;;
esac
