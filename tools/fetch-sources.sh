#!/usr/bin/env bash
# Fetches the Debian 12 source tarballs listed in cmake/debian-sources.txt
# (zlib and expat, which the Windows and browser builds compile themselves)
# into CACHE, from this machine's Debian mirror, and keeps each only if its
# SHA-256 is the one listed. What the cache already holds is not fetched
# again. Run by tools/deps.sh, as root (the cache is shared by every build of
# the machine); the builds themselves never go to the network.
# Usage: tools/fetch-sources.sh [CACHE] (default $EGN_SOURCE_CACHE, or
# /var/cache/egn-check/sources)
set -euo pipefail
cd "$(dirname "$0")/.."
cache=${1:-${EGN_SOURCE_CACHE:-/var/cache/egn-check/sources}}

# The Debian mirror this machine already uses (deb822 or one-line sources),
# as tools/check-fresh.sh finds it.
mirror=$({
  grep -hs '^URIs:' /etc/apt/sources.list.d/*.sources || true
  grep -hsE '^deb ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list | sed -E 's/\[[^]]*\]//' || true
} | awk '$2 !~ /-security/ {print $2; exit}')
if [[ -z $mirror ]]; then
  echo "fetch-sources: no Debian mirror in this machine's apt sources" >&2
  exit 1
fi

mkdir -p "$cache"
while read -r path sha256; do
  [[ -z $path || $path == \#* ]] && continue
  file=$cache/${path##*/}
  if [[ -e $file ]] && echo "$sha256  $file" | sha256sum --check --status; then
    continue
  fi
  echo "fetch-sources: ${path##*/}"
  curl --fail --silent --show-error --location --retry 3 -o "$file.part" "${mirror%/}/$path"
  if ! echo "$sha256  $file.part" | sha256sum --check --status; then
    rm -f "$file.part"
    echo "fetch-sources: ${mirror%/}/$path is not the file listed (its SHA-256 differs)" >&2
    exit 1
  fi
  chmod 644 "$file.part"
  mv "$file.part" "$file"
done <cmake/debian-sources.txt
