# Fails when the calculation's test binary depends on any Qt library.
execute_process(COMMAND ldd ${FILE} OUTPUT_VARIABLE deps RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "ldd failed on ${FILE}")
endif()
if(deps MATCHES "libQt")
  message(FATAL_ERROR "the calculation links Qt:\n${deps}")
endif()
message(STATUS "no Qt library in ${FILE}")
