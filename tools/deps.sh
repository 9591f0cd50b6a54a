#!/usr/bin/env bash
# Installs from Debian's packages what egn-check needs to build and run
# (default) or also to run every test (--test). Works on a fresh Debian 12
# machine, as root or through sudo.
set -euo pipefail

packages=(cmake g++ ninja-build qt6-base-dev fonts-liberation2)
if [[ ${1:-} == --test ]]; then
  packages+=(libgtest-dev libbenchmark-dev xvfb xauth x11-utils imagemagick clang-format)
fi

as_root=()
[[ $(id -u) -eq 0 ]] || as_root=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -q
"${as_root[@]}" apt-get install -y -q --no-install-recommends "${packages[@]}"
