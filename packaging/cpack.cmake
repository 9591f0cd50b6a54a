# The Windows packages: cpack in the build folder of a Windows build makes the
# portable ZIP egn-check-1.00-win64.zip and the installer
# egn-check-1.00-win64.exe (win32 for 32-bit Windows). The Debian package is
# made by dpkg-buildpackage from debian/, as distributions make it.
if(NOT WIN32)
  return()
endif()
set(CPACK_PACKAGE_NAME egn-check)
set(CPACK_PACKAGE_VERSION ${EGN_VERSION_TEXT})
set(CPACK_PACKAGE_VENDOR "The egn-check developers")
set(CPACK_STRIP_FILES ON)
# Every file in a package carries the release's time (and the archives keep
# no build time), so that a package can be rebuilt from the source and
# compared byte for byte. cpack reads this file when it runs; strip, run by
# it, also writes that time into a Windows program's header.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/CPackSourceDate.cmake)
# A ZIP stores its times as local times: in UTC they are the same anywhere.
file(WRITE ${CPACK_PROJECT_CONFIG_FILE}
  "if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})\n"
  "  set(ENV{SOURCE_DATE_EPOCH} ${EGN_SOURCE_DATE_EPOCH})\n"
  "endif()\n"
  "set(ENV{TZ} UTC0)\n")
if(WIN32)
  # 64-bit programs go under the 64-bit Program Files, 32-bit ones under the
  # other, each with an installer of its own processor.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(EGN_WINDOWS_NAME win64)
    set(EGN_WINDOWS_PROGRAM_FILES "$PROGRAMFILES64")
    set(EGN_NSIS_TARGET amd64-unicode)
  else()
    set(EGN_WINDOWS_NAME win32)
    set(EGN_WINDOWS_PROGRAM_FILES "$PROGRAMFILES")
    set(EGN_NSIS_TARGET x86-unicode)
  endif()
  set(CPACK_GENERATOR ZIP NSIS)
  set(CPACK_SYSTEM_NAME ${EGN_WINDOWS_NAME})
  set(CPACK_PACKAGE_INSTALL_DIRECTORY egn-check)  # also the uninstall entry's key
  set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_LIST_DIR}/copyright)
  set(CPACK_NSIS_INSTALL_ROOT ${EGN_WINDOWS_PROGRAM_FILES})
  set(CPACK_NSIS_DISPLAY_NAME "egn-check ${EGN_VERSION_TEXT}")
  set(CPACK_NSIS_PACKAGE_NAME "egn-check")
  set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/window/egn-check.ico)
  set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/window/egn-check.ico)
  set(CPACK_NSIS_URL_INFO_ABOUT "https://egn-check.example/")
  set(CPACK_EGN_PATH_ENTRY ${CMAKE_BINARY_DIR}/packaging/path-entry.exe)
  # A Unicode installer for the programs' processor; the packed files
  # without their build times (NSIS keeps them by default).
  set(CPACK_NSIS_DEFINES "Target ${EGN_NSIS_TARGET}\nSetDateSave off")
  # The installer's script is our own: packaging/windows/NSIS.template.in.
  list(PREPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR}/windows)
  include(CPack)
  return()
endif()
