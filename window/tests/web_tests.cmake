# The window's page in a real browser: tools/check-web.sh drives these pages in
# headless Chromium. error_page.html is the same window on a description whose
# Label2(5) is another array, so that "Изчисли" meets a run-time error.
# The edit is the one every backend's window tests make (what_users_see.tsv).
file(STRINGS ${CMAKE_CURRENT_SOURCE_DIR}/shared/what_users_see.tsv edit
  REGEX "^run-time-error-edit\t" ENCODING UTF-8)
string(REPLACE "\t" ";" edit "${edit}")
list(GET edit 1 edit_from)
list(GET edit 2 edit_to)
add_executable(error_page web_error_page.cpp)
target_compile_definitions(error_page PRIVATE
  "EGN_EDIT_FROM=\"${edit_from}\"" "EGN_EDIT_TO=\"${edit_to}\"")
target_link_libraries(error_page PRIVATE egn::window egn::runtime_backend egn::warnings)
egn_web_page(error_page)

# start_error_page.html: the buttons renamed, so that the window is built but
# its code finds no Command1 to listen to, and the start fails after the
# window was put in the page.
add_executable(start_error_page web_error_page.cpp)
target_compile_definitions(start_error_page PRIVATE
  "EGN_EDIT_FROM=\"control button Command1(\"" "EGN_EDIT_TO=\"control button Button1(\"")
target_link_libraries(start_error_page PRIVATE egn::window egn::runtime_backend egn::warnings)
egn_web_page(start_error_page)
