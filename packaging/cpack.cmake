# The Debian package: cpack -G DEB in the build folder makes
# egn-check_1.00_<arch>.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME egn-check)
set(CPACK_PACKAGE_VERSION ${EGN_VERSION_TEXT})
set(CPACK_PACKAGE_CONTACT "The egn-check developers <maintainers@egn-check.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "control digit of a Bulgarian Unified Civil Number")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "control digit of a Bulgarian Unified Civil Number
 A one-window tool that computes the control (tenth) digit of a Bulgarian
 Unified Civil Number (EGN): type the first nine digits and it shows their
 weighted sum and the digit. The window also lists the districts with their
 region codes. Its texts are in Bulgarian.
 .
 The command-line program egn-digit gives the same calculation for lists of
 numbers, one a line, and checks the tenth digit of ten-digit numbers.")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://egn-check.example/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation2")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
