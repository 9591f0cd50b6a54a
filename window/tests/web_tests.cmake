# The window's page in a real browser: tools/check-web.sh drives both pages in
# headless Chromium. error_page.html is the same window on a description whose
# Label2(5) is another array, so that "Изчисли" meets a run-time error.
add_executable(error_page web_error_page.cpp)
target_link_libraries(error_page PRIVATE egn::window egn::runtime_backend egn::warnings)
egn_web_page(error_page)
