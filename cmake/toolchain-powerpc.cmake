# 32-bit PowerPC, big-endian, char unsigned, run under qemu user-mode emulation.
set(CMAKE_SYSTEM_PROCESSOR powerpc)
set(FILTERS_TRIPLE powerpc-linux-gnu)
set(FILTERS_QEMU qemu-ppc)
include(${CMAKE_CURRENT_LIST_DIR}/cross.cmake)
