#!/usr/bin/env bash
# Runs egn-check in a real X server under strace and checks that it writes no
# file and opens no network socket: the only connections are to the display
# and the session bus. Twice: with a session bus, and where none runs (a bare
# X session, ssh -X), where it must also start no process (no bus of its own)
# and write nothing in the home folder.
# Usage: tools/check-syscalls.sh [PROGRAM]
set -euo pipefail
program=$(realpath "${1:-build/window/egn-check}")
work=$(mktemp -d)
display=:$((500 + RANDOM % 300))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; pkill -f "dbus-daemon.*--syslog-only" 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 50); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.1; done

# check LABEL LOG: what the traced run did that it must not.
check() {
  local label=$1 log=$2
  # Only calls that succeeded count; "= -1" lines changed nothing.
  local succeeded problems connections
  succeeded=$(grep -v ' = -1 ' "$log")
  problems=$(
    {
      grep -E '(open|openat|openat2|creat)\(.*(O_WRONLY|O_RDWR|O_CREAT|O_TRUNC)' <<<"$succeeded" |
        grep -vE '"/dev/(null|tty|dri/[a-z0-9]+)"' || true
      grep -E '\b(mkdir|mkdirat|unlink|unlinkat|rename|renameat2?|link|linkat|symlink|symlinkat|truncate|ftruncate)\(' <<<"$succeeded" || true
      grep -E 'socket\((AF_INET|AF_INET6|AF_PACKET|AF_NETLINK)' <<<"$succeeded" || true
      grep -E 'connect\(' <<<"$succeeded" | grep -vE 'sun_path=@?"(/tmp/\.X11-unix/X[0-9]+|/tmp/dbus-[A-Za-z0-9]+|/run/user/[0-9]+/bus)"' || true
      # The program itself is the only program started (besides timeout).
      grep -E 'execve\(' <<<"$succeeded" | grep -vE "execve\(\"(/usr/bin/timeout|$program)\"" || true
    }
  )
  connections=$(grep -cE 'connect\(' <<<"$succeeded" || true)
  if [[ -n $problems ]]; then
    echo "egn-check did what it must not ($label):" >&2
    echo "$problems" >&2
    exit 1
  fi
  echo "system calls ($label): no file written, no network socket, no process started;" \
    "$connections connection(s) to the display and the session bus"
}

# Qt wants a runtime folder; one that exists already leaves it nothing to make.
mkdir -m 700 "$work/run" "$work/home"
trace=(strace -f -qq -e trace=%file,%network,execve)
DISPLAY=$display QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR=$work/run HOME=$work/home \
  dbus-run-session -- "${trace[@]}" -o "$work/bus.log" timeout 3 "$program" 2>/dev/null || true
check "with a session bus" "$work/bus.log"

env -u DBUS_SESSION_BUS_ADDRESS DISPLAY="$display" QT_QPA_PLATFORM=xcb \
  XDG_RUNTIME_DIR="$work/run" HOME="$work/home" \
  "${trace[@]}" -o "$work/no-bus.log" timeout 3 "$program" 2>/dev/null || true
check "without a session bus" "$work/no-bus.log"
if [[ -n $(find "$work/home" -mindepth 1) ]]; then
  echo "egn-check wrote in the home folder without a session bus:" >&2
  find "$work/home" -mindepth 1 >&2
  exit 1
fi
