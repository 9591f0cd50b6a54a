# The installer's script: CMake's own NSIS template with an installation for
# the current user alone beside the one for all users.
#   - It asks for the highest rights the user has ("highest"), no longer for
#     administrator rights: a standard user is never asked to elevate and
#     installs for themself; an administrator installs for all users.
#   - /CurrentUser installs for the current user alone, whoever runs it.
#   - The current user's installation goes to the user's programs folder
#     (%LOCALAPPDATA%\Programs), not to Documents, with its shortcut, its
#     PATH entry and its uninstall entry in the user's own places.
#   - The uninstaller works where it was installed: in the user's programs
#     folder, for the current user, whatever the account.
# CPack finds the template on CMAKE_MODULE_PATH.
set(template ${CMAKE_ROOT}/Modules/Internal/CPack/NSIS.template.in)
file(READ ${template} text)

function(egn_replace_once what with)
  string(FIND "${text}" "${what}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "CMake's NSIS template has changed: no \"${what}\" in ${template}")
  endif()
  string(REPLACE "${what}" "${with}" replaced "${text}")
  set(text "${replaced}" PARENT_SCOPE)
endfunction()

egn_replace_once("RequestExecutionLevel admin" "RequestExecutionLevel highest")
egn_replace_once([[!include Sections.nsh]] [[!include Sections.nsh
  !include FileFunc.nsh]])
egn_replace_once([[StrCpy $INSTDIR "$DOCUMENTS\@CPACK_PACKAGE_INSTALL_DIRECTORY@"]]
  [[StrCpy $INSTDIR "$LOCALAPPDATA\Programs\@CPACK_PACKAGE_INSTALL_DIRECTORY@"]])
# .onInit: /CurrentUser keeps the current user's installation ("JustMe").
egn_replace_once([[StrCpy $INSTDIR "$LOCALAPPDATA\Programs\@CPACK_PACKAGE_INSTALL_DIRECTORY@"

  ClearErrors]] [[StrCpy $INSTDIR "$LOCALAPPDATA\Programs\@CPACK_PACKAGE_INSTALL_DIRECTORY@"

  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/CurrentUser" $R1
  IfErrors 0 done

  ClearErrors]])
# un.onInit: an uninstaller in the user's programs folder is the user's.
egn_replace_once([[Function un.onInit

  ClearErrors]] [[Function un.onInit

  StrLen $R1 "$LOCALAPPDATA\Programs\"
  StrCpy $R0 "$INSTDIR" $R1
  StrCmp $R0 "$LOCALAPPDATA\Programs\" done

  ClearErrors]])

set(dir ${CMAKE_BINARY_DIR}/nsis)
file(WRITE ${dir}/NSIS.template.in "${text}")
list(PREPEND CMAKE_MODULE_PATH ${dir})
