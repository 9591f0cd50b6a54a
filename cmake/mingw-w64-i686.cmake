# Cross-building for 32-bit Windows (7, 8.1 and 10 on 32-bit processors, still
# found on school PCs): the same as cmake/mingw-w64.cmake with Debian's i686
# compilers. Its programs need Wine's 32-bit half to run here, which the
# tests do not install: they are checked statically (tools/check-windows32.sh).
set(EGN_MINGW_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
