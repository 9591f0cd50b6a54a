#!/usr/bin/env bash
# Builds every download of egn-check from this source tree, with no tests,
# and puts them in OUT (default out/downloads) with SHA256SUMS over them:
#
#   egn-check_1.00.orig.tar.gz   the source, as the Debian source package
#                                takes it (tools/orig-tarball.sh)
#   egn-digit_1.00-1_amd64.deb   the Debian packages (dpkg-buildpackage, debian/):
#   egn-check_1.00-1_amd64.deb   the command-line program, the window
#   egn-check-1.00-win64.zip     the Windows programs, portable
#   egn-check-1.00-win64.exe     the Windows installer
#   egn-check-1.00-win32.zip     the same for 32-bit Windows
#   egn-check-1.00-win32.exe
#   egn-check.html               the page, one self-contained file
#   egn-list.html                the list page (egn-digit --column), one
#                                self-contained file
#   egn-check-1.00-site.zip      the page as an installable web app that works
#                                off line: the folder egn-check/ for a static host
#   egn-check_1.00-1_amd64.buildinfo  what the Debian package was built with
#                                (dpkg-genbuildinfo): its checksums and every
#                                package installed, for a rebuild byte for byte
#
# SHA256SUMS covers the downloads, not the .buildinfo: that records one build
# (its date, its environment), and is the same in another build only in the
# checksums and packages it lists (tools/check-reproducible.sh compares them).
#
# The same source gives the same bytes in any folder, at any time: the
# packages' files carry the release's date (EGN_RELEASE_DATE in
# CMakeLists.txt), and tools/check-reproducible.sh holds two builds to it.
# The builds go to BUILD (default out/release-build). Needs what
# `tools/deps.sh --release` installs.
#
# Usage: tools/release.sh [OUT [BUILD]]
set -euo pipefail
cd "$(dirname "$0")/.."
# Files the build makes are rw-r--r-- whatever the caller's umask, as
# dpkg-buildpackage does too: the archives keep their members' modes.
umask 022
out=$(realpath -m "${1:-out/downloads}")
build=$(realpath -m "${2:-out/release-build}")
# OUT is emptied before the downloads go in: never a build folder (a
# preset's, say), nor one that holds the source or BUILD.
refuse() {
  echo "release.sh: $out $1, and OUT is emptied: give another OUT" >&2
  exit 2
}
[[ -e $out/CMakeCache.txt ]] && refuse "is a build folder (it holds CMakeCache.txt)"
[[ $PWD/ == "${out%/}"/* ]] && refuse "holds the source"
[[ $build/ == "${out%/}"/* ]] && refuse "holds the builds ($build)"

configure() {  # NAME [CMAKE OPTIONS]: a release build of this tree in $build/NAME
  local name=$1
  shift
  cmake -S . -B "$build/$name" -G Ninja -DCMAKE_BUILD_TYPE=Release -DEGN_BUILD_TESTS=OFF \
    "$@" >/dev/null
  cmake --build "$build/$name"
}

version=$(sed -n 's/^set(EGN_VERSION_TEXT "\(.*\)")$/\1/p' CMakeLists.txt)
released=$(sed -n 's/^set(EGN_RELEASE_DATE "\([0-9-]*\)").*/\1/p' CMakeLists.txt)
# The Debian package takes its version and its files' time from
# debian/changelog: they must be the release's (and a Debian revision of it),
# as the other downloads' are.
changelog_version=$(dpkg-parsechangelog -S Version)
changelog_date=$(date -u -d "$(dpkg-parsechangelog -S Date)" '+%F %T')
if [[ ${changelog_version%-*} != "$version" || $changelog_date != "$released 00:00:00" ]]; then
  echo "release.sh: debian/changelog's last entry is $changelog_version of $changelog_date UTC;" \
    "CMakeLists.txt says $version of $released 00:00:00" >&2
  exit 1
fi

echo "release: the source tarball"
rm -rf "$build/source"
tools/orig-tarball.sh "$build/source" >/dev/null
echo "release: Linux"
# The Debian package as a distribution builds it, from a copy of this tree
# (dpkg-buildpackage writes beside the source), without its tests.
rm -rf "$build/linux"
mkdir -p "$build/linux/egn-check"
tools/source-files.sh | tar --null -T - -cf - | tar -xf - -C "$build/linux/egn-check"
(cd "$build/linux/egn-check" &&
  DEB_BUILD_OPTIONS="nocheck ${DEB_BUILD_OPTIONS:-}" dpkg-buildpackage -us -uc -b --build-profiles=nocheck \
    >"$build/linux/build.log" 2>&1) ||
  { tail -n 40 "$build/linux/build.log" >&2; echo "release.sh: dpkg-buildpackage failed" >&2; exit 1; }
echo "release: Windows"
configure windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
(cd "$build/windows" && cpack >/dev/null)
echo "release: 32-bit Windows"
configure windows32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
(cd "$build/windows32" && cpack >/dev/null)
echo "release: the page"
configure web -DCMAKE_TOOLCHAIN_FILE=cmake/emscripten.cmake

rm -rf "$out"
mkdir -p "$out"
cp "$build"/source/egn-check_*.orig.tar.gz "$build"/linux/egn-{digit,check}_*.deb "$build"/linux/egn-check_*.buildinfo "$build"/windows/egn-check-*-win64.{zip,exe} \
  "$build"/windows32/egn-check-*-win32.{zip,exe} "$build"/web/window/egn-check.html \
  "$build"/web/list/egn-list.html "$out/"
# The site (window/site of the web build) as a ZIP, the same bytes from any
# build as the Windows ones: its files under egn-check/ in name order, each
# rw-r--r-- with the release's time (as UTC, a ZIP's times being local) and no
# other metadata.
python3 - "$build/web/window/site" "$out/egn-check-$version-site.zip" \
  "${SOURCE_DATE_EPOCH:-$(date -u -d "$released" +%s)}" <<'PYTHON'
import os, sys, time, zipfile

site, archive, epoch = sys.argv[1], sys.argv[2], int(sys.argv[3])


def member(name, mode):
    info = zipfile.ZipInfo(name, time.gmtime(epoch)[:6])
    info.create_system, info.external_attr = 3, mode << 16  # Unix, and its mode
    info.compress_type = zipfile.ZIP_STORED if name.endswith("/") else zipfile.ZIP_DEFLATED
    return info


with zipfile.ZipFile(archive, "w") as zip:
    zip.writestr(member("egn-check/", 0o40755), b"")
    for name in sorted(os.listdir(site)):
        with open(os.path.join(site, name), "rb") as file:
            zip.writestr(member("egn-check/" + name, 0o100644), file.read())
PYTHON
mapfile -d '' downloads < <(cd "$out" && find . -maxdepth 1 -type f ! -name '*.buildinfo' -printf '%P\0' |
  LC_ALL=C sort -z)
(cd "$out" && sha256sum -- "${downloads[@]}" >SHA256SUMS)
echo "release: $out"
cat "$out/SHA256SUMS"
