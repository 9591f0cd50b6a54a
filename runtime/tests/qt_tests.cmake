add_executable(runtime_tests description_parser_test.cpp control_access_test.cpp)
target_link_libraries(runtime_tests PRIVATE egn::runtime egn::warnings GTest::gtest_main)
target_compile_definitions(runtime_tests PRIVATE
  EGN_DESCRIPTIONS_DIR="${CMAKE_CURRENT_SOURCE_DIR}/descriptions")
gtest_discover_tests(runtime_tests)
