#!/usr/bin/env bash
# Makes the Wine prefix the Windows tests run in (once; kept in the build
# folder): Wine's own fonts, Times New Roman mapped to Liberation Serif (the
# test machine's face with its metrics; the program asks for Times New Roman
# as on Windows), windows not managed by a window manager (Xvfb has none), and
# the DPI given as the first argument (default 96).
# Usage: tools/wine-prefix.sh PREFIX [DPI]
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"  # the plain wine, or Wine's 64-bit loader where only it runs
export WINEPREFIX=$(realpath -m "$1") WINEDEBUG=-all  # Wine wants an absolute path
dpi=${2:-96}
if [[ ! -e $WINEPREFIX/.egn-ready ]]; then
  mkdir -p "$WINEPREFIX"
  # wineboot now and then fails on a new prefix (status 53, seen once in a
  # full run): end the prefix's server and try once more before giving up.
  if ! wineboot -i >/dev/null 2>&1; then
    wineserver -k 2>/dev/null || true
    wineboot -i >/dev/null 2>&1 || { echo "wine-prefix.sh: wineboot failed in $WINEPREFIX" >&2; exit 1; }
  fi
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Times New Roman' /t REG_SZ \
    /d 'Liberation Serif' /f >/dev/null
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null
  for font in /usr/share/wine/fonts/*.ttf; do
    [[ -e $font ]] && ln -sf "$font" "$WINEPREFIX/drive_c/windows/Fonts/"
  done
  touch "$WINEPREFIX/.egn-ready"
fi
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null
wineserver -k || true  # ends the prefix's processes; the server saves the registry as it goes
