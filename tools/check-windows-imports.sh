#!/usr/bin/env bash
# Holds the imports of the Windows programs (64-bit or 32-bit) to packaging/windows/
# windows7-imports.txt, the functions that Windows 7 SP1 has: a function of a
# later Windows in the import table keeps the program from starting there at
# all (the loader refuses it before main).
# Also checks their hardening: from the header, ASLR (with high-entropy
# addresses on 64 bits) and no execution of data; from the code, the stack
# protector: functions that compare a canary before they return and call the
# handler of a smashed stack when it changed (counted in the disassembly, the
# programs having no symbols), its message linked in, and the canary seeded
# from CryptGenRandom.
# Usage: tools/check-windows-imports.sh [BUILD_DIR]   (a build of the windows preset)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-out/windows}
allowed=$(grep -v '^#' packaging/windows/windows7-imports.txt | awk '{print $1, $2}' | sort -u)
status=0
for program in "$build/window/egn-check.exe" "$build/cli/egn-digit.exe" "$build/packaging/path-entry.exe"; do
  name=$(basename "$program")
  header=$(x86_64-w64-mingw32-objdump -p "$program")
  imports=$(awk '/DLL Name:/ {dll = toupper($3)} /^\t[0-9a-f]+\t +[0-9]+  [A-Za-z_]/ {print dll, $3}' \
    <<<"$header" | sort -u)
  [[ -n $imports ]] || { echo "check-windows-imports: no imports read from $program" >&2; exit 1; }
  extra=$(comm -23 <(echo "$imports") <(echo "$allowed"))
  if [[ -n $extra ]]; then
    echo "$name imports what Windows 7 SP1 may not have:" >&2
    echo "$extra" >&2
    status=1
  else
    echo "$name: $(wc -l <<<"$imports") imports, all in Windows 7 SP1"
  fi

  wanted=(DYNAMIC_BASE NX_COMPAT)
  [[ $(x86_64-w64-mingw32-objdump -f "$program") == *pei-x86-64* ]] && wanted+=(HIGH_ENTROPY_VA)
  flags=$(awk '/^DllCharacteristics/ {on = 1; next} on && /^\t+[A-Z_]+$/ {print $1; next} {on = 0}' \
    <<<"$header")
  for flag in "${wanted[@]}"; do
    grep -qx "$flag" <<<"$flags" || { echo "$name: no $flag in its header" >&2; status=1; }
  done
  # A canary check: a subtraction from memory, a jump when not equal, and
  # there a call; the function most called so is the handler.
  checks=$(x86_64-w64-mingw32-objdump -d --no-show-raw-insn "$program" | awk '
    { at = $1; sub(/:$/, "", at) }
    $2 == "call" { to = $3; sub(/^0x/, "", to); called[at] = to }
    after_sub && $2 == "jne" { to = $3; sub(/^0x/, "", to); jumps[++n] = to }
    { after_sub = $2 == "sub" && $3 ~ /^(\(%[a-z0-9]+\)|0x[0-9a-f]+(\(%rip\))?),%[a-z0-9]+$/ }
    END {
      for (i = 1; i <= n; i++) if (jumps[i] in called) count[called[jumps[i]]]++
      most = 0
      for (handler in count) if (count[handler] > most) most = count[handler]
      print most
    }')
  if ((checks == 0)) || ! grep -aq 'stack smashing detected' "$program" ||
    ! grep -q '^ADVAPI32.DLL CryptGenRandom$' <<<"$imports"; then
    echo "$name: no stack protector ($checks canary checks)" >&2
    status=1
  else
    echo "$name: ${wanted[*]}; stack protector ($checks canary checks)"
  fi
done
exit $status
