# Hardened programs on Linux, in every build of them (the plain build, the
# presets, the Debian package): what Debian's dpkg-buildflags gives with
# hardening=+all (fortified C library calls, the strong stack protector,
# format strings checked, RELRO with immediate binding, PIE), with stack clash
# protection and, on x86, control-flow protection (CET) besides. Flags that
# the build's own flags already set (as a Debian build's do) are not set
# again. Only where they apply: GCC and Clang making ELF programs for Linux;
# not the browser's build nor the Windows programs. The sanitizer presets
# turn it off: ASan and UBSan check every access themselves, and fortify's
# checking wrappers would stand between them and the C library's functions
# they intercept.
#
# egn_drop_unneeded_sections(TARGET...) removes from the programs what no one
# runs or debugs with: the compilers' .comment (their names and versions).
option(EGN_HARDENING "Harden the Linux programs (fortify, stack protector, RELRO with -z now, PIE, CET)" ON)

function(egn_drop_unneeded_sections)
  if(NOT CMAKE_SYSTEM_NAME STREQUAL "Linux" OR NOT CMAKE_OBJCOPY)
    return()
  endif()
  foreach(target IN LISTS ARGN)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_OBJCOPY} --remove-section=.comment $<TARGET_FILE:${target}>
      VERBATIM)
  endforeach()
endfunction()

# The Windows programs (mingw-w64) get the stack protector: a function with a
# local array or a local whose address is taken checks a random canary before
# it returns, and a smashed stack ends the program (GCC's libssp, linked in
# statically; the canary comes from CryptGenRandom at start-up).
# tools/check-windows-imports.sh checks it in the programs, with ASLR,
# high-entropy addresses and NX, which the linker gives them by default. Set
# here rather than in the toolchain file, so that a build folder configured
# before takes it too.
if(EGN_HARDENING AND WIN32 AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  add_compile_options(-fstack-protector-strong)
  add_link_options(-fstack-protector-strong)
endif()

if(NOT EGN_HARDENING OR NOT CMAKE_SYSTEM_NAME STREQUAL "Linux"
   OR NOT CMAKE_CXX_COMPILER_ID MATCHES "^(GNU|Clang)$")
  return()
endif()

include(CheckCXXCompilerFlag)
include(CheckCXXSourceCompiles)
include(CheckPIESupported)

# Fortify needs the optimiser (glibc warns without it), so not in Debug.
check_cxx_source_compiles("#ifndef _FORTIFY_SOURCE\n#error\n#endif\nint main() {}"
  EGN_FORTIFY_ALREADY_SET)
if(NOT EGN_FORTIFY_ALREADY_SET)
  add_compile_definitions($<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
endif()

foreach(flag -fstack-protector-strong -fstack-clash-protection -fcf-protection)
  string(MAKE_C_IDENTIFIER "EGN_HAS${flag}" known)
  check_cxx_compiler_flag(${flag} ${known})
  if(${known})
    add_compile_options(${flag})
  endif()
endforeach()
add_compile_options(-Wformat -Werror=format-security)
add_link_options(LINKER:-z,relro LINKER:-z,now)

# Debian's compilers make PIE by default (and Qt asks its users for -fPIC,
# which is PIE once linked so); where a compiler does not, CMake asks for it.
check_cxx_source_compiles("#ifndef __PIE__\n#error\n#endif\nint main() {}" EGN_PIE_BY_DEFAULT)
if(NOT EGN_PIE_BY_DEFAULT)
  check_pie_supported(LANGUAGES CXX)
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
endif()
