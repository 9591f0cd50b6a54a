# Starts PROGRAM where there is no display and expects one line on standard
# error saying so, and the exit status 1 (not Qt's abort).
execute_process(
  COMMAND env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ${PROGRAM}
  RESULT_VARIABLE rc ERROR_VARIABLE err OUTPUT_VARIABLE out TIMEOUT 20)
set(expected "egn-check: няма дисплей, на който да се отвори прозорецът (не е зададена нито DISPLAY, нито WAYLAND_DISPLAY)\n")
if(NOT rc EQUAL 1 OR NOT err STREQUAL expected OR NOT out STREQUAL "")
  message(FATAL_ERROR "status ${rc}, standard error:\n${err}\nstandard output:\n${out}")
endif()
