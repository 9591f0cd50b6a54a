# egn_face_subset(OUTPUT FORMAT): makes OUTPUT at build time, the subset of
# Liberation Serif (Debian's fonts-liberation2, SIL Open Font License 1.1)
# that the runtime carries for machines without the window's face or its
# metric twin: only the characters the window and its messages use (ASCII,
# Cyrillic and the typographic marks of the texts), without hinting, named
# EGN_FACE_FAMILY (the licence reserves the original's name), as FORMAT "ttf"
# (for Qt) or "woff2" (for the page). Needs Debian's fonttools, and
# python3-brotli for WOFF2.
set(EGN_FACE_SOURCE /usr/share/fonts/truetype/liberation2/LiberationSerif-Regular.ttf
  CACHE FILEPATH "The face the runtime carries a subset of")
set(EGN_FACE_CHARACTERS
  "U+0020-007E,U+00A0,U+00AB,U+00BB,U+0400-045F,U+2013-2014,U+201C,U+201E,U+2026,U+2116")

# The family the subset is named, as runtime/forms/appearance.h knows it.
set(EGN_FACE_FAMILY "EGN Check Serif")

function(egn_face_subset output format)
  if(NOT EXISTS ${EGN_FACE_SOURCE})
    message(FATAL_ERROR "${EGN_FACE_SOURCE} is missing: install fonts-liberation2")
  endif()
  set(flavor "")
  if(format STREQUAL "woff2")
    set(flavor woff2)
  endif()
  add_custom_command(OUTPUT ${output}
    COMMAND ${PROJECT_SOURCE_DIR}/cmake/face_subset.py ${EGN_FACE_SOURCE} ${output}
            ${EGN_FACE_CHARACTERS} ${EGN_FACE_FAMILY} ${flavor}
    DEPENDS ${EGN_FACE_SOURCE} ${PROJECT_SOURCE_DIR}/cmake/face_subset.py
    COMMENT "Making the subset of Liberation Serif (${format})"
    VERBATIM)
endfunction()
