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
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT 120 DISCOVERY_MODE PRE_TEST ${ARGN})
endfunction()
