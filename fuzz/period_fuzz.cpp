// The period search on fuzzer-chosen strings against a scan of every divisor
// of the length. The first byte picks a repetition count, so that strings
// with short periods are common.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "period.hpp"

namespace {

size_t brute_period(std::string_view s) {
  for (size_t d = 1; d < s.size(); ++d) {
    if (s.size() % d == 0 && s.substr(d) == s.substr(0, s.size() - d)) {
      return d;
    }
  }
  return s.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) {
    return 0;
  }
  const size_t times = 1 + data[0] % 8;
  const std::string_view unit(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::string line;
  for (size_t k = 0; k < times; ++k) {
    line += unit;
  }
  if (times > 1 && size > 2 && (data[0] & 0x80) != 0) {
    line[line.size() / 2] ^= 1;  // one changed character
  }
  if (strpower::period(line) != brute_period(line)) {
    std::abort();
  }
  return 0;
}
