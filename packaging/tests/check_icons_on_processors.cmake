# cmake -DQEMU=... -DEXPORT=... -DICON=... -DNATIVE=... -DOUT=... -P check_icons_on_processors.cmake
# Runs icon_export as each processor model would and compares every file
# with the native run's output in NATIVE.
if(NOT QEMU)
  message("qemu-x86_64 is not installed (Debian's qemu-user): skipped")
  cmake_language(EXIT 77)
endif()
file(GLOB native RELATIVE ${NATIVE} ${NATIVE}/*)
list(LENGTH native count)
if(count LESS 5)
  message(FATAL_ERROR "the native run left ${count} files in ${NATIVE}")
endif()
foreach(cpu Nehalem Haswell)
  file(REMOVE_RECURSE ${OUT}-${cpu})
  file(MAKE_DIRECTORY ${OUT}-${cpu})
  execute_process(COMMAND ${QEMU} -cpu ${cpu} ${EXPORT} ${ICON} ${OUT}-${cpu}
    RESULT_VARIABLE rc ERROR_VARIABLE errors)  # qemu warns of host features it lacks
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "icon_export as ${cpu} failed: ${rc}\n${errors}")
  endif()
  foreach(name IN LISTS native)
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${NATIVE}/${name} ${OUT}-${cpu}/${name}
      RESULT_VARIABLE differs)
    if(differs)
      message(FATAL_ERROR "${name} made as ${cpu} differs from the native one")
    endif()
  endforeach()
  message("${count} files the same as ${cpu}")
endforeach()
