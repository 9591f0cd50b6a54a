#!/usr/bin/env bash
# Runs egn-check in a real X server with a session bus under strace and
# checks that it writes no file and opens no network socket: the only
# connections are to the display and the session bus.
# Usage: tools/check-syscalls.sh [PROGRAM]
set -euo pipefail
program=${1:-build/window/egn-check}
log=$(mktemp)
runtime_dir=$(mktemp -d)
chmod 700 "$runtime_dir"
display=:$((500 + RANDOM % 300))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; rm -rf "$log" "$runtime_dir"' EXIT
for _ in $(seq 50); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.1; done

# Qt wants a runtime folder; one that exists already leaves it nothing to make.
DISPLAY=$display QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR=$runtime_dir \
  dbus-run-session -- strace -f -qq -e trace=%file,%network -o "$log" \
  timeout 3 "$program" 2>/dev/null || true

# Only calls that succeeded count; "= -1" lines changed nothing.
succeeded=$(grep -v ' = -1 ' "$log")
problems=$(
  {
    grep -E '(open|openat|openat2|creat)\(.*(O_WRONLY|O_RDWR|O_CREAT|O_TRUNC)' <<<"$succeeded" |
      grep -vE '"/dev/(null|tty|dri/[a-z0-9]+)"' || true
    grep -E '\b(mkdir|mkdirat|unlink|unlinkat|rename|renameat2?|link|linkat|symlink|symlinkat|truncate|ftruncate)\(' <<<"$succeeded" || true
    grep -E 'socket\((AF_INET|AF_INET6|AF_PACKET|AF_NETLINK)' <<<"$succeeded" || true
    grep -E 'connect\(' <<<"$succeeded" | grep -vE 'sun_path=@?"(/tmp/\.X11-unix/X[0-9]+|/tmp/dbus-[A-Za-z0-9]+|/run/user/[0-9]+/bus)"' || true
  }
)
connections=$(grep -cE 'connect\(' <<<"$succeeded" || true)
if [[ -n $problems ]]; then
  echo "egn-check did what it must not:" >&2
  echo "$problems" >&2
  exit 1
fi
echo "system calls: no file written, no network socket; $connections connection(s) to the display and the session bus"
