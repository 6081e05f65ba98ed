// Yardstick for the inversion counters: reads the whole input into one buffer
// sized from the file, parses blocks of decimal numbers with a minimal parser
// into storage reserved for the block, sorts each block with std::sort and
// prints one checksum line per block. Kept as lean as the simplest fast
// reader, so that the ratios measure the counters' work, not its copying.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

int main() {
  struct stat st {};
  const size_t size = fstat(0, &st) == 0 && st.st_size > 0 ? static_cast<size_t>(st.st_size) : 0;
  std::vector<char> text(size + (1 << 16) + 1);
  size_t len = 0;
  for (;;) {
    if (len + 1 == text.size()) {
      text.resize(text.size() * 2);  // input longer than the file said (a pipe)
    }
    const ssize_t got = read(0, text.data() + len, text.size() - 1 - len);
    if (got <= 0) {
      break;
    }
    len += static_cast<size_t>(got);
  }
  text[len] = '\0';
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
    block.reserve(static_cast<size_t>(std::max<int64_t>(n, 0)));
    int64_t v = 0;
    for (int64_t k = 0; k < n && next(v); ++k) {
      block.push_back(static_cast<int32_t>(v));
    }
    std::sort(block.begin(), block.end());
    std::printf("%lld\n", block.empty() ? 0LL : static_cast<long long>(block[block.size() / 2]));
  }
  return 0;
}
