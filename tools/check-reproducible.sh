#!/usr/bin/env bash
# Builds every download (tools/release.sh) twice, from two copies of this
# source in two different folders, one after the other, with different time
# zones, locales and umasks, and compares the results file by file: the
# packages, the page, the site, SHA256SUMS, and the programs and the site's
# files in both build trees. On a difference it names the file, the first
# differing byte and, inside a .deb or a ZIP, the member; it fails unless
# everything is the same. Then the Debian packages among the downloads go
# through tools/check-package.sh (lintian, hardening-check, installing them).
# Needs what `tools/deps.sh --release` and `--package` install (and unzip).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(mktemp -d /var/tmp/egn-reproducible.XXXXXX)
trap 'rm -rf "$root"' EXIT
first=$root/a/egn-check
second=$root/another/folder/egn-check-1.00

# One copy of the source for both builds, taken once: the tree may change
# while the first build runs.
tools/source-files.sh | tar --null -T - -cf "$root/source.tar"
build() {  # FOLDER TZ LOCALE UMASK
  mkdir -p "$1"
  tar -xf "$root/source.tar" -C "$1"
  local started=$SECONDS
  (cd "$1" && umask "$4" && TZ=$2 LC_ALL=$3 ./tools/release.sh out/downloads out/build >"$1.log" 2>&1) ||
    { tail -n 30 "$1.log" >&2; echo "check-reproducible: the build in $1 failed" >&2; exit 1; }
  echo "check-reproducible: built in $1 ($((SECONDS - started)) s)"
}

differ=0
buildinfo_without_the_build() {  # FILE: without Build-Date and Environment (and its lines)
  awk '/^[^ ]/ { skip = ($1 == "Build-Date:" || $1 == "Environment:") } !skip' "$1"
}
# Names what differs between the files $1 and $2, shown as $3; descends into
# archives to the member.
compare() {
  if cmp -s "$1" "$2"; then return 0; fi
  # A .buildinfo records its build's date and environment (the time zone and
  # locale differ here on purpose); the checksums of what was built and the
  # packages it was built with must be the same.
  if [[ $3 == *.buildinfo ]]; then
    local what
    if what=$(diff <(buildinfo_without_the_build "$1") <(buildinfo_without_the_build "$2")); then
      return 0
    fi
    differ=1
    echo "check-reproducible: $3 differs beyond its date and environment: $(grep -m 1 '^[<>]' <<<"$what")" >&2
    return 0
  fi
  differ=1
  echo "check-reproducible: $3 differs: $(cmp "$1" "$2" 2>&1 | head -n 1 | sed 's/^[^ ]* [^ ]* //')" >&2
  local x=$root/unpacked/$3/1 y=$root/unpacked/$3/2 list
  case $3 in
    *.deb) list=(ar tv) ;;
    *.tar.*) list=(tar --full-time --numeric-owner -tvf) ;;
    *.zip) list=(unzip -Z -l -T) ;;
    *) return 0 ;;
  esac
  # The members' names, modes, owners and times, then their contents.
  local first_line
  first_line=$(diff <("${list[@]}" "$1") <("${list[@]}" "$2") | grep -m 1 '^[<>]' || true)
  [[ -z $first_line ]] || echo "check-reproducible: $3: the member list differs: $first_line" >&2
  mkdir -p "$x" "$y"
  case $3 in
    *.deb) (cd "$x" && ar x "$1") && (cd "$y" && ar x "$2") ;;
    *.tar.*) tar -xf "$1" -C "$x" && tar -xf "$2" -C "$y" ;;
    *.zip) unzip -q "$1" -d "$x" && unzip -q "$2" -d "$y" ;;
  esac
  compare_folders "$x" "$y" "$3:"
}
compare_folders() {  # FOLDER FOLDER PREFIX
  local name
  while IFS= read -r -d '' name; do
    if [[ ! -f $2/$name ]]; then
      differ=1
      echo "check-reproducible: $3$name is only in the first build" >&2
    else
      compare "$1/$name" "$2/$name" "$3$name"
    fi
  done < <(cd "$1" && find . -type f -printf '%P\0' | sort -z)
  while IFS= read -r -d '' name; do
    [[ -f $1/$name ]] || { differ=1; echo "check-reproducible: $3$name is only in the second build" >&2; }
  done < <(cd "$2" && find . -type f -printf '%P\0' | sort -z)
}

build "$first" UTC C.UTF-8 022
build "$second" Pacific/Kiritimati C 002
compare_folders "$first/out/downloads" "$second/out/downloads" ""
linux=linux/egn-check/obj-$(dpkg-architecture -q DEB_HOST_GNU_TYPE)  # dpkg-buildpackage's build
for program in "$linux/window/egn-check" "$linux/cli/egn-digit" windows/window/egn-check.exe \
  windows/cli/egn-digit.exe windows/packaging/path-entry.exe windows32/window/egn-check.exe \
  windows32/cli/egn-digit.exe windows32/packaging/path-entry.exe; do
  compare "$first/out/build/$program" "$second/out/build/$program" "$program"
done
compare_folders "$first/out/build/web/window/site" "$second/out/build/web/window/site" web/window/site/
if ((differ)); then
  echo "check-reproducible: the two builds differ" >&2
  exit 1
fi
echo "check-reproducible: the two builds are the same, byte for byte:"
cat "$first/out/downloads/SHA256SUMS"
# The Debian download itself, as distributions and administrators judge it.
tools/check-package.sh "$first"/out/downloads/egn-digit_*.deb "$first"/out/downloads/egn-check_*.deb
