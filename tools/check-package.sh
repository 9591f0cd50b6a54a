#!/usr/bin/env bash
# Checks the Debian packages as distributions and administrators judge them:
# egn-digit (the command-line program, nothing of Qt) and egn-check (the
# window): lintian --pedantic with no error and no warning; hardening-check
# passes both programs; no unneeded section and no symbols in them; every
# file carries the release's date; each package's name, version, files,
# dependencies and description; and that installing them with apt makes
# programs that start and answer, egn-digit alone first.
#
# Without DEB, it first builds the packages as a distribution does: from a
# clean copy of the source tree, the source package (dpkg-source -b) and then
# `dpkg-buildpackage -us -uc -b`, which also runs the tests (dh_auto_test);
# lintian then checks the source package and everything the build made.
# Needs root (or sudo) for apt, and what `tools/deps.sh --package` installs.
# Usage: tools/check-package.sh [EGN_DIGIT_DEB EGN_CHECK_DEB]
set -euo pipefail
cd "$(dirname "$0")/.."
as_root=()
[[ $(id -u) -eq 0 ]] || as_root=(sudo)
version=$(sed -n 's/^set(EGN_VERSION_TEXT "\(.*\)")$/\1/p' CMakeLists.txt)
released=$(sed -n 's/^set(EGN_RELEASE_DATE "\([0-9-]*\)").*/\1/p' CMakeLists.txt)
arch=$(dpkg --print-architecture)
# The packages' version: the release's, and the Debian revision of it.
package_version=$(dpkg-parsechangelog -S Version)
[[ ${package_version%-*} == "$version" ]] ||
  { echo "check-package: debian/changelog's version $package_version is not of the release $version" >&2; exit 1; }

scratch=$(mktemp -d /var/tmp/egn-package.XXXXXX)
fail() {
  echo "check-package: $*" >&2
  exit 1
}

# A bare Debian 12 root, as a distribution's build machines and test beds
# start from (debootstrap --variant=buildd, kept in EGN_BUILDD_CACHE between
# runs), copied to the folder ROOT with /proc and /dev in it. Every mount
# is undone when the script ends, before $scratch is removed.
mounts=()
trap 'for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do "${as_root[@]}" umount -l "${mounts[i]}"; done
      grep -q " $scratch/" /proc/mounts || "${as_root[@]}" rm -rf "$scratch"' EXIT
make_root() {  # ROOT
  local cache=${EGN_BUILDD_CACHE:-/var/cache/egn-check/bookworm-buildd} mirror
  mirror=$({
    grep -hs '^URIs:' /etc/apt/sources.list.d/*.sources || true
    grep -hsE '^deb ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list | sed -E 's/\[[^]]*\]//' || true
  } | awk '$2 !~ /-security/ {print $2; exit}')
  [[ -n $mirror ]] || fail "no Debian mirror in this machine's apt sources"
  if [[ ! -e $cache/.complete ]]; then
    echo "check-package: making a bare root (debootstrap --variant=buildd bookworm) from $mirror"
    "${as_root[@]}" rm -rf "$cache.new"
    "${as_root[@]}" mkdir -p "$(dirname "$cache")"
    "${as_root[@]}" debootstrap --variant=buildd bookworm "$cache.new" "$mirror" >"$scratch/debootstrap.log" 2>&1 ||
      { tail -n 20 "$scratch/debootstrap.log" >&2; fail "debootstrap failed (above)"; }
    "${as_root[@]}" touch "$cache.new/.complete"
    "${as_root[@]}" rm -rf "$cache"
    "${as_root[@]}" mv "$cache.new" "$cache"
  fi
  mkdir "$1"
  "${as_root[@]}" cp -a "$cache/." "$1/"
  # /proc, and /dev with what is mounted in it (/dev/pts: a test opens a
  # terminal), as a build machine's chroot has them.
  "${as_root[@]}" mount -t proc proc "$1/proc"
  mounts+=("$1/proc")
  "${as_root[@]}" mount --rbind /dev "$1/dev"
  mounts+=("$1/dev")
  # Packages this machine has fetched already are taken from its cache.
  "${as_root[@]}" mount --bind /var/cache/apt/archives "$1/var/cache/apt/archives"
  mounts+=("$1/var/cache/apt/archives")
  "${as_root[@]}" cp /etc/resolv.conf "$1/etc/resolv.conf"
}

# A distribution's build machine: the bare root, the source package's
# Build-Depends installed there by apt, and dpkg-buildpackage -us -uc run
# from the source package by a user who is not root, with no network and no
# display. What it makes is brought back to $scratch.
build_in_root() {
  local root=$scratch/root
  make_root "$root"
  "${as_root[@]}" mkdir -p "$root/build"
  "${as_root[@]}" cp "$scratch"/egn-check_*.dsc "$scratch"/egn-check_*.orig.tar.* "$scratch"/egn-check_*.debian.tar.* "$root/build/"
  in_root() { "${as_root[@]}" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LC_ALL=C.UTF-8 chroot "$@"; }
  echo "check-package: the Build-Depends installed in the bare root"
  in_root "$root" /bin/sh -c 'cd /build && dpkg-source -x egn-check_*.dsc egn-check >/dev/null &&
    apt-get update -q && DEBIAN_FRONTEND=noninteractive apt-get build-dep -y -q --no-install-recommends ./egn-check &&
    useradd --create-home --uid 2000 builder && chown -R builder: /build' >"$scratch/build-deps.log" 2>&1 ||
    { tail -n 30 "$scratch/build-deps.log" >&2; fail "the Build-Depends could not be installed in the bare root (above)"; }
  echo "check-package: dpkg-buildpackage -us -uc in the bare root, as a user, with no network"
  if ! "${as_root[@]}" unshare --net env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/home/builder LC_ALL=C.UTF-8 \
    chroot --userspec=2000:2000 "$root" /bin/sh -c 'cd /build/egn-check && dpkg-buildpackage -us -uc' \
    >"$scratch/build.log" 2>&1; then
    # What each failed test said (ctest prints it after its line), then the end.
    grep -A 40 -E '\*\*\*(Failed|Exception)|Test +#[0-9]+: .* (Failed|Not Run)' "$scratch/build.log" | head -n 200 >&2 || true
    tail -n 60 "$scratch/build.log" >&2
    fail "dpkg-buildpackage failed in the bare root (the last lines of its output are above)"
  fi
  # The source package as the build made it again, which the .changes names.
  cp "$root"/build/egn-*.deb "$root"/build/egn-check_*.changes "$root"/build/egn-check_*.buildinfo \
    "$root"/build/egn-check_*.dsc "$root"/build/egn-check_*.debian.tar.* "$scratch/"
}

if (($# == 0)); then
  started=$SECONDS
  mkdir "$scratch/egn-check"
  tools/source-files.sh | tar --null -T - -cf - | tar -xf - -C "$scratch/egn-check"
  # The release's source tarball beside it, as tools/release.sh makes it:
  # the source package (3.0 (quilt)) is built on it.
  tools/orig-tarball.sh "$scratch" >/dev/null
  # The source package first, of the clean tree; lintian checks it too.
  (cd "$scratch" && dpkg-source -b egn-check >"$scratch/source.log" 2>&1) ||
    { cat "$scratch/source.log" >&2; fail "dpkg-source -b failed (above)"; }
  if [[ ${EGN_PACKAGE_BUILD:-root} == host ]]; then
    echo "check-package: dpkg-buildpackage -us -uc in a clean copy of the tree, on this machine"
    if ! (cd "$scratch/egn-check" && dpkg-buildpackage -us -uc >"$scratch/build.log" 2>&1); then
      tail -n 60 "$scratch/build.log" >&2
      fail "dpkg-buildpackage failed (the last lines of its output are above)"
    fi
  else
    build_in_root
  fi
  grep -E '^[0-9]+% tests passed' "$scratch/build.log" || true
  # The tests that could not run here (a tool the build machine lacks), as
  # ctest lists them; each said why in its output.
  sed -n '/^The following tests did not run:/,/^$/p' "$scratch/build.log"
  echo "check-package: built and tested in $((SECONDS - started)) s"
  digit_deb=$scratch/egn-digit_${package_version}_$arch.deb
  check_deb=$scratch/egn-check_${package_version}_$arch.deb
  checked=("$scratch/egn-check_${package_version}_$arch.changes" "$scratch/egn-check_$package_version.dsc")
elif (($# == 2)); then
  digit_deb=$(realpath "$1")
  check_deb=$(realpath "$2")
  checked=("$digit_deb" "$check_deb")
else
  fail "give both packages, egn-digit's and egn-check's, or none"
fi
for deb in "$digit_deb" "$check_deb"; do
  [[ -f $deb ]] || fail "there is no $deb"
  echo "check-package: $deb"
done

# Every tag is shown; an error or a warning fails.
if ! lintian --pedantic --display-info --fail-on error,warning "${checked[@]}" >"$scratch/lintian.txt" 2>&1; then
  cat "$scratch/lintian.txt" >&2
  fail "lintian --pedantic found errors or warnings in ${checked[*]##*/}"
fi
sed 's/^/lintian: /' "$scratch/lintian.txt"
echo "check-package: lintian --pedantic: no error and no warning"

# Each package: its name and version; what it must depend on, and what it
# must not (egn-digit nothing of Qt or of a window; neither the other
# package); its summary; its files, exactly.
check_fields() {  # DEB NAME SUMMARY NEEDED FORBIDDEN(regex)
  local deb=$1 name=$2 summary=$3 needed=$4 forbidden=$5 depends
  [[ $(dpkg-deb --field "$deb" Package) == "$name" ]] || fail "${deb##*/} is not named $name"
  [[ $(dpkg-deb --field "$deb" Version) == "$package_version" ]] ||
    fail "$name's version is $(dpkg-deb --field "$deb" Version), not $package_version (debian/changelog)"
  depends=$(dpkg-deb --field "$deb" Depends)
  echo "$name: Depends: $depends"
  for package in $needed; do
    [[ $depends == *"$package"* ]] || fail "$name does not depend on $package"
  done
  ! grep -qE "$forbidden" <<<"$depends" || fail "$name depends on $(grep -oE "$forbidden" <<<"$depends" | head -n 1)"
  [[ $(dpkg-deb --field "$deb" Description | head -n 1) == "$summary" ]] ||
    fail "$name's summary is not \"$summary\""
}
check_fields "$digit_deb" egn-digit "control digit of Bulgarian Unified Civil Numbers, on the command line" \
  "libc6 libstdc++6" '(libqt[^ ,]*|libx[^ ,]*|libgl[^ ,]*|egn-check)'
check_fields "$check_deb" egn-check "control digit of a Bulgarian Unified Civil Number" \
  "libqt6widgets6 libqt6gui6 libqt6core6 libc6 libstdc++6" '(egn-digit)'
[[ $(dpkg-deb --field "$check_deb" Static-Built-Using) =~ ^fonts-liberation2\ \(=\ [^\)]+\)$ ]] ||
  fail "egn-check's Static-Built-Using does not name fonts-liberation2 and its version: \"$(dpkg-deb --field "$check_deb" Static-Built-Using)\""
[[ -z $(dpkg-deb --field "$digit_deb" Static-Built-Using) ]] || fail "egn-digit carries no face, yet names a Static-Built-Using"

# The files of each, as dpkg -c lists them: the regular files, sorted.
files_of() { dpkg-deb -c "$1" | awk '$1 ~ /^-/ {print $6}' | sort; }
expected_digit="./usr/bin/egn-digit
./usr/share/doc/egn-digit/changelog.Debian.gz
./usr/share/doc/egn-digit/copyright
./usr/share/lintian/overrides/egn-digit
./usr/share/man/man1/egn-digit.1.gz"
[[ $(files_of "$digit_deb") == "$expected_digit" ]] ||
  fail "egn-digit's files are not the program, its man page, changelog, copyright and lintian overrides: $(files_of "$digit_deb" | tr '\n' ' ')"
! files_of "$check_deb" | grep -q egn-digit || fail "egn-check ships a file of egn-digit: $(files_of "$check_deb" | grep egn-digit)"
files_of "$check_deb" | grep -qx ./usr/bin/egn-check || fail "egn-check does not ship /usr/bin/egn-check"

# The description as apt shows it: the summary once, then the long text with
# one space before each line and " ." between paragraphs.
for deb in "$digit_deb" "$check_deb"; do
  description=$(dpkg-deb --field "$deb" Description)
  summary=$(head -n 1 <<<"$description")
  body=$(tail -n +2 <<<"$description")
  if grep -qF "$summary" <<<"$body" || grep -qvE '^ ([^ ].*|\.)$' <<<"$body" ||
    ! grep -qx ' \.' <<<"$body"; then
    echo "$description" >&2
    fail "${deb##*/}'s description is not in a Debian package's form (above)"
  fi

  # The files' time is the release's date (debian/changelog's, which
  # dpkg-buildpackage gives the build): the same as the other downloads'.
  times=$(dpkg-deb --fsys-tarfile "$deb" | tar --full-time --utc -tvf - | awk '{print $4 " " $5}' | sort -u)
  [[ $times == "$released 00:00:00" ]] ||
    fail "${deb##*/}'s files are not all dated $released 00:00:00 UTC: $(tr '\n' ',' <<<"$times")"
  dpkg-deb -x "$deb" "$scratch/unpacked"
done

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

# egn-digit installed alone answers, and passes its autopkgtest (debian/tests)
# with nothing else of ours installed; then egn-check, beside it, runs its
# window and passes its own. Both are removed again. The tests run as the
# testbed's user would run them, from a folder of their own (AUTOPKGTEST_TMP).
autopkgtest_run() {  # TEST
  local tmp=$scratch/autopkgtest/$1
  mkdir -p "$tmp"
  (cd "$tmp" && AUTOPKGTEST_TMP=$tmp "$OLDPWD/debian/tests/$1") >"$tmp.log" 2>&1 ||
    { cat "$tmp.log" >&2; fail "the autopkgtest $1 failed (above)"; }
  sed "s/^/autopkgtest $1: /" "$tmp.log"
}
listed=$(sed -n 's/^Tests: *//p' debian/tests/control | tr '\n' ' ')
[[ $listed == "egn-digit egn-check-window " ]] ||
  fail "debian/tests/control lists the tests $listed; this script runs egn-digit and egn-check-window"
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get install -y -q "$digit_deb" >/dev/null
digit=$(/usr/bin/egn-digit 123456789)
[[ $digit == $'123456789\t1234567890' ]] || fail "the installed egn-digit printed \"$digit\""
autopkgtest_run egn-digit
"${as_root[@]}" apt-get install -y -q "$check_deb" >/dev/null
set +e
QT_QPA_PLATFORM=offscreen timeout 3 /usr/bin/egn-check
rc=$?
set -e
[[ $rc -eq 124 ]] || fail "the installed egn-check ended with $rc instead of running its window"
autopkgtest_run egn-check-window
"${as_root[@]}" apt-get remove -y -q egn-check egn-digit >/dev/null
echo "check-package: installed, egn-digit alone answered and egn-check ran its window; removed again"

# The same tests by autopkgtest's own runner, as a distribution's testing
# runs them: in a bare root of their own (the chroot testbed), each test's
# Depends installed there from the packages given. Its source is debian/
# alone.
make_root "$scratch/testbed"
mkdir "$scratch/tests-source"
cp -r debian "$scratch/tests-source/"
if ! "${as_root[@]}" autopkgtest --no-built-binaries "$digit_deb" "$check_deb" "$scratch/tests-source" \
  -- chroot "$scratch/testbed" >"$scratch/autopkgtest.log" 2>&1; then
  tail -n 60 "$scratch/autopkgtest.log" >&2
  fail "autopkgtest failed (the last lines of its output are above)"
fi
results=$(sed -n 's/^\(egn-digit\|egn-check-window\) \+\(PASS\|FAIL\|SKIP\|FLAKY\).*/\1 \2/p' "$scratch/autopkgtest.log" | sort -u | tr '\n' ' ')
[[ $results == "egn-check-window PASS egn-digit PASS " ]] ||
  { tail -n 60 "$scratch/autopkgtest.log" >&2; fail "autopkgtest's results: $results"; }
echo "check-package: autopkgtest (its own runner, a bare chroot testbed): $results"
