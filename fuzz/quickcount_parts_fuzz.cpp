// quickcount's pieces on fuzzer-chosen bytes. An even first byte: the rest,
// as 32-bit values, is sorted by sort and by the neighbour-exchange counter,
// which must agree on the count and the final order. An odd first byte: the
// rest is read with read_int, arriving on a pipe in reads of 1 to 64 bytes
// (the first byte's other bits say how long), and with sscanf("%d"), which must
// agree on every number and on where the reading fails; a number that stopped
// in the wrong place shows in the ones after it.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "drive.hpp"
#include "fdio.hpp"
#include "loop_run.hpp"
#include "merge.hpp"
#include "reader.hpp"
#include "sort.hpp"

namespace {

void check_sort(const uint8_t* data, size_t size, bool few_distinct) {
  std::vector<int32_t> values(size / 4);
  if (!values.empty()) {
    std::memcpy(values.data(), data, values.size() * 4);
  }
  for (int32_t& v : values) {
    if (few_distinct) {
      v %= 8;  // many equal values
    }
  }
  std::vector<int32_t> sorted = values;
  std::vector<int32_t> spare(values.size());
  quickcount::p = sorted;
  quickcount::scratch = spare;
  quickcount::count = 0;
  quickcount::sort(0, static_cast<int32_t>(sorted.size()));
  std::vector<int32_t> oracle = values;
  const int64_t want = oracle.empty() ? 0
                                      : mergecount::getResult2(oracle.data(), 0,
                                                               static_cast<int32_t>(oracle.size()));
  if (quickcount::count != want || sorted != oracle) {
    std::abort();
  }
}

void check_reader(const uint8_t* data, size_t size, size_t piece_size) {
  std::string s(reinterpret_cast<const char*>(data), size);
  s.erase(std::remove(s.begin(), s.end(), '\0'), s.end());  // sscanf stops at NUL
  if (!fuzzsupport::numbers_in_range(s)) {
    return;
  }
  const auto loop = [&s](int input, int output) {
    quickcount::fdio::start(input, output);
    quickcount::start_reading();
    size_t at = 0;
    while (true) {
      int want = 0;
      int used = 0;
      const bool scanned = std::sscanf(s.c_str() + at, "%d%n", &want, &used) == 1;  // NOLINT
      int32_t got = 0;
      const bool read = quickcount::read_int(got);
      if (scanned != read || (read && got != want)) {
        std::abort();
      }
      if (!read) {
        return 0;
      }
      at += static_cast<size_t>(used);
    }
  };
  testsupport::run_loop(loop, s, {{piece_size}});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) {
    return 0;
  }
  if ((data[0] & 1) == 0) {
    check_sort(data + 1, size - 1, (data[0] & 2) != 0);
  } else {
    check_reader(data + 1, size - 1, size_t{(data[0] >> 1) & 0x3fU} + 1);
  }
  return 0;
}
