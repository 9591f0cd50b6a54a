# cmake -DQEMU=... -DCOMMAND=... -DNATIVE=... -DFILES=... -DOUT=... -P check_on_processors.cmake
# Runs COMMAND (a list; @OUT@ in it stands for a folder of its own) as each
# processor model would, under qemu-user, and compares each of FILES that it
# writes there with the one the build made natively in NATIVE.
cmake_minimum_required(VERSION 3.25)  # @OUT@ stays as written
# CMake 3.25 gives a script no exit status of its choosing: the test's
# SKIP_REGULAR_EXPRESSION takes this line for the skip.
if(NOT QEMU)
  message("skipped: qemu-x86_64 is not installed (Debian's qemu-user)")
  return()
endif()
foreach(cpu Nehalem Haswell)
  set(out ${OUT}-${cpu})
  file(REMOVE_RECURSE ${out})
  file(MAKE_DIRECTORY ${out})
  string(REPLACE "@OUT@" "${out}" command "${COMMAND}")
  execute_process(COMMAND ${QEMU} -cpu ${cpu} ${command}
    RESULT_VARIABLE rc ERROR_VARIABLE errors)  # qemu warns of host features it lacks
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${command} as ${cpu} failed: ${rc}\n${errors}")
  endif()
  foreach(name IN LISTS FILES)
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${NATIVE}/${name} ${out}/${name}
      RESULT_VARIABLE differs)
    if(differs)
      message(FATAL_ERROR "${name} made as ${cpu} differs from the native one")
    endif()
  endforeach()
  message("the same as ${cpu}: ${FILES}")
endforeach()
