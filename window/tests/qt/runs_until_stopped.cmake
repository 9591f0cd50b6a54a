# Starts PROGRAM with arguments Qt would otherwise obey and expects it to be
# still running when timeout stops it (exit code 124).
execute_process(
  COMMAND timeout 3 ${PROGRAM} -platform none -style none --help stray
  RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 124)
  message(FATAL_ERROR "egn-check ended with ${rc} instead of running: ${err}")
endif()
