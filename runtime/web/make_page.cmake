# Makes the one self-contained page of a program: the page template with the
# program's generated script (its WebAssembly inlined) put inside it.
#   cmake -DTEMPLATE=page.html.in -DSCRIPT=program.js -DOUTPUT=program.html
#         -DEGN_PAGE_NAME=name -DEGN_VERSION_TEXT=1.00 -P make_page.cmake
file(READ "${SCRIPT}" EGN_SCRIPT)
string(FIND "${EGN_SCRIPT}" "</script" closing)
if(NOT closing EQUAL -1)
  message(FATAL_ERROR "${SCRIPT} holds \"</script\": it cannot stand inside the page")
endif()
configure_file("${TEMPLATE}" "${OUTPUT}" @ONLY)
