#!/usr/bin/env bash
# Finds out how this machine runs Windows programs under Wine, by running
# Wine's own loaders rather than by guessing from the packages installed, and
# prints the answer as KEY=VALUE lines (read by tools/wine-env.sh and by the
# Windows toolchain file):
#
#   EGN_WINE=PATH        the command that runs a 64-bit Windows program: the
#                        plain `wine` where it runs, else tools/wine64/wine,
#                        which takes Wine's 64-bit loader; empty where neither
#                        runs
#   EGN_WINE_PATH=DIR    tools/wine64 where that stand-in is needed (put it
#                        first on the PATH, so that wine, wine-stable and the
#                        tools that go through it, wineboot and winepath among
#                        them, all take the 64-bit loader); else empty
#   EGN_WINE32=ANSWER    whether 32-bit Windows programs run here:
#                        yes       Wine's 32-bit loader runs;
#                        no        none can run here, and installing
#                                  nothing would mend it: the kernel refuses
#                                  the loader ("Exec format error": a kernel
#                                  without IA-32 emulation runs no 32-bit
#                                  program), or tools/deps.sh found that the
#                                  package archive cannot install
#                                  wine32:i386 and said so in the note file
#                                  (EGN_WINE32_NOTE, by default
#                                  /var/cache/egn-check/wine32-not-installable);
#                        unusable  it is missing or fails otherwise, which
#                                  installing wine32:i386 would mend
#   EGN_WINE32_WHY=TEXT  for no and unusable, why, in one line
#
# Some x86-64 kernels run no 32-bit programs (IA-32 emulation off: cloud
# machines, ia32_emulation=off). There Debian's /usr/bin/wine, which prefers
# the 32-bit loader once wine32:i386 is installed, fails for every program,
# 64-bit ones included, while the 64-bit loader works.
#
# The loaders are /usr/lib/wine/wine and /usr/lib/wine/wine64, or
# EGN_WINE32_LOADER and EGN_WINE64_LOADER where set: the probe's own test
# gives it loaders that answer as such kernels do.
set -euo pipefail
shopt -s extglob
tools=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
loader32=${EGN_WINE32_LOADER:-/usr/lib/wine/wine}
loader64=${EGN_WINE64_LOADER:-/usr/lib/wine/wine64}
note=${EGN_WINE32_NOTE:-/var/cache/egn-check/wine32-not-installable}

# Runs a loader with --version and prints its first line of complaint, if
# any, without the shell's own "SCRIPT: line N: " in front.
complaint() {
  local status=0 said
  said=$("$@" --version 2>&1 >/dev/null) || status=$?
  if ((status != 0)); then
    said=${said%%$'\n'*}
    said=${said#"$0: line "*([0-9])": "}
    echo "${said:+$said }(status $status)"
  fi
}

if [[ ! -e $loader32 && -s $note ]]; then
  wine32=no why=$(head -n 1 "$note")
elif [[ ! -e $loader32 ]]; then
  wine32=unusable why="Wine's 32-bit loader $loader32 is not installed (the package wine32:i386)"
else
  said=$(complaint "$loader32")
  if [[ -z $said ]]; then
    wine32=yes why=
  elif [[ $said == *"Exec format error"* ]]; then
    wine32=no
    why="this machine runs no 32-bit programs (IA-32 emulation off): $loader32: Exec format error"
  else
    wine32=unusable why="Wine's 32-bit loader does not run: $said"
  fi
fi

wine= wine_path=
if command -v wine >/dev/null && [[ -z $(complaint wine) ]]; then
  wine=$(command -v wine)
elif [[ -x $loader64 && -z $(WINELOADER=$loader64 complaint "$loader64") ]]; then
  wine=$tools/wine64/wine wine_path=$tools/wine64
fi

printf '%s\n' "EGN_WINE=$wine" "EGN_WINE_PATH=$wine_path" "EGN_WINE32=$wine32" \
  "EGN_WINE32_WHY=$why"
