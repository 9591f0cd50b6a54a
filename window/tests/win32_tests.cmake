# The real window on the Win32 backend, run through Wine.
add_executable(win32_window_tests win32_window_test.cpp)
target_link_libraries(win32_window_tests PRIVATE egn::window egn::runtime_win32 ole32
  GTest::gtest egn::warnings)
egn_discover_tests(win32_window_tests)
