# Runs one end-to-end case; called by CTest through add_e2e_case.
# Inputs: PROGRAM, INPUT, EXPECTED, STATUS, STATUS_FILE, DEVFULL, CLOSED,
# INPUT_CLOSED, WORKDIR, and EMULATOR, the words of the command that starts
# PROGRAM (empty: none).
# A STATUS_FILE that exists overrides STATUS; it is read when the case runs.
if(STATUS_FILE AND EXISTS ${STATUS_FILE})
  file(STRINGS ${STATUS_FILE} STATUS LIMIT_COUNT 1)
endif()
file(MAKE_DIRECTORY ${WORKDIR})
set(out ${WORKDIR}/stdout)
set(err ${WORKDIR}/stderr)
if(DEVFULL OR CLOSED)
  set(out /dev/full)
endif()
separate_arguments(command UNIX_COMMAND "${EMULATOR}")
list(APPEND command ${PROGRAM})
if(CLOSED)
  # The program starts with no standard output at all.
  set(command sh -c "exec \"$@\" >&-" sh ${command})
elseif(INPUT_CLOSED)
  # The program starts with no standard input at all.
  set(command sh -c "exec \"$@\" <&-" sh ${command})
endif()

execute_process(COMMAND ${command}
  INPUT_FILE ${INPUT}
  OUTPUT_FILE ${out}
  ERROR_FILE ${err}
  RESULT_VARIABLE status)

set(failed FALSE)
if(NOT "${status}" STREQUAL "${STATUS}")
  message(SEND_ERROR "exit status: expected ${STATUS}, got ${status}")
  set(failed TRUE)
endif()

file(SIZE ${err} err_size)
if(NOT err_size EQUAL 0)
  file(READ ${err} err_text LIMIT 2000)
  message(SEND_ERROR "stderr is not empty:\n${err_text}")
  set(failed TRUE)
endif()

if(NOT DEVFULL AND NOT CLOSED)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${out} ${EXPECTED}
    RESULT_VARIABLE differ)
  if(differ)
    file(READ ${out} got LIMIT 2000)
    file(READ ${EXPECTED} want LIMIT 2000)
    message(SEND_ERROR "stdout differs from ${EXPECTED}\n--- expected:\n${want}\n--- got:\n${got}")
    set(failed TRUE)
  endif()
endif()

if(failed)
  message(FATAL_ERROR "case failed: ${PROGRAM} < ${INPUT}")
endif()
