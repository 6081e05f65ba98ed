# Chooses how a cross build whose toolchain file names a fallback emulator
# (FILTERS_FALLBACK_QEMU, as cmake/toolchain-i686.cmake does) runs what it
# builds: directly when this machine runs a small program built with the
# toolchain, under that qemu-user emulator when it does not. Some x86-64
# kernels run 32-bit x86 programs and some do not ("Exec format error").
# The cache variable FILTERS_FORCE_EMULATOR takes the emulator without
# trying the program directly, so that the fallback can be tried on any
# machine.
#
# The emulator runs the programs on this machine's own runtimes for the
# target (for i686, Debian's libc6-i386 and lib32stdc++6), the ones a kernel
# that runs them directly uses too: qemu-i386 told to look in
# /usr/i686-linux-gnu (-L) loads the cross toolchain's loader, under which
# a forked child spins for ever, and the tests fork.
#
# Sets CMAKE_CROSSCOMPILING_EMULATOR, which every target made after this
# takes as its own, and says in one line of the configure output which way
# was chosen and why.
function(filters_choose_emulator)
  if(NOT CMAKE_CROSSCOMPILING OR NOT FILTERS_FALLBACK_QEMU OR CMAKE_CROSSCOMPILING_EMULATOR)
    return()
  endif()
  option(FILTERS_FORCE_EMULATOR
    "Run the programs of this cross build under ${FILTERS_FALLBACK_QEMU} even where they run directly"
    OFF)
  set(processor ${CMAKE_SYSTEM_PROCESSOR})

  # try_run would not run a cross-built program without an emulator: the
  # program is built, copied out and started here. It prints a word, which
  # a shell taking the file for a script after "Exec format error" cannot.
  set(probe ${CMAKE_BINARY_DIR}/CMakeFiles/filters_run_probe)
  try_compile(built
    SOURCE_FROM_CONTENT run_probe.cpp "#include <cstdio>\nint main() { std::puts(\"ran\"); }\n"
    COPY_FILE ${probe}
    OUTPUT_VARIABLE log)
  if(NOT built)
    message(FATAL_ERROR "The ${processor} compiler cannot build a small program:\n${log}")
  endif()

  if(FILTERS_FORCE_EMULATOR)
    set(reason "forced by FILTERS_FORCE_EMULATOR")
  else()
    execute_process(COMMAND ${probe} RESULT_VARIABLE ended OUTPUT_VARIABLE printed ERROR_QUIET)
    if(ended STREQUAL "0" AND printed STREQUAL "ran\n")
      message(STATUS "${processor} programs run directly on this kernel")
      return()
    endif()
    if(ended MATCHES "^[0-9]+$")
      set(ended "status ${ended}")
    endif()
    set(reason "this machine does not run them (a test program ended with ${ended})")
  endif()

  find_program(FILTERS_QEMU_PATH ${FILTERS_FALLBACK_QEMU})
  if(NOT FILTERS_QEMU_PATH)
    message(FATAL_ERROR "${processor} programs need ${FILTERS_FALLBACK_QEMU}, ${reason}: "
      "install it (Debian's qemu-user) and configure again")
  endif()
  execute_process(COMMAND ${FILTERS_QEMU_PATH} ${probe}
    RESULT_VARIABLE ended OUTPUT_VARIABLE printed ERROR_VARIABLE errors)
  if(NOT ended STREQUAL "0" OR NOT printed STREQUAL "ran\n")
    message(FATAL_ERROR "${FILTERS_QEMU_PATH} cannot run a small ${processor} program (${ended}): "
      "${errors}It needs this machine's runtimes for ${processor} (${FILTERS_TARGET_RUNTIMES}).")
  endif()
  set(CMAKE_CROSSCOMPILING_EMULATOR ${FILTERS_QEMU_PATH} PARENT_SCOPE)
  message(STATUS "${processor} programs run under ${FILTERS_FALLBACK_QEMU}: ${reason}")
endfunction()

filters_choose_emulator()
