# 64-bit IBM Z, big-endian, char unsigned, run under qemu user-mode emulation.
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(FILTERS_TRIPLE s390x-linux-gnu)
set(FILTERS_QEMU qemu-s390x)
include(${CMAKE_CURRENT_LIST_DIR}/cross.cmake)
