# End-to-end cases: run a built program on an input file and check that its
# stdout matches an expected file byte for byte, that stderr stays empty and
# that the exit status is the one expected.

set(FILTERS_RUN_CASE ${CMAKE_CURRENT_LIST_DIR}/run_case.cmake)
set(FILTERS_EMPTY_FILE ${CMAKE_CURRENT_LIST_DIR}/empty.out)  # expected output: nothing

# add_e2e_case(<program target> <case name> <input file> <expected stdout file>
#              [STATUS <exit status> | STATUS_FILE <file holding it>]
#              [DEVFULL | CLOSED | INPUT_CLOSED])
# DEVFULL sends stdout to /dev/full and CLOSED starts the program with stdout
# closed; the expected file is then not read. INPUT_CLOSED starts it with
# stdin closed (the input file is then not read).
function(add_e2e_case prog name input expected)
  cmake_parse_arguments(E "DEVFULL;CLOSED;INPUT_CLOSED" "STATUS;STATUS_FILE" "" ${ARGN})
  if(NOT DEFINED E_STATUS)
    set(E_STATUS 0)
  endif()
  add_test(NAME ${prog}.e2e.${name}
    COMMAND ${CMAKE_COMMAND}
      -DPROGRAM=$<TARGET_FILE:${prog}>
      -DINPUT=${input}
      -DEXPECTED=${expected}
      -DSTATUS=${E_STATUS}
      -DSTATUS_FILE=${E_STATUS_FILE}
      -DDEVFULL=${E_DEVFULL}
      -DCLOSED=${E_CLOSED}
      -DINPUT_CLOSED=${E_INPUT_CLOSED}
      -DWORKDIR=${CMAKE_CURRENT_BINARY_DIR}/e2e/${name}
      "-DEMULATOR=${FILTERS_EMULATOR}"
      -P ${FILTERS_RUN_CASE})
endfunction()

# add_e2e_case_dir(<program target> <folder>)
# Declares one case per <name>.in in the folder, expecting <name>.out and the
# exit status written in <name>.status (0 when that file is absent).
function(add_e2e_case_dir prog dir)
  file(GLOB inputs CONFIGURE_DEPENDS ${dir}/*.in)
  foreach(input IN LISTS inputs)
    get_filename_component(name ${input} NAME_WE)
    add_e2e_case(${prog} ${name} ${input} ${dir}/${name}.out STATUS_FILE ${dir}/${name}.status)
  endforeach()
endfunction()

# A hang fails: every test of a program's test binary fails once it has run
# FILTERS_TEST_TIMEOUT_<program> seconds, about five times the binary's
# slowest test in the dev build or the i686 one run directly, two tests at a
# time on a 2-core machine (the times in the comments), multiplied by how
# much slower this build runs the tests: 2 under sanitizers, 10 with gcov,
# 20 under an emulator (measured on the slowest tests: 1.9 times as long
# under ASan, 9 with gcov, 17 under qemu-s390x, 4 under qemu-ppc and
# qemu-aarch64). Every other test fails past the test presets' timeout,
# 300 s.
set(FILTERS_TEST_TIMEOUT_zoneclock 5)    # 0.7 s
if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND NOT FILTERS_EMULATOR)
  # 13 s: the 1.2 GB token of a 32-bit build, read by the kernel more than
  # run, 12 to 15 s under an emulator too, where 5 s times 20 covers it.
  set(FILTERS_TEST_TIMEOUT_zoneclock 65)
endif()
set(FILTERS_TEST_TIMEOUT_quickcount 20)  # 3.7 s
set(FILTERS_TEST_TIMEOUT_mergecount 45)  # 8.5 s
set(FILTERS_TEST_TIMEOUT_strpower 10)    # 1.8 s
if(FILTERS_EMULATOR)
  set(FILTERS_TEST_TIME_SCALE 20)
elseif(FILTERS_COVERAGE)
  set(FILTERS_TEST_TIME_SCALE 10)
elseif(FILTERS_SANITIZE OR CMAKE_CXX_FLAGS MATCHES "-fsanitize=")
  set(FILTERS_TEST_TIME_SCALE 2)
else()
  set(FILTERS_TEST_TIME_SCALE 1)
endif()

# add_program_tests(<program target> SOURCES <test sources> LIBS <libraries>)
# Builds <program>_test from the sources with GoogleTest, PROGRAM_PATH naming
# the built program for tests that run it, and declares the cases of the
# folder's cases/, the example (examples/input.txt, whose output.txt is what
# the x86-64 build prints, so that every build must print the same bytes),
# two whose output cannot be written (status 1): stdout on /dev/full, and
# stdout closed, and two whose input cannot be read (status 1, nothing
# printed): a folder as stdin, and stdin closed. The GoogleTest tests time
# out as the table above says.
function(add_program_tests prog)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${prog}_test ${T_SOURCES})
  target_link_libraries(${prog}_test PRIVATE ${T_LIBS} test_support GTest::gtest_main)
  target_compile_definitions(${prog}_test PRIVATE PROGRAM_PATH="$<TARGET_FILE:${prog}>")
  add_dependencies(${prog}_test ${prog})
  math(EXPR timeout "${FILTERS_TEST_TIMEOUT_${prog}} * ${FILTERS_TEST_TIME_SCALE}")
  gtest_discover_tests(${prog}_test DISCOVERY_MODE PRE_TEST TEST_PREFIX ${prog}.
                       PROPERTIES TIMEOUT ${timeout})

  add_e2e_case_dir(${prog} ${CMAKE_CURRENT_SOURCE_DIR}/cases)
  add_e2e_case(${prog} example ${CMAKE_CURRENT_SOURCE_DIR}/examples/input.txt
               ${CMAKE_CURRENT_SOURCE_DIR}/examples/output.txt)
  add_e2e_case(${prog} devfull ${CMAKE_CURRENT_SOURCE_DIR}/examples/input.txt none
               STATUS 1 DEVFULL)
  add_e2e_case(${prog} closed_stdout ${CMAKE_CURRENT_SOURCE_DIR}/examples/input.txt none
               STATUS 1 CLOSED)
  add_e2e_case(${prog} unreadable_input ${CMAKE_CURRENT_SOURCE_DIR}/examples
               ${FILTERS_EMPTY_FILE} STATUS 1)
  add_e2e_case(${prog} closed_stdin ${CMAKE_CURRENT_SOURCE_DIR}/examples/input.txt
               ${FILTERS_EMPTY_FILE} STATUS 1 INPUT_CLOSED)
endfunction()
