#!/usr/bin/env bash
# Installs from Debian's packages what egn-check needs to build and run
# (default) or also to run every test (--test). Works on a fresh Debian 12
# machine, as root or through sudo.
set -euo pipefail

# libxkbcommon-dev only quiets Qt's CMake files, which look for it.
packages=(cmake g++ ninja-build qt6-base-dev libxkbcommon-dev fonts-liberation2)
if [[ ${1:-} == --test ]]; then
  packages+=(
    libgtest-dev libbenchmark-dev           # unit tests and benchmarks
    xvfb xauth x11-utils imagemagick         # a real X server, screenshots
    clang-format git                         # the format check (over the tracked files)
    desktop-file-utils appstream             # validating the desktop entry and metainfo
    dpkg-dev binutils file                   # the Debian package (shlibdeps, strip)
    binutils-mingw-w64-x86-64                # compiling the Windows version record
    python3-pyatspi at-spi2-core dbus-daemon dbus-bin  # reading the window as a screen reader does
    clang-14 libclang-rt-14-dev clang-tidy   # sanitizers, libFuzzer, static analysis
    strace                                   # what the program does to files and sockets
    debootstrap                              # a fresh Debian 12 root for the run command
    g++-mingw-w64-x86-64 nsis unzip          # the Windows programs and packages
    wine64 wine fonts-wine xdotool xclip     # running and driving them under Wine
    emscripten nodejs                        # the page, and its unit tests under Node
    chromium chromium-driver python3-selenium python3-pil  # the page in a real browser
  )
fi
if [[ ${1:-} == --test || ${1:-} == --bench ]]; then
  packages+=(libbenchmark-dev libxcb-damage0-dev pkg-config xvfb x11-utils)  # the benchmarks
fi

as_root=()
if [[ $(id -u) -ne 0 ]]; then
  if ! command -v sudo >/dev/null; then
    echo "deps.sh: installing packages needs root: run it as root, or install sudo" >&2
    exit 1
  fi
  as_root=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -q
"${as_root[@]}" apt-get install -y -q --no-install-recommends "${packages[@]}"
