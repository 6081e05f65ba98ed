# Installs the build into PREFIX, checks the manual pages, licence and changelog
# are there, then runs each installed program on its example input and checks
# it prints what the program in the build tree prints. EMULATOR holds the
# words of the command that starts a built program (empty: none).
separate_arguments(emulator UNIX_COMMAND "${EMULATOR}")
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BINARY_DIR} --prefix ${PREFIX}
  RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${status}")
endif()
foreach(doc copyright changelog.gz)
  if(NOT EXISTS ${PREFIX}/share/doc/batchfilters/${doc})
    message(FATAL_ERROR "share/doc/batchfilters/${doc} not installed")
  endif()
endforeach()
foreach(prog IN LISTS PROGRAMS)
  if(NOT EXISTS ${BINARY_DIR}/${prog}/${prog})
    continue()
  endif()
  if(NOT EXISTS ${PREFIX}/share/man/man1/${prog}.1.gz)
    message(FATAL_ERROR "${prog}: manual page not installed")
  endif()
  set(input ${SOURCE_DIR}/${prog}/examples/input.txt)
  execute_process(COMMAND ${emulator} ${PREFIX}/bin/${prog} INPUT_FILE ${input}
    OUTPUT_VARIABLE installed RESULT_VARIABLE status)
  execute_process(COMMAND ${emulator} ${BINARY_DIR}/${prog}/${prog} INPUT_FILE ${input}
    OUTPUT_VARIABLE built)
  if(NOT status EQUAL 0 OR NOT installed STREQUAL built OR installed STREQUAL "")
    message(FATAL_ERROR "${prog}: installed program gave status ${status}:\n${installed}")
  endif()
  message("${prog}: installed and ran its example")
endforeach()
file(REMOVE_RECURSE ${PREFIX})
