#!/usr/bin/env bash
# Holds the imports of the Windows programs (64-bit or 32-bit) to packaging/windows/
# windows7-imports.txt, the functions that Windows 7 SP1 has: a function of a
# later Windows in the import table keeps the program from starting there at
# all (the loader refuses it before main).
# Usage: tools/check-windows-imports.sh [BUILD_DIR]   (a build of the windows preset)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-out/windows}
allowed=$(grep -v '^#' packaging/windows/windows7-imports.txt | awk '{print $1, $2}' | sort -u)
status=0
for program in "$build/window/egn-check.exe" "$build/cli/egn-digit.exe" "$build/packaging/path-entry.exe"; do
  imports=$(x86_64-w64-mingw32-objdump -p "$program" |
    awk '/DLL Name:/ {dll = toupper($3)} /^\t[0-9a-f]+\t +[0-9]+  [A-Za-z_]/ {print dll, $3}' | sort -u)
  [[ -n $imports ]] || { echo "check-windows-imports: no imports read from $program" >&2; exit 1; }
  extra=$(comm -23 <(echo "$imports") <(echo "$allowed"))
  if [[ -n $extra ]]; then
    echo "$(basename "$program") imports what Windows 7 SP1 may not have:" >&2
    echo "$extra" >&2
    status=1
  else
    echo "$(basename "$program"): $(wc -l <<<"$imports") imports, all in Windows 7 SP1"
  fi
done
exit $status
