# Cross-building for 64-bit (or 32-bit) Windows with Debian's mingw-w64 (the -posix
# compilers: their C++ library has std::mutex and std::thread, which
# GoogleTest needs). Programs are linked statically: one self-contained
# executable that imports only Windows' own DLLs. Tests run through Wine.
# 32-bit Windows: cmake/mingw-w64-i686.cmake sets EGN_MINGW_PROCESSOR to i686.
if(NOT EGN_MINGW_PROCESSOR)
  set(EGN_MINGW_PROCESSOR x86_64)
endif()
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${EGN_MINGW_PROCESSOR})
set(triple ${EGN_MINGW_PROCESSOR}-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# No link time in the PE header: the same source gives the same program.
# Subsystem version 6.1: the programs are made for Windows 7, and with the
# linker's 5.2 Windows gives their windows the frame metrics of Windows XP.
# Terminal-server aware: a remote desktop session gives them its own system
# folders and fonts rather than emulating a single-user system for them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -Wl,--no-insert-timestamp \
-Wl,--major-subsystem-version,6,--minor-subsystem-version,1,--tsaware")

# The tests run through Wine as tools/wine-probe.sh finds it runs here (or as
# the environment says, where tools/test.sh has already asked it): the plain
# wine, or Wine's 64-bit loader where the kernel runs no 32-bit programs.
# There the 32-bit programs cannot run at all: their tests go through
# tools/wine-cannot-run.sh, which ctest reports as skipped, with the reason
# (EGN_EMULATOR_CANNOT_RUN, read by cmake/EgnTesting.cmake).
set(egn_tools ${CMAKE_CURRENT_LIST_DIR}/../tools)
if(DEFINED ENV{EGN_WINE_PROBED})
  set(egn_probe "EGN_WINE=$ENV{EGN_WINE}\nEGN_WINE32=$ENV{EGN_WINE32}\nEGN_WINE32_WHY=$ENV{EGN_WINE32_WHY}")
else()
  execute_process(COMMAND ${egn_tools}/wine-probe.sh OUTPUT_VARIABLE egn_probe)
endif()
string(REPLACE "\n" ";" egn_probe "${egn_probe}")
foreach(line IN LISTS egn_probe)
  if(line MATCHES "^(EGN_[A-Z0-9_]+)=(.*)$")
    set(egn_${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
  endif()
endforeach()
if(EGN_MINGW_PROCESSOR STREQUAL "i686" AND egn_EGN_WINE32 STREQUAL "no")
  set(EGN_EMULATOR_CANNOT_RUN "${egn_EGN_WINE32_WHY}")
  set(CMAKE_CROSSCOMPILING_EMULATOR ${egn_tools}/wine-cannot-run.sh "${EGN_EMULATOR_CANNOT_RUN}")
elseif(egn_EGN_WINE)
  # The test programs start through tools/wine-run.sh, which starts a program
  # once more where Wine itself failed to start it; the scripts that drive
  # programs themselves are given Wine as it is (EGN_WINE_COMMAND).
  set(CMAKE_CROSSCOMPILING_EMULATOR ${egn_tools}/wine-run.sh ${egn_EGN_WINE})
  set(EGN_WINE_COMMAND ${egn_EGN_WINE})
endif()
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")  # release programs without symbols
