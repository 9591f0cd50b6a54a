#!/usr/bin/env bash
# Installs from Debian's packages what egn-check needs to build and run
# (default) or also to run every test (--test). Works on a fresh Debian 12
# machine, as root or through sudo.
set -euo pipefail

packages=(cmake g++ ninja-build qt6-base-dev fonts-liberation2)
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
  )
fi
if [[ ${1:-} == --test || ${1:-} == --bench ]]; then
  packages+=(libbenchmark-dev libxcb-damage0-dev pkg-config xvfb x11-utils)  # the benchmarks
fi

as_root=()
[[ $(id -u) -eq 0 ]] || as_root=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -q
"${as_root[@]}" apt-get install -y -q --no-install-recommends "${packages[@]}"
