# Cross-building for 32-bit Windows (7, 8.1 and 10 on 32-bit processors, still
# found on school PCs): the same as cmake/mingw-w64.cmake with Debian's i686
# compilers. The tests run under Wine's 32-bit half (Debian's wine32, of the
# i386 architecture).
set(EGN_MINGW_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
# GCC 12 warns, for 32-bit targets only, that libstdc++'s own copy inside
# std::string may overlap (a false -Wrestrict from its range analysis at -O3);
# with warnings as errors that would stop the build on the standard library.
string(APPEND CMAKE_CXX_FLAGS_INIT " -Wno-restrict")
