# 32-bit x86, little-endian, char signed. An x86-64 kernel runs these
# programs itself, so no emulator is set; the machine needs the i386 C and
# C++ runtimes (Debian's libc6-i386 and lib32stdc++6).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(FILTERS_TRIPLE i686-linux-gnu)
include(${CMAKE_CURRENT_LIST_DIR}/cross.cmake)
