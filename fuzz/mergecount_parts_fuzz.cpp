// mergecount's pieces on fuzzer-chosen bytes. An even first byte: the rest,
// as 32-bit values, is counted by each path getResult may take (the scalar
// one, and the AVX2 one where the processor has it) and by getResult2 over a
// range that starts past the front, which must agree on the count and the
// order and leave the values around the range alone. An odd first byte: the rest is read
// with read_number, in reads of sizes the first byte chooses, and with
// sscanf("%lli"), clamped to the 32-bit range, which must agree on every
// number and where each stops.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fdio.hpp"
#include "loop_run.hpp"
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
  std::vector<int32_t> bubbled = values;
  const int64_t want = mergecount::getResult2(bubbled.data(), lo, hi);
  for (const bool vector_path : {false, true}) {
    if (vector_path && !mergecount::haveAvx2()) {
      continue;
    }
    std::vector<int32_t> merged = values;
    const int64_t got = vector_path ? mergecount::getResultAvx2(merged.data(), lo, hi)
                                    : mergecount::getResultScalar(merged.data(), lo, hi);
    if (got != want || merged != bubbled || (lo == 1 && merged[0] != values[0]) ||
        merged.back() != values.back()) {
      std::abort();
    }
  }
}

// Reads the rest with read_number from a pipe, in reads of 1 to 128 bytes
// as the first byte says, and with sscanf("%lli") from where the last number
// stopped: the two must read the same numbers, clamped to the 32-bit range,
// and stop at the same one; where each read stops shows in those after it.
void check_reader(uint8_t first, const uint8_t* data, size_t size) {
  std::string s(reinterpret_cast<const char*>(data), size);
  s.erase(std::remove(s.begin(), s.end(), '\0'), s.end());  // sscanf stops at NUL
  std::vector<int32_t> want;
  long long wide = 0;
  int used = 0;
  for (const char* at = s.c_str(); std::sscanf(at, "%lli%n", &wide, &used) == 1;
       at += used) {  // NOLINT
    want.push_back(static_cast<int32_t>(std::clamp<long long>(wide, INT32_MIN, INT32_MAX)));
  }
  std::vector<int32_t> got;
  testsupport::LoopRun how;
  how.pieces = {size_t{first} / 2 + 1};
  const auto run = testsupport::run_loop(
      [&got](int input, int output) {
        mergecount::fdio::start(input, output);
        mergecount::start_reading();
        int32_t value = 0;
        while (mergecount::read_number(value)) {
          got.push_back(value);
        }
        return mergecount::fdio::failed() ? 1 : 0;
      },
      s, how);
  if (run.status != 0 || got != want) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) {
    return 0;
  }
  if ((data[0] & 1) == 0) {
    check_merge(data + 1, size - 1, (data[0] & 2) != 0);
  } else {
    check_reader(data[0], data + 1, size - 1);
  }
  return 0;
}
