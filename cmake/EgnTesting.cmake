# Helpers for the tests of every folder.

# Adds the test NAME, which fails when TARGET's binary links a widget toolkit:
# for the parts that must build and run without any window library.
function(egn_add_no_toolkit_test name target)
  if(CMAKE_CROSSCOMPILING)
    return()  # ldd reads only this machine's binaries
  endif()
  add_test(NAME ${name}
    COMMAND ${CMAKE_COMMAND} -DFILE=$<TARGET_FILE:${target}>
            -P ${PROJECT_SOURCE_DIR}/cmake/no_toolkit.cmake)
endfunction()

# gtest_discover_tests, with room for a cold start of Wine (or Node) when the
# tests run through it.
function(egn_discover_tests target)
  if(EMSCRIPTEN)
    # Under Node: the real file system (the tests read descriptions from the
    # source tree), room to grow, and the exit status passed on.
    # The WebAssembly inlined: the loader's fetch of a separate file fails in Node.
    target_link_options(${target} PRIVATE -sNODERAWFS=1 -sALLOW_MEMORY_GROWTH=1 -sEXIT_RUNTIME=1
                        -sSINGLE_FILE=1 -sENVIRONMENT=node)
  endif()
  if(DEFINED EGN_EMULATOR_CANNOT_RUN)
    # Discovery would run the program: one test for the whole program, which
    # the emulator skips; every test of this folder then takes its 77 as a
    # skip (egn_skip_what_cannot_run, once the folder is read).
    add_test(NAME ${target} COMMAND ${target})
    get_property(deferred DIRECTORY PROPERTY EGN_SKIPS_DEFERRED)
    if(NOT deferred)
      set_property(DIRECTORY PROPERTY EGN_SKIPS_DEFERRED ON)
      cmake_language(DEFER CALL egn_skip_what_cannot_run)
    endif()
    return()
  endif()
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT 120 DISCOVERY_MODE PRE_TEST ${ARGN})
endfunction()

# Adds the test NAME that drives PROGRAM under the emulator itself (a script
# given the emulator, COMMAND...). Where this build's programs cannot run
# here, the test is the emulator's own skip instead, with its reason. The
# script exits with 77 where it has no emulator to give it (no Wine): ctest
# lists that as skipped, not as passed.
function(egn_add_emulated_test name program)
  if(DEFINED EGN_EMULATOR_CANNOT_RUN)
    add_test(NAME ${name} COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} ${program})
  else()
    add_test(NAME ${name} COMMAND ${ARGN})
  endif()
  set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77)
endfunction()

# Where this build's programs cannot run on this machine (32-bit Windows
# programs on a kernel without IA-32 emulation: cmake/mingw-w64.cmake), the
# emulator exits with 77 for each of them. Every test of the folder then takes
# 77 as a skip: ctest lists it as skipped, with the reason in its output,
# instead of failing it. Anywhere else no test is skipped this way: a 77
# there is a failure like any other status.
function(egn_skip_what_cannot_run)
  get_property(tests DIRECTORY PROPERTY TESTS)
  set_tests_properties(${tests} PROPERTIES SKIP_RETURN_CODE 77)
endfunction()
