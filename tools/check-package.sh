#!/usr/bin/env bash
# Checks the Debian package as distributions and administrators judge it:
# lintian --pedantic with no error and no warning; hardening-check passes both
# programs; no unneeded section and no symbols in them; every file carries the
# release's date; its name, version, dependencies and description; and that
# installing it with apt makes programs that start and answer.
#
# Without DEB, it first builds the package as a distribution does: from a
# clean copy of the source tree, the source package (dpkg-source -b) and then
# `dpkg-buildpackage -us -uc -b`, which also runs the tests (dh_auto_test);
# lintian then checks the source package and everything the build made. Needs root (or sudo) for apt, and what `tools/deps.sh --package`
# installs.
# Usage: tools/check-package.sh [DEB]
set -euo pipefail
cd "$(dirname "$0")/.."
as_root=()
[[ $(id -u) -eq 0 ]] || as_root=(sudo)
version=$(sed -n 's/^set(EGN_VERSION_TEXT "\(.*\)")$/\1/p' CMakeLists.txt)
released=$(sed -n 's/^set(EGN_RELEASE_DATE "\([0-9-]*\)").*/\1/p' CMakeLists.txt)
arch=$(dpkg --print-architecture)

scratch=$(mktemp -d /var/tmp/egn-package.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
fail() {
  echo "check-package: $*" >&2
  exit 1
}

if (($# == 0)); then
  started=$SECONDS
  mkdir "$scratch/egn-check"
  tools/source-files.sh | tar --null -T - -cf - | tar -xf - -C "$scratch/egn-check"
  # The source package first, of the clean tree; lintian checks it too.
  (cd "$scratch" && dpkg-source -b egn-check >"$scratch/source.log" 2>&1) ||
    { cat "$scratch/source.log" >&2; fail "dpkg-source -b failed (above)"; }
  echo "check-package: dpkg-buildpackage -us -uc -b in a clean copy of the tree"
  if ! (cd "$scratch/egn-check" && dpkg-buildpackage -us -uc -b >"$scratch/build.log" 2>&1); then
    tail -n 60 "$scratch/build.log" >&2
    fail "dpkg-buildpackage failed (the last lines of its output are above)"
  fi
  grep -E '^[0-9]+% tests passed' "$scratch/build.log" || true
  echo "check-package: built and tested in $((SECONDS - started)) s"
  deb=$scratch/egn-check_${version}_$arch.deb
  checked=("$scratch/egn-check_${version}_$arch.changes" "$scratch/egn-check_$version.dsc")
else
  deb=$(realpath "$1")
  checked=("$deb")
fi
[[ -f $deb ]] || fail "there is no $deb"
echo "check-package: $deb"

# Every tag is shown; an error or a warning fails.
if ! lintian --pedantic --display-info --fail-on error,warning "${checked[@]}" >"$scratch/lintian.txt" 2>&1; then
  cat "$scratch/lintian.txt" >&2
  fail "lintian --pedantic found errors or warnings in ${checked[*]##*/}"
fi
sed 's/^/lintian: /' "$scratch/lintian.txt"
echo "check-package: lintian --pedantic: no error and no warning"

[[ $(dpkg-deb --field "$deb" Package) == egn-check ]] || fail "the package is not named egn-check"
[[ $(dpkg-deb --field "$deb" Version) == "$version" ]] ||
  fail "the package's version is $(dpkg-deb --field "$deb" Version), not $version (debian/changelog)"
depends=$(dpkg-deb --field "$deb" Depends)
echo "Depends: $depends"
for needed in libqt6widgets6 libqt6gui6 libqt6core6 libc6 libstdc++6; do
  [[ $depends == *"$needed"* ]] || fail "the package does not depend on $needed"
done

# The description as apt shows it: the summary once, then the long text with
# one space before each line and " ." between paragraphs.
description=$(dpkg-deb --field "$deb" Description)
summary=$(head -n 1 <<<"$description")
body=$(tail -n +2 <<<"$description")
if [[ $summary != "control digit of a Bulgarian Unified Civil Number" ]] ||
  grep -qF "$summary" <<<"$body" || grep -qvE '^ ([^ ].*|\.)$' <<<"$body" ||
  ! grep -qx ' \.' <<<"$body"; then
  echo "$description" >&2
  fail "the package's description is not in a Debian package's form (above)"
fi

# The files' time is the release's date (debian/changelog's, which
# dpkg-buildpackage gives the build): the same as the other downloads'.
times=$(dpkg-deb --fsys-tarfile "$deb" | tar --full-time --utc -tvf - | awk '{print $4 " " $5}' | sort -u)
[[ $times == "$released 00:00:00" ]] ||
  fail "the package's files are not all dated $released 00:00:00 UTC: $(tr '\n' ',' <<<"$times")"

dpkg-deb -x "$deb" "$scratch/unpacked"
programs=("$scratch/unpacked/usr/bin/egn-check" "$scratch/unpacked/usr/bin/egn-digit")
for program in "${programs[@]}"; do
  if readelf -S "$program" | grep -qE '\.symtab|\.debug_info|\.comment'; then
    fail "$(basename "$program") is not stripped of symbols, debugging information and .comment"
  fi
done

# Control-flow protection is marked in a program only when every object in
# it is: Debian 12's C start files (Scrt1.o, crti.o, crtn.o) are not, so no
# program linked there is marked, Debian's own included. There the programs'
# own code must show it: its functions begin with ENDBR64.
hardening=()
if [[ $arch == amd64 ]] &&
  ! readelf -n "$(gcc -print-file-name=Scrt1.o)" | grep -q 'x86 feature: IBT, SHSTK'; then
  hardening=(--nocfprotection)
  for program in "${programs[@]}"; do
    objdump -d --no-show-raw-insn "$program" | grep -c endbr64 >/dev/null ||
      fail "$(basename "$program") has no ENDBR64: it was not built with -fcf-protection"
  done
fi
if ! hardening-check "${hardening[@]}" "${programs[@]}" >"$scratch/hardening.txt" 2>&1; then
  cat "$scratch/hardening.txt" >&2
  fail "hardening-check failed (above)"
fi
sed 's/^/hardening-check: /' "$scratch/hardening.txt"

export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get install -y -q "$deb" >/dev/null
set +e
QT_QPA_PLATFORM=offscreen timeout 3 /usr/bin/egn-check
rc=$?
set -e
digit=$(/usr/bin/egn-digit 123456789)
"${as_root[@]}" apt-get remove -y -q egn-check >/dev/null
[[ $digit == $'123456789\t1234567890' ]] || fail "the installed egn-digit printed \"$digit\""
[[ $rc -eq 124 ]] || fail "the installed egn-check ended with $rc instead of running its window"
echo "check-package: installed, egn-check ran its window and egn-digit answered; removed again"
