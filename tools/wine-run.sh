#!/bin/bash
# Runs a Windows program under Wine for a test: wine-run.sh WINE PROGRAM [ARGUMENT...]
# (WINE as tools/wine-probe.sh found it runs here).
#
# Now and then, on a busy machine, Wine fails to start a program at all: its
# start.exe prints "Application could not be started, ..." and
# "ShellExecuteEx failed: Internal error." and exits, and the program never
# ran. Such a start, and only such a start, is tried once more, and said so on
# standard error. Every other outcome, the program's own failures included,
# is passed on as it is. The program's output streams through as it comes.
set -u
wine=$1
shift
out=$(mktemp) || exit 1
trap 'rm -f "$out"' EXIT
for attempt in 1 2; do
  "$wine" "$@" | tee "$out"
  status=${PIPESTATUS[0]}
  if ((status != 0 && attempt == 1)) && head -n 1 "$out" | grep -q '^Application could not be started'; then
    echo "wine-run.sh: Wine could not start $1 ($(grep -a -m 1 '^ShellExecuteEx failed' "$out" | tr -d '\r')); starting it once more" >&2
    continue
  fi
  exit "$status"
done
