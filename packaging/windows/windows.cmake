# The files of the Windows packages beside the programs: the licence and a
# short read-me. (The packages themselves: packaging/cpack.cmake.)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION . RENAME LICENSE.txt)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/README.txt DESTINATION .)
