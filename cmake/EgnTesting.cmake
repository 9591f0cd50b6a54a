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

# gtest_discover_tests, with room for a cold start of Wine when the tests
# run through it.
function(egn_discover_tests target)
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT 120 DISCOVERY_MODE PRE_TEST ${ARGN})
endfunction()
