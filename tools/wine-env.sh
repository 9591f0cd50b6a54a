# Sourced by the scripts that run Windows programs under Wine. Takes the
# answer of tools/wine-probe.sh from the environment where tools/test.sh has
# already asked it, else asks it now, and exports it (EGN_WINE, EGN_WINE_PATH,
# EGN_WINE32, EGN_WINE32_WHY); then puts EGN_WINE_PATH first on the PATH, so
# that wine, wineboot, winepath and wineserver work on a machine whose kernel
# runs no 32-bit programs. Fails, and says why, where no Wine runs at all.
if [[ -z ${EGN_WINE_PROBED:-} ]]; then
  while IFS= read -r egn_line; do
    export "${egn_line?}"
  done < <("$(dirname "${BASH_SOURCE[0]}")/wine-probe.sh")
  unset egn_line
  export EGN_WINE_PROBED=1
fi
if [[ -z ${EGN_WINE:-} ]]; then
  echo "wine-env.sh: Wine cannot run here (neither wine nor /usr/lib/wine/wine64 --version" \
    "runs): install wine64 and wine (tools/deps.sh --test)" >&2
  return 1
fi
if [[ -n $EGN_WINE_PATH && :$PATH: != *:$EGN_WINE_PATH:* ]]; then
  export PATH=$EGN_WINE_PATH:$PATH
fi
