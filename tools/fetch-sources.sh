#!/usr/bin/env bash
# Fetches the Debian 12 sources that the Windows and browser builds compile
# themselves (zlib and expat) into CACHE, where cmake/Dependencies.cmake
# takes them; the builds themselves never go to the network:
#
# - the tarballs of cmake/debian-sources.txt, each kept only if its SHA-256
#   is the one listed there (what the cache holds already is not fetched
#   again);
# - Debian's fixes of expat from the newest revision of expat 2.5.0 that
#   Debian's signed indexes name (bookworm-security's, bookworm's): apt-get
#   reads the indexes, checks their signatures against Debian's archive
#   keyring and the files against the indexes' SHA-256. Where no revision
#   newer than the one listed in debian-sources.txt can be fetched, that one
#   is taken, and the newer ones that could not are named. CACHE/expat.debian
#   names the file taken, with its SHA-256.
#
# Run by tools/deps.sh, as root (the cache is shared by every build of the
# machine). Usage: tools/fetch-sources.sh [CACHE] (default $EGN_SOURCE_CACHE,
# or /var/cache/egn-check/sources)
set -euo pipefail
cd "$(dirname "$0")/.."
cache=${1:-${EGN_SOURCE_CACHE:-/var/cache/egn-check/sources}}

# The Debian mirrors this machine already uses (deb822 or one-line sources),
# as tools/check-fresh.sh finds them: the archive's, and the security one's.
uris=$({
  grep -hs '^URIs:' /etc/apt/sources.list.d/*.sources || true
  grep -hsE '^deb ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list | sed -E 's/\[[^]]*\]//' || true
} | awk '{print $2}')
mirror=$(grep -v -- '-security' <<<"$uris" | head -n 1 || true)
security=$(grep -- '-security' <<<"$uris" | head -n 1 || true)
[[ -n $security ]] || security=${mirror%/}-security  # Debian's own layout
if [[ -z $mirror ]]; then
  echo "fetch-sources: no Debian mirror in this machine's apt sources" >&2
  exit 1
fi

mkdir -p "$cache"
fetch() {  # PATH SHA256: the file PATH of the mirror into the cache, checked
  local path=$1 sha256=$2 file=$cache/${1##*/}
  if [[ -e $file ]] && echo "$sha256  $file" | sha256sum --check --status; then
    return 0
  fi
  echo "fetch-sources: ${path##*/}"
  local base=$mirror
  [[ $path == pool/updates/* ]] && base=$security
  if ! curl --fail --silent --show-error --location --retry 3 -o "$file.part" "${base%/}/$path"; then
    rm -f "$file.part"
    return 1
  fi
  if ! echo "$sha256  $file.part" | sha256sum --check --status; then
    rm -f "$file.part"
    echo "fetch-sources: ${base%/}/$path is not the file listed (its SHA-256 differs)" >&2
    exit 1
  fi
  chmod 644 "$file.part"
  mv "$file.part" "$file"
}
pinned_debian=
while read -r path sha256; do
  [[ -z $path || $path == \#* ]] && continue
  if [[ $path == *.debian.tar.* ]]; then
    pinned_debian="$path $sha256"
    continue
  fi
  fetch "$path" "$sha256" || { echo "fetch-sources: cannot fetch ${path##*/}" >&2; exit 1; }
done <cmake/debian-sources.txt

# The newest revision of expat 2.5.0 in Debian's signed source indexes.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/lists/partial" "$work/cache" "$work/files"
{
  echo "deb-src $mirror bookworm main"
  echo "deb-src $security bookworm-security main"
} >"$work/sources.list"
apt=(-q -o "Dir::Etc::SourceList=$work/sources.list" -o Dir::Etc::SourceParts=/dev/null
  -o "Dir::State::Lists=$work/lists" -o "Dir::Cache=$work/cache" -o APT::Sandbox::User=root)
taken=
if apt-get "${apt[@]}" update >"$work/update.log" 2>&1; then
  versions=$(apt-cache "${apt[@]}" showsrc expat | sed -n 's/^Version: \(2\.5\.0-.*\)$/\1/p' |
    sort -u | sort -r -V)
  pinned_version=${pinned_debian%%.debian.tar.*}
  pinned_version=${pinned_version##*/expat_}
  for version in $versions; do
    # Older than the revision listed: that one is taken instead.
    dpkg --compare-versions "$version" gt "$pinned_version" || break
    if (cd "$work/files" && apt-get "${apt[@]}" source --download-only "expat=$version" \
      >"$work/source.log" 2>&1); then
      file=$(cd "$work/files" && ls expat_*.debian.tar.*)
      install -m 644 "$work/files/$file" "$cache/$file"
      taken="$file $(sha256sum "$cache/$file" | cut -d' ' -f1)"
      break
    fi
    echo "fetch-sources: expat $version, the newest in Debian's index, cannot be fetched:" \
      "$(grep -m1 -E '^E:' "$work/source.log" || tail -n 1 "$work/source.log")" >&2
    rm -f "$work/files"/*
  done
else
  echo "fetch-sources: Debian's source indexes cannot be read: $(tail -n 1 "$work/update.log")" >&2
fi
if [[ -z $taken ]]; then
  read -r path sha256 <<<"$pinned_debian"
  fetch "$path" "$sha256" || { echo "fetch-sources: cannot fetch ${path##*/}" >&2; exit 1; }
  echo "fetch-sources: taking ${path##*/}, the revision listed in cmake/debian-sources.txt" >&2
  taken="${path##*/} $sha256"
fi
echo "$taken" >"$cache/expat.debian.new"
chmod 644 "$cache/expat.debian.new"
mv "$cache/expat.debian.new" "$cache/expat.debian"
echo "fetch-sources: expat's fixes from ${taken%% *}"
