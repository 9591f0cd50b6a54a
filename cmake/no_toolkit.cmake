# Fails when the binary FILE depends on any widget toolkit's library (Qt).
# Run by the tests that egn_add_no_toolkit_test adds.
execute_process(COMMAND ldd ${FILE} OUTPUT_VARIABLE deps RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "ldd failed on ${FILE}")
endif()
if(deps MATCHES "libQt")
  message(FATAL_ERROR "${FILE} links Qt:\n${deps}")
endif()
message(STATUS "no Qt library in ${FILE}")
