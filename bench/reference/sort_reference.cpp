// Yardstick for the inversion counters: reads the whole input with one fread,
// parses blocks of decimal numbers with a minimal parser, sorts each block with
// std::sort and prints one checksum line per block.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

int main() {
  std::vector<char> text;
  std::vector<char> chunk(1 << 20);
  size_t got = 0;
  while ((got = std::fread(chunk.data(), 1, chunk.size(), stdin)) > 0) {
    text.insert(text.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(got));
  }
  text.push_back('\0');
  const char* p = text.data();
  auto next = [&p](int64_t& v) {
    while (*p == ' ' || *p == '\n' || *p == '\t' || *p == '\r') {
      ++p;
    }
    bool neg = *p == '-';
    if (*p == '-' || *p == '+') {
      ++p;
    }
    if (*p < '0' || *p > '9') {
      return false;
    }
    v = 0;
    while (*p >= '0' && *p <= '9') {
      v = v * 10 + (*p++ - '0');
    }
    v = neg ? -v : v;
    return true;
  };
  std::vector<int32_t> block;
  int64_t n = 0;
  while (next(n) && n != 0) {
    block.clear();
    int64_t v = 0;
    for (int64_t k = 0; k < n && next(v); ++k) {
      block.push_back(static_cast<int32_t>(v));
    }
    std::sort(block.begin(), block.end());
    std::printf("%lld\n", block.empty() ? 0LL : static_cast<long long>(block[block.size() / 2]));
  }
  return 0;
}
