# The real window on the Win32 backend, run through Wine.
# With the program's own resources (icon, manifest, version record), so that
# the window shows the program's icons and the tests can read them.
add_executable(win32_window_tests win32_window_test.cpp win32_accessibility_test.cpp
  ${PROJECT_BINARY_DIR}/packaging/egn-check.rc)
target_link_libraries(win32_window_tests PRIVATE egn::window egn::runtime_win32 ole32 oleacc oleaut32
  GTest::gtest egn::warnings)
egn_discover_tests(win32_window_tests)

# The same geometry on the fallbacks of older Windows: the system DPI (7, 8)
# and per-monitor DPI without v2 (8.1), with the newer functions "missing".
foreach(support system per-monitor)
  add_test(NAME win32_window_geometry_${support}_dpi COMMAND win32_window_tests
    --gtest_filter=Win32Window.FrameAndClientArea*:Win32Window.EveryControlInItsPlace*:Win32Window.ColoursAsDrawn:Win32Window.AtANewDpi*)
  set_tests_properties(win32_window_geometry_${support}_dpi PROPERTIES
    ENVIRONMENT "EGN_DPI_SUPPORT=${support}")
endforeach()
