#!/usr/bin/env bash
# Proves the README's run command on a fresh Debian 12: a minimal root made by
# debootstrap, this checkout copied into it, the command run there exactly as
# the README states it, as the first command typed, with the display of an
# Xvfb that runs outside the root (its socket bind-mounted in). Passes when
# the window appears; then ends the program and removes the root.
#
# Also checks that tools/deps.sh, run there by a user who is not root (the
# root has no sudo), says what to do instead of failing on a missing sudo.
#
# Needs root, debootstrap, xvfb and x11-utils. The bare root is kept in
# EGN_FRESH_CACHE (default /var/cache/egn-check/bookworm-minbase) between runs.
set -euo pipefail
cd "$(dirname "$0")/.."
cache=${EGN_FRESH_CACHE:-/var/cache/egn-check/bookworm-minbase}
title="Информатика - проверка на ЕГН"
started=$SECONDS

command=$(awk '/<!-- run-command -->/{getline; getline; print; exit}' README.md)
if [[ -z $command ]]; then
  echo "check-fresh: README.md has no run command" >&2
  exit 1
fi

# The Debian mirror this machine already uses (deb822 or one-line sources).
mirror=$({
  grep -hs '^URIs:' /etc/apt/sources.list.d/*.sources || true
  grep -hsE '^deb ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list | sed -E 's/\[[^]]*\]//' || true
} | awk '$2 !~ /-security/ {print $2; exit}')
if [[ -z $mirror ]]; then
  echo "check-fresh: no Debian mirror in this machine's apt sources" >&2
  exit 1
fi

if [[ ! -e $cache/.complete ]]; then
  echo "check-fresh: making a minimal Debian 12 root from $mirror"
  rm -rf "$cache.new"
  mkdir -p "$(dirname "$cache")"
  debootstrap --variant=minbase bookworm "$cache.new" "$mirror" >/dev/null
  touch "$cache.new/.complete"
  rm -rf "$cache"
  mv "$cache.new" "$cache"
fi

root=$(mktemp -d /var/tmp/egn-fresh.XXXXXX)
display=:$((200 + RANDOM % 100))
xvfb=
app=
mounts=()
cleanup() {
  [[ -n $app ]] && kill -- -"$app" 2>/dev/null
  [[ -n $xvfb ]] && kill "$xvfb" 2>/dev/null
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do umount -l "${mounts[i]}" 2>/dev/null; done
  # Never remove through a mount that is still there (it would reach the host).
  if ! grep -q " $root/" /proc/mounts; then rm -rf "$root"; fi
}
trap cleanup EXIT
bind() { mkdir -p "$root$2" && mount "${@:3}" "$1" "$root$2" && mounts+=("$root$2"); }

cp -a "$cache/." "$root/"
cp /etc/resolv.conf "$root/etc/resolv.conf"
mkdir -p "$root/usr/src/egn-check"
tools/source-files.sh | tar --null -T - -cf - | tar -xf - -C "$root/usr/src/egn-check"
bind proc /proc -t proc
bind /dev /dev --bind

Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.1; done
bind /tmp/.X11-unix /tmp/.X11-unix --bind
chmod 1777 "$root/tmp"

in_root() {
  env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
    TERM=dumb DISPLAY="$display" chroot "$@"
}

echo "check-fresh: deps.sh as a user who is not root, without sudo"
expected="deps.sh: installing packages needs root: run it as root, or install sudo"
if got=$(in_root --userspec=65534:65534 "$root" /bin/bash -c \
  'cd /usr/src/egn-check && ./tools/deps.sh' 2>&1); then
  echo "check-fresh: deps.sh succeeded without root" >&2
  exit 1
fi
if [[ $got != "$expected" ]]; then
  echo "check-fresh: deps.sh said \"$got\", expected \"$expected\"" >&2
  exit 1
fi

echo "check-fresh: + $command"
log=$root/run.log
setsid bash -c 'exec "$@"' _ env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  HOME=/root TERM=dumb DISPLAY="$display" \
  chroot "$root" /bin/bash -c "cd /usr/src/egn-check && $command" >"$log" 2>&1 &
app=$!
deadline=$((SECONDS + ${EGN_FRESH_TIMEOUT:-1800}))
until LC_ALL=C.UTF-8 xwininfo -display "$display" -root -tree 2>/dev/null | grep -qF "$title"; do
  if ! kill -0 "$app" 2>/dev/null || ((SECONDS > deadline)); then
    echo "check-fresh: the window did not appear; the run command printed:" >&2
    tail -n 40 "$log" >&2
    exit 1
  fi
  sleep 1
done
echo "check-fresh: the window \"… $title\" is open ($((SECONDS - started)) s in all)"
