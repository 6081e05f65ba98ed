// The I/O floor for strpower: reads standard input in 64 KiB chunks and does
// nothing else but print the number of bytes read.
#include <array>
#include <cstdio>

int main() {
  static std::array<char, 1 << 16> chunk;
  unsigned long long total = 0;
  size_t got = 0;
  while ((got = std::fread(chunk.data(), 1, chunk.size(), stdin)) > 0) {
    total += got;
  }
  std::printf("%llu\n", total);
  return 0;
}
