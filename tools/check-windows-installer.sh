#!/usr/bin/env bash
# The Windows installer under Wine, silently, for all users and for the
# current user alone: see install_and_uninstall below. Needs WINEPREFIX (a
# prefix made by tools/wine-prefix.sh) and DISPLAY (an X server).
# Usage: tools/check-windows-installer.sh INSTALLER PROGRAM_FILES
#   PROGRAM_FILES: the all-users folder's parent under drive_c, "Program Files"
#   for a 64-bit installer, "Program Files (x86)" for a 32-bit one.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/wine-env.sh
installer=$(realpath "$1")
program_files=$2
export WINEDEBUG=-all
fail() { echo "check-windows-installer: $*" >&2; exit 1; }

source tools/window-of.sh

# The PATH value of a registry key, exactly as stored ("" where there is none).
path_of() {
  { wine reg query "$1" /v Path 2>/dev/null || true; } | tr -d '\r' |
    sed -n 's/^ *Path *REG_[A-Z_]*SZ *//p'
}

# Sets the PATH value of a registry key (none where VALUE is empty).
set_path() {
  if [[ -n $2 ]]; then
    wine reg add "$1" /v Path /t REG_EXPAND_SZ /d "$2" /f >/dev/null
  else
    wine reg delete "$1" /v Path /f >/dev/null 2>&1 || true
  fi
}

# install_and_uninstall WHO FOLDER REGISTRY ENVIRONMENT [INSTALLER OPTIONS...]:
# installs silently with /PATH and uninstalls again, twice. First over a PATH
# longer than the installer's own strings (1024 characters) in the registry
# key ENVIRONMENT, installing twice (an upgrade in place): the programs in
# FOLDER (a Unix path), one uninstall entry in REGISTRY (system.reg or
# user.reg), the folder once at the end of the PATH, and after uninstalling
# the PATH exactly as it was. Then over the PATH as it was (Wine cuts a long
# PATH when it makes a process's environment): egn-digit runs in a new
# command window by its name alone, the program starts as a user starts it,
# through its Start-menu shortcut, and nothing is left after uninstalling.
install_and_uninstall() {
  local who=$1 folder=$2 registry=$WINEPREFIX/$3 environment=$4
  shift 4
  local original long="" before windows_folder entries shortcut answer
  original=$(path_of "$environment")
  windows_folder=$(winepath -w "$folder")
  for i in $(seq 80); do long+=";C:\\Tools\\set $i"; done
  for extra in "$long" ""; do
    before=$original$extra
    before=${before#;}
    set_path "$environment" "$before"
    wine "$installer" /S /PATH "$@"
    [[ -z $extra ]] || wine "$installer" /S /PATH "$@"
    [[ -f $folder/egn-check.exe && -f $folder/egn-digit.exe && -f $folder/Uninstall.exe ]] ||
      fail "the installer did not install the programs in ${folder#"$WINEPREFIX/"} ($who)"
    shortcut=$(find "$WINEPREFIX/drive_c" -name 'egn-check.lnk' -path '*Start Menu*' | head -n 1)
    [[ -n $shortcut ]] || fail "no Start-menu shortcut ($who)"
    wineserver -w
    entries=$(grep -c '^\[.*Uninstall\\\\egn-check\]' "$registry" || true)
    [[ $entries == 1 ]] || fail "$entries entries among the installed programs ($who)"
    [[ $(path_of "$environment") == "${before:+$before;}$windows_folder" ]] ||
      fail "the PATH is not the one before with $windows_folder once at the end ($who)"
    if [[ -z $extra ]]; then
      answer=$(cd /tmp && wine cmd /c egn-digit 123456789 2>/dev/null | tr -d '\r') || true
      [[ $answer == $'123456789\t1234567890' ]] ||
        fail "egn-digit on the PATH answered \"$answer\" ($who)"
      wine start /unix "$shortcut" &
      local started=$!
      window_of "the Start-menu shortcut ($who)" >/dev/null
      wineserver -k
      wait "$started" 2>/dev/null || true
    fi
    wine "$(winepath -w "$folder/Uninstall.exe")" /S
    # The uninstaller runs on from a copy of itself: wait for it to finish.
    for _ in $(seq 300); do [[ -e $folder/egn-check.exe ]] || break; sleep 0.1; done
    [[ ! -e $folder/egn-check.exe ]] || fail "the uninstaller left the program ($who)"
    wineserver -w
    grep -q 'Uninstall\\\\egn-check' "$registry" && fail "the uninstaller left its entry ($who)"
    [[ $(path_of "$environment") == "$before" ]] ||
      fail "the uninstaller did not give the PATH back ($who)"
  done
  set_path "$environment" "$original"
  echo "check-windows-installer: installed in ${folder#"$WINEPREFIX/"}: twice over a PATH of $((${#original} + ${#long})) characters (one entry, on the PATH once, the PATH as it was after uninstalling); egn-digit found on the PATH, the program started through ${shortcut#"$WINEPREFIX/"}, uninstalled ($who)"
}

echo "check-windows-installer: $(basename "$installer")"
# The installer asks for the highest rights the user has, not for an
# administrator's: a standard user installs without elevation.
grep -aq 'level="highestAvailable"' "$installer" || fail "the installer asks for more than the user's rights"
install_and_uninstall "all users" "$WINEPREFIX/drive_c/$program_files/egn-check" system.reg \
  'HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment'
user=$(wine cmd /c 'echo %USERNAME%' 2>/dev/null | tr -d '\r')
install_and_uninstall "the current user" \
  "$WINEPREFIX/drive_c/users/$user/AppData/Local/Programs/egn-check" user.reg 'HKCU\Environment' \
  /CurrentUser
