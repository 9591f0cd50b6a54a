# cmake -DRC=egn-check.rc -DOUT=egn-check.res -P check_version_record.cmake
# Where no Windows resource compiler is installed (a distribution's build
# machine) the test is skipped: CMake 3.25 gives a script no exit status of
# its choosing, and the test's SKIP_REGULAR_EXPRESSION takes this line.
find_program(windres NAMES x86_64-w64-mingw32-windres windres)
if(NOT windres)
  message("skipped: windres is not installed (Debian's binutils-mingw-w64-x86-64)")
  return()
endif()
execute_process(COMMAND ${windres} --input ${RC} --output ${OUT} --output-format=coff
  RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "windres could not compile ${RC}:\n${err}")
endif()
# Read the compiled record back as resource script and check what it says.
execute_process(COMMAND ${windres} --input ${OUT} --input-format=coff --output-format=rc
  RESULT_VARIABLE rc OUTPUT_VARIABLE decoded ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "windres could not read ${OUT} back:\n${err}")
endif()
foreach(needle
    "FILEVERSION 1, 0, 0, 0" "PRODUCTVERSION 1, 0, 0, 0" "BLOCK \"040904B0\""
    "VALUE \"FileVersion\", \"1.00\"" "VALUE \"ProductVersion\", \"1.00\""
    "VALUE \"Translation\", 0x409, 1200" "\"width height colors pad\""
    # the Cyrillic description arrived as UTF-16: the code page was honoured
    "L\"\\x041f\\x0440\\x043e\\x0432\\x0435\\x0440\\x043a\\x0430 ")
  string(FIND "${decoded}" "${needle}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the version record lacks ${needle}:\n${decoded}")
  endif()
endforeach()
message(STATUS "version record:\n${decoded}")
