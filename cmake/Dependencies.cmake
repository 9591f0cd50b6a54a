# zlib and expat, which table/ reads and writes workbooks with (inflate and
# deflate for their ZIP packages, the parser for their XML), as the targets
# ZLIB::ZLIB and EXPAT::EXPAT in every build:
#
# - Linux (the plain build, the sanitizer and fuzz presets, the Debian
#   package): Debian's own, zlib1g-dev and libexpat1-dev.
# - Windows (mingw-w64): Debian's zlib for mingw-w64 (libz-mingw-w64-dev),
#   linked statically as everything is there; expat, which Debian has not
#   for mingw-w64, compiled here.
# - The browser (Emscripten): both compiled here (Emscripten's own zlib
#   would be fetched from outside Debian at build time).
#
# What is compiled here is Debian 12's source of the versions the Linux
# build links, zlib 1.2.13 and expat 2.5.0 with the fixes of Debian's newest
# revision of it, from the tarballs that tools/fetch-sources.sh keeps in
# EGN_SOURCE_CACHE (those of cmake/debian-sources.txt, and expat's fixes as
# it found them in Debian's signed indexes); each is checked against its
# SHA-256 again here, and the build itself never goes to the network.
# One zlib with the same settings deflates a part into the same bytes on
# every target, which ZipWriter promises (table/tests hold the three builds
# to one digest).

set(EGN_SOURCE_CACHE /var/cache/egn-check/sources CACHE PATH
  "Where tools/fetch-sources.sh keeps Debian's source tarballs of zlib and expat")
set(egn_zlib_version 1.2.13)

# egn_debian_source(FILE OUT): the path of FILE, one of the tarballs of
# cmake/debian-sources.txt, in EGN_SOURCE_CACHE, after checking its SHA-256.
function(egn_debian_source file out)
  file(STRINGS ${PROJECT_SOURCE_DIR}/cmake/debian-sources.txt lines REGEX "^[^#]")
  foreach(line IN LISTS lines)
    string(REPLACE " " ";" fields "${line}")
    list(GET fields 0 path)
    list(GET fields 1 expected)
    get_filename_component(name ${path} NAME)
    if(name STREQUAL file)
      set(tarball ${EGN_SOURCE_CACHE}/${file})
      if(NOT EXISTS ${tarball})
        message(FATAL_ERROR "${tarball} is missing: tools/deps.sh --windows (or --web) fetches it; "
                            "without root, tools/fetch-sources.sh FOLDER and -DEGN_SOURCE_CACHE=FOLDER")
      endif()
      file(SHA256 ${tarball} actual)
      if(NOT actual STREQUAL expected)
        message(FATAL_ERROR "${tarball} is not Debian's ${file}: its SHA-256 is ${actual}, "
                            "not ${expected}; remove it and run tools/fetch-sources.sh")
      endif()
      set(${out} ${tarball} PARENT_SCOPE)
      return()
    endif()
  endforeach()
  message(FATAL_ERROR "${file} is not listed in cmake/debian-sources.txt")
endfunction()

# egn_unpack(NAME TARBALL [PATCHES FOLDER]): unpacks TARBALL into the build
# folder once (again when it changes) and sets NAME_SOURCE to its top
# folder; with PATCHES, applies FOLDER/series in order, as Debian does.
function(egn_unpack name tarball)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "PATCHES" "")
  set(where ${CMAKE_BINARY_DIR}/_deps/${name})
  # What it is unpacked from: the tarball, and each patch applied.
  file(SHA256 ${tarball} stamp)
  if(arg_PATCHES)
    file(STRINGS ${arg_PATCHES}/series series REGEX "^[^#]")
    foreach(patch IN LISTS series)
      file(SHA256 ${arg_PATCHES}/${patch} sum)
      string(APPEND stamp " ${patch}:${sum}")
    endforeach()
  endif()
  if(EXISTS ${where}.unpacked)
    file(READ ${where}.unpacked unpacked)
  endif()
  if(NOT unpacked STREQUAL stamp)
    file(REMOVE_RECURSE ${where})
    file(ARCHIVE_EXTRACT INPUT ${tarball} DESTINATION ${where})
    file(GLOB top LIST_DIRECTORIES true ${where}/*)
    if(arg_PATCHES)
      find_program(EGN_PATCH patch REQUIRED)
      foreach(patch IN LISTS series)
        execute_process(COMMAND ${EGN_PATCH} -p1 -s --no-backup-if-mismatch -i ${arg_PATCHES}/${patch}
                        WORKING_DIRECTORY ${top} RESULT_VARIABLE failed)
        if(failed)
          message(FATAL_ERROR "Debian's ${patch} does not apply to ${tarball}")
        endif()
      endforeach()
    endif()
    file(WRITE ${where}.unpacked "${stamp}")
  endif()
  file(GLOB top LIST_DIRECTORIES true ${where}/*)
  set(${name}_SOURCE ${top} PARENT_SCOPE)
endfunction()

if(NOT CMAKE_CROSSCOMPILING)
  find_package(ZLIB REQUIRED)
  find_package(EXPAT REQUIRED)
else()
  enable_language(C)
  if(WIN32)
    set(ZLIB_USE_STATIC_LIBS ON)  # libz.a, not the import library of zlib1.dll
    find_package(ZLIB REQUIRED)
  else()
    egn_debian_source(zlib_${egn_zlib_version}.dfsg.orig.tar.bz2 tarball)
    egn_unpack(zlib ${tarball})
    add_library(egn_zlib STATIC
      ${zlib_SOURCE}/adler32.c ${zlib_SOURCE}/crc32.c ${zlib_SOURCE}/deflate.c
      ${zlib_SOURCE}/inffast.c ${zlib_SOURCE}/inflate.c ${zlib_SOURCE}/inftrees.c
      ${zlib_SOURCE}/trees.c ${zlib_SOURCE}/zutil.c)
    target_include_directories(egn_zlib SYSTEM PUBLIC ${zlib_SOURCE})
    target_compile_options(egn_zlib PRIVATE -w)  # not our code to warn about
    egn_optimise_for_the_page(egn_zlib)
    add_library(ZLIB::ZLIB ALIAS egn_zlib)
    file(STRINGS ${zlib_SOURCE}/zlib.h line REGEX "^#define ZLIB_VERSION ")
    string(REGEX REPLACE ".*\"(.*)\".*" "\\1" ZLIB_VERSION_STRING "${line}")
  endif()

  egn_debian_source(expat_2.5.0.orig.tar.gz tarball)
  # Debian's fixes, of the revision tools/fetch-sources.sh took (the newest
  # it could fetch), checked against the SHA-256 it recorded.
  set(taken ${EGN_SOURCE_CACHE}/expat.debian)
  if(NOT EXISTS ${taken})
    message(FATAL_ERROR "${taken} is missing: tools/deps.sh --windows (or --web) fetches expat's "
                        "fixes; without root, tools/fetch-sources.sh FOLDER and -DEGN_SOURCE_CACHE=FOLDER")
  endif()
  file(STRINGS ${taken} line LIMIT_COUNT 1)
  string(REPLACE " " ";" fields "${line}")
  list(GET fields 0 name)
  list(GET fields 1 expected)
  set(debian ${EGN_SOURCE_CACHE}/${name})
  file(SHA256 ${debian} actual)
  if(NOT actual STREQUAL expected)
    message(FATAL_ERROR "${debian} is not the file tools/fetch-sources.sh took: run it again")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${taken})
  egn_unpack(expat_debian ${debian})
  egn_unpack(expat ${tarball} PATCHES ${expat_debian_SOURCE}/patches)
  set(lib ${expat_SOURCE}/expat/lib)
  add_library(egn_expat STATIC ${lib}/xmlparse.c ${lib}/xmlrole.c ${lib}/xmltok.c)
  # expat_config.h as Debian's build of libexpat1 has it (the same features
  # and limits), with each target's source of randomness for the hash salt.
  target_include_directories(egn_expat PRIVATE ${PROJECT_SOURCE_DIR}/cmake/third_party)
  target_include_directories(egn_expat SYSTEM PUBLIC ${lib})
  target_compile_definitions(egn_expat PUBLIC XML_STATIC)  # no dllimport on Windows
  target_compile_options(egn_expat PRIVATE -w)
  egn_optimise_for_the_page(egn_expat)
  add_library(EXPAT::EXPAT ALIAS egn_expat)
endif()

# Another zlib may deflate into other bytes: a workbook written by this build
# would then differ from one written by the others.
if(NOT ZLIB_VERSION_STRING STREQUAL egn_zlib_version)
  message(WARNING "zlib ${ZLIB_VERSION_STRING} found; the other builds use ${egn_zlib_version}, "
                  "and may write other bytes for the same workbook")
endif()
