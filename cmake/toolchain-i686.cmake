# 32-bit x86, little-endian, char signed. An x86-64 kernel built with 32-bit
# support runs these programs itself, given the i386 C and C++ runtimes
# (Debian's libc6-i386 and lib32stdc++6); where the kernel has no such
# support, cmake/emulator.cmake runs them under qemu-i386, on the same
# runtimes.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(FILTERS_TRIPLE i686-linux-gnu)
set(FILTERS_FALLBACK_QEMU qemu-i386)
set(FILTERS_TARGET_RUNTIMES "Debian's libc6-i386 and lib32stdc++6")
include(${CMAKE_CURRENT_LIST_DIR}/cross.cmake)
