# Helpers for the targets of every folder.

# egn_library(NAME SOURCES... [PUBLIC LIBRARY...] [PRIVATE LIBRARY...]): the
# static library egn_NAME of ours, also named egn::NAME, whose headers are
# included by their path from the top of the tree, built with our warnings.
function(egn_library name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "PUBLIC;PRIVATE")
  add_library(egn_${name} STATIC ${arg_UNPARSED_ARGUMENTS})
  add_library(egn::${name} ALIAS egn_${name})
  target_include_directories(egn_${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(egn_${name} PUBLIC ${arg_PUBLIC} PRIVATE ${arg_PRIVATE} egn::warnings)
endfunction()

# egn_fuzzer(NAME SOURCE LIBRARY...): the libFuzzer target NAME (clang's
# -fsanitize=fuzzer) over the libraries it exercises; tools/fuzz.sh runs it.
function(egn_fuzzer name source)
  add_executable(${name} ${source})
  target_link_libraries(${name} PRIVATE ${ARGN} egn::warnings)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
endfunction()
