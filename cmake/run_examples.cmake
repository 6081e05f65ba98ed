# Runs each program on the example input in its folder, skipping programs
# that are not part of this build yet. Inputs: SOURCE_DIR, BINARY_DIR,
# PROGRAMS, and EMULATOR, the words of the command that starts a built
# program (empty: none).
separate_arguments(emulator UNIX_COMMAND "${EMULATOR}")
foreach(prog IN LISTS PROGRAMS)
  set(exe ${BINARY_DIR}/${prog}/${prog})
  set(input ${SOURCE_DIR}/${prog}/examples/input.txt)
  if(NOT EXISTS ${exe} OR NOT EXISTS ${input})
    message("${prog}: not built yet, skipped")
    continue()
  endif()
  message("$ ${prog} < ${prog}/examples/input.txt")
  execute_process(COMMAND ${emulator} ${exe} INPUT_FILE ${input} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${prog} ended with status ${status}")
  endif()
endforeach()
