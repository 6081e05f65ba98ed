// mergecount's pieces on fuzzer-chosen bytes. An even first byte: the rest,
// as 32-bit values, is counted by getResult and by getResult2 over a range
// that starts past the front, which must agree on the count and the order and
// leave the values around the range alone. An odd first byte: the rest is read
// with read_number and with sscanf("%lli"), clamped to the 32-bit range, which
// must agree on every number and where each stops.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "merge.hpp"
#include "number.hpp"

namespace {

void check_merge(const uint8_t* data, size_t size, bool few_distinct) {
  std::vector<int32_t> values(size / 4);
  if (!values.empty()) {
    std::memcpy(values.data(), data, values.size() * 4);
  }
  if (few_distinct) {
    for (int32_t& v : values) {
      v %= 8;  // many equal values
    }
  }
  if (values.size() < 3) {
    return;
  }
  const auto lo = static_cast<int32_t>(values.size() % 3 == 0 ? 1 : 0);
  const auto hi = static_cast<int32_t>(values.size()) - 1;
  std::vector<int32_t> merged = values;
  std::vector<int32_t> bubbled = values;
  const int64_t got = mergecount::getResult(merged.data(), lo, hi);
  const int64_t want = mergecount::getResult2(bubbled.data(), lo, hi);
  if (got != want || merged != bubbled || (lo == 1 && merged[0] != values[0]) ||
      merged.back() != values.back()) {
    std::abort();
  }
}

void check_reader(const uint8_t* data, size_t size) {
  std::string s(reinterpret_cast<const char*>(data), size);
  s.erase(std::remove(s.begin(), s.end(), '\0'), s.end());  // sscanf stops at NUL
  std::FILE* in = fmemopen(s.data(), s.size() + 1, "r");    // the NUL ends the text
  if (in == nullptr) {
    std::abort();
  }
  mergecount::read_from(in);
  size_t at = 0;
  while (true) {
    long long wide = 0;
    int used = 0;
    const bool scanned = std::sscanf(s.c_str() + at, "%lli%n", &wide, &used) == 1;  // NOLINT
    int32_t got = 0;
    const bool read = mergecount::read_number(got);
    const auto want = static_cast<int32_t>(std::clamp<long long>(wide, INT32_MIN, INT32_MAX));
    if (scanned != read || (read && (got != want || mergecount::consumed() != at + used))) {
      std::abort();
    }
    if (!read) {
      break;
    }
    at += static_cast<size_t>(used);
  }
  mergecount::read_from(stdin);
  std::fclose(in);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) {
    return 0;
  }
  if ((data[0] & 1) == 0) {
    check_merge(data + 1, size - 1, (data[0] & 2) != 0);
  } else {
    check_reader(data + 1, size - 1);
  }
  return 0;
}
