#!/usr/bin/env bash
# Makes the release's source tarball, egn-check_VERSION.orig.tar.gz, in DIR
# (default: the folder above the source), and prints its path: the source
# files (tools/source-files.sh) without debian/, under egn-check-VERSION/.
# The Debian source package is built on it (3.0 (quilt)), and it is one of
# the downloads.
#
# The same source gives the same bytes, in a checkout or in a tree without
# git, in any folder, at any time, under any umask: names in byte order,
# owner and group 0, modes rw-r--r-- (rwxr-xr-x for what is executable), every
# time the release's (EGN_RELEASE_DATE in CMakeLists.txt, or
# SOURCE_DATE_EPOCH), and gzip without a name or a time.
# Usage: tools/orig-tarball.sh [DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$(realpath -m "${1:-..}")
version=$(sed -n 's/^set(EGN_VERSION_TEXT "\(.*\)")$/\1/p' CMakeLists.txt)
released=$(sed -n 's/^set(EGN_RELEASE_DATE "\([0-9-]*\)").*/\1/p' CMakeLists.txt)
[[ -n $version && -n $released ]] || {
  echo "orig-tarball.sh: CMakeLists.txt names no EGN_VERSION_TEXT or EGN_RELEASE_DATE" >&2
  exit 1
}
epoch=${SOURCE_DATE_EPOCH:-$(date -u -d "$released" +%s)}
tarball=$dir/egn-check_$version.orig.tar.gz
mkdir -p "$dir"
tools/source-files.sh | tr '\0' '\n' | grep -v '^debian/' | LC_ALL=C sort | tr '\n' '\0' |
  tar --null --verbatim-files-from --no-recursion --transform "s,^,egn-check-$version/,S" \
    --format=gnu --owner=0 --group=0 --numeric-owner --mode='u+rw,go=u,go-w,a-s' \
    --mtime="@$epoch" -cf - -T - | gzip -n -9 >"$tarball.new"
mv "$tarball.new" "$tarball"
echo "$tarball"
