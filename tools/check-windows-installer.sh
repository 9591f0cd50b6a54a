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

# The status of the installer (or another program) run with ARGS.
status_of() {
  local status=0
  wine "$@" || status=$?
  echo "$status"
}

# Uninstalls the installation in FOLDER silently and waits for it: the
# uninstaller runs on from a copy of itself.
uninstall_silently() {
  wine "$(winepath -w "$1/Uninstall.exe")" /S
  for _ in $(seq 300); do [[ -e $1/egn-check.exe ]] || break; sleep 0.1; done
  [[ ! -e $1/egn-check.exe ]] || fail "the uninstaller left the program in ${1#"$WINEPREFIX/"}"
  wineserver -w
}

# The record of the current user's installation's PATH entry ("" where none).
record() {
  { wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\egn-check' \
      /v PathEntry 2>/dev/null || true; } | tr -d '\r' | sed -n 's/^ *PathEntry *REG_SZ *//p'
}

# Sets the current user's PATH to one of LENGTH characters (entries of 99),
# longer than a command line can carry: through a file for regedit.
set_long_path() {
  local file
  file=$(mktemp -d)/long.reg
  python3 - "$1" "$file" <<'PYTHON'
import sys
length, path = int(sys.argv[1]), ""
while len(path) + 100 < length:
    path += "C:\\" + "x" * 96 + ";"
path += "C:\\" + "y" * (length - len(path) - 3)
data = ",".join(f"{b:02x}" for b in (path + "\0").encode("utf-16-le"))
text = f"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Environment]\r\n\"Path\"=hex(2):{data}\r\n"
open(sys.argv[2], "wb").write(b"\xff\xfe" + text.encode("utf-16-le"))
PYTHON
  (cd "$(dirname "$file")" && wine regedit /S long.reg)
  rm -r "$(dirname "$file")"
}

# The message box a program shows, run with ARGS (not silently): its text
# from Wine's trace of message boxes. Until it appears, Return is pressed in
# the window whose title begins with TITLE (the pages before it). English, whatever the
# machine's locale. The prefix's processes are ended after it.
message_of() {
  local title=$1 trace id pid
  shift
  trace=$(mktemp)
  LC_ALL=C.UTF-8 WINEDEBUG=trace+msgbox wine "$@" 2>"$trace" &
  pid=$!
  for _ in $(seq 90); do
    grep -q MSGBOX_OnInit "$trace" && break
    id=$(xdotool search --name "^$title" 2>/dev/null | tail -n 1) || true
    [[ -z $id ]] || xdotool windowfocus "$id" key Return 2>/dev/null || true
    sleep 1
  done
  wineserver -k
  wait "$pid" 2>/dev/null || true
  # Wine writes the text as a C string, with \XXXX for what is not ASCII.
  python3 - "$trace" <<'PYTHON'
import re, sys
# Wine's trace cuts a text past 300 characters, and ends it with "...": said
# so, rather than taken for no message at all.
found = re.search(r'MSGBOX_OnInit L"(.*)"(\.\.\.)?\s*$', open(sys.argv[1], errors="replace").read(), re.M)
escapes = {"n": "\n", "r": "\r", "t": "\t"}
print("" if not found else re.sub(
    r'\\([0-9a-fA-F]{4}|.)',
    lambda m: chr(int(m[1], 16)) if len(m[1]) == 4 else escapes.get(m[1], m[1]), found[1])
    + (" [cut by Wine's trace]" if found[2] else ""))
PYTHON
  rm -f "$trace"
}

# expect WHAT GOT WANTED: fails unless GOT is WANTED.
expect() {
  [[ $2 == "$3" ]] || fail "$1: \"$2\", not \"$3\""
}

# For the current user alone: an upgrade keeps the PATH choice of the
# installation it replaces, the entry where it was; what the installer and
# the uninstaller cannot do safely is refused, with its message and status,
# and nothing is written (exit status 2: refused; 3: installed, the PATH
# not changed).
path_choice_and_refusals() {
  local folder=$1 environment='HKCU\Environment' base original windows_folder long
  original=$(path_of "$environment")
  base="${original:+$original;}C:\\Tools"
  windows_folder=$(winepath -w "$folder")
  local settings='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\egn-check'

  # Kept: an upgrade without /PATH leaves the entry where it was (here
  # before one the user added after it), and the record for the uninstaller.
  set_path "$environment" "$base"
  expect "installed with /PATH" "$(status_of "$installer" /S /CurrentUser /PATH)" 0
  set_path "$environment" "$base;$windows_folder;C:\\Later"
  expect "upgraded without /PATH" "$(status_of "$installer" /S /CurrentUser)" 0
  expect "the PATH after an upgrade without /PATH" "$(path_of "$environment")" \
    "$base;$windows_folder;C:\\Later"
  expect "the record after the upgrade" "$(record)" "$windows_folder"
  uninstall_silently "$folder"
  expect "the PATH after uninstalling the upgrade" "$(path_of "$environment")" "$base;C:\\Later"

  # Not chosen: neither the installation nor its upgrade adds anything.
  set_path "$environment" "$base"
  wine "$installer" /S /CurrentUser
  wine "$installer" /S /CurrentUser
  expect "the PATH after an upgrade of an installation without /PATH" \
    "$(path_of "$environment")" "$base"
  uninstall_silently "$folder"

  # The same folder typed again by the user after the installation: the
  # uninstaller removes its own entry, the first, and the user's stays.
  set_path "$environment" "$base"
  wine "$installer" /S /CurrentUser /PATH
  set_path "$environment" "$base;$windows_folder;C:\\Later;$windows_folder"
  uninstall_silently "$folder"
  expect "the PATH after uninstalling, the user's own entry for the folder kept" \
    "$(path_of "$environment")" "$base;C:\\Later;$windows_folder"

  # Taken off the PATH by the user since: a silent upgrade leaves it off.
  set_path "$environment" "$base"
  wine "$installer" /S /CurrentUser /PATH
  set_path "$environment" "$base;C:\\Later"
  expect "upgraded after the user removed the entry" "$(status_of "$installer" /S /CurrentUser)" 0
  expect "the PATH after that upgrade" "$(path_of "$environment")" "$base;C:\\Later"
  expect "the record after that upgrade" "$(record)" ""
  uninstall_silently "$folder"
  expect "the PATH after uninstalling that upgrade" "$(path_of "$environment")" "$base;C:\\Later"

  # A failed removal: nothing uninstalled, the record kept, and said so;
  # uninstalled once the PATH can be read again.
  set_path "$environment" "$base"
  wine "$installer" /S /CurrentUser /PATH
  wine reg add "$environment" /v Path /t REG_DWORD /d 1 /f >/dev/null
  expect "the uninstaller on a PATH that is no string" \
    "$(status_of "$(winepath -w "$folder/Uninstall.exe")" /S "_?=$windows_folder")" 2
  [[ -f $folder/egn-check.exe ]] || fail "the uninstaller removed the program, though not its PATH entry"
  expect "the record after a failed removal" "$(record)" "$windows_folder"
  expect "the uninstaller's message" \
    "$(message_of "egn-check Uninstall" "$(winepath -w "$folder/Uninstall.exe")" "_?=$windows_folder")" \
    "The entry $windows_folder could not be removed from the PATH (error 2). egn-check was not uninstalled, so that the entry can be removed when it is uninstalled again."
  set_path "$environment" "$base;$windows_folder"
  uninstall_silently "$folder"
  expect "the PATH after uninstalling again" "$(path_of "$environment")" "$base"

  # A PATH that would pass 32767 characters: installed, the PATH as it was.
  set_long_path $((32767 - ${#windows_folder}))
  long=$(path_of "$environment")
  expect "installed over a PATH too long for the entry" \
    "$(status_of "$installer" /S /CurrentUser /PATH)" 3
  [[ -f $folder/egn-check.exe ]] || fail "not installed over a PATH too long for the entry"
  expect "the PATH too long for the entry" "$(path_of "$environment")" "$long"
  expect "the record without an entry" "$(record)" ""
  expect "the installer's message on a PATH too long" \
    "$(message_of "egn-check Setup" "$installer" /CurrentUser /PATH)" \
    "The PATH would be longer than 32767 characters, more than Windows can hold. egn-digit was not put on the PATH; it can still be run from $windows_folder."
  uninstall_silently "$folder"

  # Folders refused before anything is written.
  set_path "$environment" "$base"
  local refused=(
    'C:\Tools;Old\egn-check'
    "egn-check cannot be installed in C:\\Tools;Old\\egn-check: the folder's name holds ';', which separates the entries of the PATH. Choose another folder."
    "C:\\"
    'egn-check cannot be installed in C:\, the root of a drive or a share. Choose a folder of its own.'
    # A drive's root in disguise: refused as Windows resolves it.
    'C:\x\..'
    'egn-check cannot be installed in C:\x\.., the root of a drive or a share. Choose a folder of its own.'
    'C:\.'
    'egn-check cannot be installed in C:\., the root of a drive or a share. Choose a folder of its own.'
  )
  for ((i = 0; i < ${#refused[@]}; i += 2)); do
    expect "the installer in ${refused[i]}" \
      "$(status_of "$installer" /S /CurrentUser /PATH "/D=${refused[i]}")" 2
    wine reg query "$settings" >/dev/null 2>&1 && fail "an uninstall entry for ${refused[i]}"
    [[ -z $(find "$WINEPREFIX/drive_c" -name egn-digit.exe) ]] ||
      fail "the installer wrote egn-digit.exe though refusing ${refused[i]}"
    expect "the PATH after refusing ${refused[i]}" "$(path_of "$environment")" "$base"
    expect "the installer's message on ${refused[i]}" \
      "$(message_of "egn-check Setup" "$installer" /CurrentUser "/D=${refused[i]}")" \
      "${refused[i + 1]}"
  done
  # Nor is an earlier installation in such a folder upgraded in place.
  local old="$WINEPREFIX/drive_c/Tools;Old/egn-check"
  mkdir -p "$old" && touch "$old/Uninstall.exe"
  wine reg add "$settings" /v InstallLocation /d 'C:\Tools;Old\egn-check' /f >/dev/null
  expect "the upgrade of an installation in C:\\Tools;Old\\egn-check" \
    "$(status_of "$installer" /S /CurrentUser /PATH)" 2
  expect "the installer's message on that upgrade" \
    "$(message_of "egn-check Setup" "$installer" /CurrentUser)" \
    "${refused[1]}"$'\r\n\r\n'"Uninstall the egn-check installed there first (Uninstall.exe in its folder), then install again."
  [[ -z $(find "$WINEPREFIX/drive_c" -name egn-digit.exe) ]] || fail "upgraded in C:\\Tools;Old\\egn-check"
  expect "the PATH after refusing the upgrade" "$(path_of "$environment")" "$base"
  wine reg delete "$settings" /f >/dev/null
  rm -r "$WINEPREFIX/drive_c/Tools;Old"
  set_path "$environment" "$original"
  echo "check-windows-installer: an upgrade keeps the PATH entry where it was, adds none where there was none, and none back where the user removed it; a failed removal uninstalls nothing and keeps its record; a PATH too long is left as it was; a folder with ';' and a drive's root refused, for an upgrade too; each with its message (the current user)"
}

# Folders not written as Windows writes them, for the current user: the
# programs go where Windows resolves the folder, and the record and the PATH
# entry name it so, so that the uninstaller finds and removes all of it.
# A folder whose files cannot be written installs nothing (status 4); the
# folder of the other scope's installation is refused (status 2).
folders_as_windows_resolves_them() {
  local environment='HKCU\Environment' original given resolved unix
  local settings='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\egn-check'
  original=$(path_of "$environment")
  local forms=('C:\egn.' 'C:\egn' 'C:\egn\.' 'C:\egn' 'C:\egn\..\egn2' 'C:\egn2'
    '\\?\C:\egn' 'C:\egn' 'C:/egn' 'C:\egn')
  for ((i = 0; i < ${#forms[@]}; i += 2)); do
    given=${forms[i]} resolved=${forms[i + 1]}
    unix=$WINEPREFIX/drive_c/${resolved#'C:\'}
    expect "installed in $given" "$(status_of "$installer" /S /CurrentUser /PATH "/D=$given")" 0
    [[ -f $unix/egn-digit.exe ]] || fail "$given: the programs are not in $resolved"
    expect "the record of $given" "$(record)" "$resolved"
    expect "the PATH after installing in $given" "$(path_of "$environment")" \
      "${original:+$original;}$resolved"
    uninstall_silently "$unix"
    wine reg query "$settings" >/dev/null 2>&1 && fail "$given: the uninstaller left the user's record"
    expect "the PATH after uninstalling from $given" "$(path_of "$environment")" "$original"
    [[ -z $(find "$WINEPREFIX/drive_c/users" -name 'egn-check.lnk') ]] ||
      fail "$given: the uninstaller left the shortcut"
    [[ ! -e $unix ]] || fail "$given: the uninstaller left $resolved"
  done

  local unwritable
  for unwritable in 'Q:\nodrive\egn' '\\nosuchserver\share\egn'; do
    expect "the installer in $unwritable" \
      "$(status_of "$installer" /S /CurrentUser /PATH "/D=$unwritable")" 4
    wine reg query "$settings" >/dev/null 2>&1 && fail "a record for $unwritable"
    expect "the PATH after failing to write $unwritable" "$(path_of "$environment")" "$original"
    [[ -z $(find "$WINEPREFIX/drive_c/users" -name 'egn-check.lnk') ]] ||
      fail "a shortcut for $unwritable"
  done

  # All users in C:\shared\egn, then the current user in the same folder.
  expect "installed for all users in C:\shared\egn" \
    "$(status_of "$installer" /S '/D=C:\shared\egn')" 0
  expect "the current user's installation in C:\shared\egn" \
    "$(status_of "$installer" /S /CurrentUser /PATH '/D=C:\shared\egn\.')" 2
  wine reg query "$settings" >/dev/null 2>&1 && fail "a record for the user in C:\shared\egn"
  expect "the PATH after refusing the user's installation" "$(path_of "$environment")" "$original"
  expect "the installer's message on the other scope's folder" \
    "$(message_of "egn-check Setup" "$installer" /CurrentUser '/D=C:\shared\egn')" \
    "egn-check cannot be installed in C:\shared\egn: it is installed there for all users already, and uninstalling one would delete the other's files. Choose another folder."
  uninstall_silently "$WINEPREFIX/drive_c/shared/egn"
  [[ ! -e $WINEPREFIX/drive_c/shared ]] || fail "the uninstaller left C:\shared, which the installer made"
  echo "check-windows-installer: folders as Windows resolves them (${forms[*]}) installed there and uninstalled whole; unwritable folders install nothing (status 4); the other scope's folder refused (the current user)"
}

# What the installer made, the uninstaller takes away again, and only that:
# the folders above the programs' that it made (one that holds something
# else stays), and the PATH value where there was none (one that was there
# empty stays, empty). A quote typed before its PATH entry and never closed
# stops the uninstaller, with its message, and nothing is removed until the
# quote is closed.
what_the_installer_made() {
  local environment='HKCU\Environment' original windows_folder unix
  local settings='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\egn-check'
  original=$(path_of "$environment")
  mkdir -p "$WINEPREFIX/drive_c/made"
  touch "$WINEPREFIX/drive_c/made/keep.txt"
  unix=$WINEPREFIX/drive_c/made/a/b/egn
  expect "installed in C:\made\a\b\egn" "$(status_of "$installer" /S /CurrentUser '/D=C:\made\a\b\egn')" 0
  uninstall_silently "$unix"
  [[ ! -e $WINEPREFIX/drive_c/made/a ]] || fail "the uninstaller left C:\made\a, which the installer made"
  [[ -f $WINEPREFIX/drive_c/made/keep.txt ]] || fail "the uninstaller took C:\made, which was there before"
  rm -r "$WINEPREFIX/drive_c/made"

  unix=$WINEPREFIX/drive_c/egn-made
  windows_folder='C:\egn-made'
  for before in empty none; do
    if [[ $before == empty ]]; then
      wine reg add "$environment" /v Path /t REG_EXPAND_SZ /d "" /f >/dev/null
    else
      set_path "$environment" ""
    fi
    expect "installed over a PATH value $before" \
      "$(status_of "$installer" /S /CurrentUser /PATH "/D=$windows_folder")" 0
    expect "the PATH value, $before before" "$(path_of "$environment")" "$windows_folder"
    uninstall_silently "$unix"
    if [[ $before == empty ]]; then
      wine reg query "$environment" /v Path >/dev/null 2>&1 || fail "the uninstaller deleted the PATH value that was there, empty"
      expect "the PATH value after uninstalling" "$(path_of "$environment")" ""
    else
      ! wine reg query "$environment" /v Path >/dev/null 2>&1 || fail "the uninstaller left a PATH value where there was none"
    fi
  done

  set_path "$environment" 'C:\Tools'
  expect "installed for the quote" "$(status_of "$installer" /S /CurrentUser /PATH "/D=$windows_folder")" 0
  set_path "$environment" "\"C:\\Tools;$windows_folder"
  expect "the uninstaller behind a quote never closed" \
    "$(status_of "$(winepath -w "$unix/Uninstall.exe")" /S "_?=$windows_folder")" 2
  [[ -f $unix/egn-digit.exe ]] || fail "the uninstaller behind a quote never closed removed the programs"
  expect "the record behind a quote never closed" "$(record)" "$windows_folder"
  expect "the PATH behind a quote never closed" "$(path_of "$environment")" "\"C:\\Tools;$windows_folder"
  expect "the uninstaller's message on a quote never closed" \
    "$(message_of "egn-check" "$(winepath -w "$unix/Uninstall.exe")" "_?=$windows_folder")" \
    "The PATH has a quote that is never closed before the entry $windows_folder: Windows reads it as part of the entry the quote opens, and it was left as it is. Close the quote (Environment Variables) and try again."
  set_path "$environment" "C:\\Tools;$windows_folder"
  uninstall_silently "$unix"
  expect "the PATH once the quote is closed" "$(path_of "$environment")" 'C:\Tools'
  wine reg query "$settings" >/dev/null 2>&1 && fail "the uninstaller left the record once the quote was closed"
  set_path "$environment" "$original"
  echo "check-windows-installer: the folders the installer made removed, one there before kept; a PATH value there empty kept, one made removed; a quote never closed before the entry stops the uninstaller (status 2) until it is closed"
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
path_choice_and_refusals "$WINEPREFIX/drive_c/users/$user/AppData/Local/Programs/egn-check"
folders_as_windows_resolves_them
what_the_installer_made
