# Runs each program on the example input in its folder, prints its answers
# and compares them with examples/output.txt beside the input, skipping
# programs that are not part of this build yet. Fails, naming every program
# whose answers or exit status are not the ones expected. Inputs: SOURCE_DIR,
# BINARY_DIR, PROGRAMS, and EMULATOR, the words of the command that starts a
# built program (empty: none).
separate_arguments(emulator UNIX_COMMAND "${EMULATOR}")
set(wrong "")
foreach(prog IN LISTS PROGRAMS)
  set(exe ${BINARY_DIR}/${prog}/${prog})
  set(input ${SOURCE_DIR}/${prog}/examples/input.txt)
  set(expected ${SOURCE_DIR}/${prog}/examples/output.txt)
  set(answers ${BINARY_DIR}/examples/${prog}.out)
  if(NOT EXISTS ${exe} OR NOT EXISTS ${input})
    message("${prog}: not built yet, skipped")
    continue()
  endif()
  message("$ ${prog} < ${prog}/examples/input.txt")
  file(MAKE_DIRECTORY ${BINARY_DIR}/examples)
  execute_process(COMMAND ${emulator} ${exe} INPUT_FILE ${input} OUTPUT_FILE ${answers}
    RESULT_VARIABLE status)
  execute_process(COMMAND ${CMAKE_COMMAND} -E cat ${answers})
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${answers} ${expected}
    RESULT_VARIABLE differ)
  if(NOT status EQUAL 0)
    message("${prog}: ended with status ${status}")
    list(APPEND wrong ${prog})
  elseif(differ)
    file(READ ${expected} want)
    message("${prog}: the answers above differ from ${prog}/examples/output.txt, which holds:\n${want}")
    list(APPEND wrong ${prog})
  endif()
endforeach()
if(wrong)
  list(JOIN wrong ", " wrong)
  message(FATAL_ERROR "examples: wrong answers from ${wrong}")
endif()
