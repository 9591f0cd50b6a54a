# cmake -DBUILD=... -DPREFIX=... -DAPP_ID=... -P check_install.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
  RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed")
endif()

set(expected
  bin/egn-check
  bin/egn-digit
  share/applications/${APP_ID}.desktop
  share/metainfo/${APP_ID}.metainfo.xml
  share/icons/hicolor/32x32/apps/${APP_ID}.png
  share/icons/hicolor/64x64/apps/${APP_ID}.png
  share/icons/hicolor/128x128/apps/${APP_ID}.png
  share/icons/hicolor/256x256/apps/${APP_ID}.png
  share/man/man1/egn-check.1.gz
  share/man/man1/egn-digit.1.gz
  share/doc/egn-check/copyright)
file(GLOB_RECURSE installed RELATIVE ${PREFIX} ${PREFIX}/*)
list(SORT installed)
list(SORT expected)
if(NOT installed STREQUAL expected)
  message(FATAL_ERROR "installed:\n  ${installed}\nexpected:\n  ${expected}")
endif()

foreach(size 32 64 128 256)
  file(READ ${PREFIX}/share/icons/hicolor/${size}x${size}/apps/${APP_ID}.png header LIMIT 24 HEX)
  string(SUBSTRING ${header} 32 16 dimensions)  # IHDR width and height, big-endian
  math(EXPR w "0x${dimensions}" OUTPUT_FORMAT DECIMAL)
  string(SUBSTRING ${dimensions} 0 8 width_hex)
  math(EXPR width "0x${width_hex}")
  if(NOT width EQUAL size)
    message(FATAL_ERROR "icon ${size}x${size} is ${width} wide")
  endif()
endforeach()

foreach(tool desktop-file-validate appstreamcli)
  find_program(${tool}_path ${tool} REQUIRED)
endforeach()
execute_process(COMMAND ${desktop-file-validate_path} ${PREFIX}/share/applications/${APP_ID}.desktop
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0 OR out MATCHES "error|warning")
  message(FATAL_ERROR "desktop-file-validate:\n${out}")
endif()
execute_process(COMMAND ${appstreamcli_path} validate --no-net --explain
  ${PREFIX}/share/metainfo/${APP_ID}.metainfo.xml
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "appstreamcli validate:\n${out}")
endif()
message(STATUS "install tree, desktop entry and metainfo: good\n${out}")
