# Building for the browser with Debian's Emscripten. Programs are JavaScript
# with the WebAssembly inlined; the tests run under Node, as the Windows ones
# run under Wine.
include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)

# The run-time errors are C++ exceptions. Debian's Emscripten carries its C++
# library prebuilt (and its cache frozen) only for exceptions done through
# JavaScript, so that is the kind every object is compiled for.
set(CMAKE_CXX_FLAGS_INIT "-fexceptions")
# The page's module travels over phones' networks: every object made for
# size, and the whole program optimised as one at the link (a third smaller).
set(CMAKE_CXX_FLAGS_RELEASE_INIT "-Oz -flto -fno-rtti -DNDEBUG")
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-flto")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fexceptions")

# emcc's JavaScript optimiser needs Node's modules of Debian's packages
# (acorn); a Node that is not Debian's own does not look there.
set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs)
