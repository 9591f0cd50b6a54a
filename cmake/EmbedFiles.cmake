# egn_embed_files(TARGET NAMESPACE PREFIX FILES...): compiles FILES into
# TARGET, which then defines `std::span<const egn::runtime::EmbeddedFile>
# NAMESPACE::EmbeddedFiles()`, each file named PREFIX/<its file name>.
# Standard C++ only: no toolkit's resource system.
function(egn_embed_files target namespace prefix)
  set(files "")
  foreach(file IN LISTS ARGN)
    if(IS_ABSOLUTE ${file})
      list(APPEND files ${file})  # made at build time
    else()
      list(APPEND files ${CMAKE_CURRENT_SOURCE_DIR}/${file})
    endif()
  endforeach()
  list(JOIN files "|" joined)  # a ;-list would split into several arguments
  set(output ${CMAKE_CURRENT_BINARY_DIR}/${target}_embedded_files.cpp)
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} "-DFILES=${joined}" -DOUTPUT=${output}
            -DNAMESPACE=${namespace} -DPREFIX=${prefix}
            -P ${PROJECT_SOURCE_DIR}/cmake/embed_files.cmake
    DEPENDS ${files} ${PROJECT_SOURCE_DIR}/cmake/embed_files.cmake
    COMMENT "Embedding ${ARGN}"
    VERBATIM)
  target_sources(${target} PRIVATE ${output})
endfunction()
