# window_of WHAT: prints the X window id of egn-check's window, found by its
# title, waiting up to 15 s; else fails (with the caller's fail function),
# naming WHAT was to open it. Sourced by the Windows checks.
window_of() {
  local id=
  for _ in $(seq 150); do
    id=$(LC_ALL=C.UTF-8 xwininfo -root -tree | awk '/Информатика - проверка на ЕГН/ {print $1; exit}')
    [[ -n $id ]] && { echo "$id"; return; }
    sleep 0.1
  done
  fail "the window of $1 did not appear"
}
