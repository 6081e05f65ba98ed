# Shared part of the cross toolchain files (cmake/toolchain-*.cmake): Debian's
# cross compiler for FILTERS_TRIPLE with its libraries under
# /usr/FILTERS_TRIPLE, and, when FILTERS_QEMU names a qemu-user emulator,
# that emulator to run the built programs and tests, told where the target's
# loader and libraries are.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_CXX_COMPILER /usr/bin/${FILTERS_TRIPLE}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${FILTERS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
if(FILTERS_QEMU)
  set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/${FILTERS_QEMU} -L /usr/${FILTERS_TRIPLE})
endif()
