# 64-bit Arm, little-endian, char unsigned, run under qemu user-mode emulation.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(FILTERS_TRIPLE aarch64-linux-gnu)
set(FILTERS_QEMU qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/cross.cmake)
