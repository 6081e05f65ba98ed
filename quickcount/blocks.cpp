// The read-count-print loop of quickcount over a pair of descriptors.

#include "blocks.hpp"

#include <array>
#include <charconv>
#include <cstdint>
#include <new>
#include <stdexcept>
#include <vector>

#include "fdio.hpp"
#include "reader.hpp"
#include "sort.hpp"

namespace quickcount {
namespace {

int32_t N;  // length of the current block

// Storage of p and scratch for blocks of up to capacity values.
std::array<int32_t, capacity> values;
std::array<int32_t, capacity> spare;
// Storage of p and scratch for a longer block, grown only as its values
// actually arrive, and given back once the block is counted.
std::vector<int32_t> long_values;
std::vector<int32_t> long_spare;

// Reads the N values of the block into p (nothing for N <= 0). False when the
// input ends or fails, or something that is not a number comes, before all
// are read.
// Throws std::bad_alloc, or std::length_error where a vector cannot count that
// many values, when a long block does not fit in memory.
bool read_block() {
  p = values;
  scratch = spare;
  if (N <= capacity) {
    return N <= 0 || read_ints(values.data(), N) == N;
  }
  if (read_ints(values.data(), capacity) < capacity) {
    return false;
  }
  int32_t value = 0;
  for (int32_t i = capacity; i < N; ++i) {
    if (!read_int(value)) {
      return false;
    }
    if (long_values.empty()) {
      long_values.assign(values.begin(), values.end());
    }
    long_values.push_back(value);
  }
  long_spare.resize(long_values.size());
  p = long_values;
  scratch = long_spare;
  return true;
}

void release_long_storage() {
  p = values;
  scratch = spare;
  long_values = std::vector<int32_t>();
  long_spare = std::vector<int32_t>();
}

// Appends count and a line feed to the output, as one whole line.
void print_count() {
  constexpr size_t longest = 21;  // "-9223372036854775808\n"
  char* at = fdio::room(longest);
  at = std::to_chars(at, at + longest - 1, count).ptr;
  *at++ = '\n';
  fdio::keep(at);
}

}  // namespace

int count_blocks(int input, int output) {
  fdio::start(input, output);
  start_reading();

  bool cut_short = false;
  while (!fdio::failed() && read_int(N) && N != 0) {
    bool whole = false;
    try {
      whole = read_block();
    } catch (const std::bad_alloc&) {
      whole = false;  // a block too long for the memory there is: cut short
    } catch (const std::length_error&) {
      whole = false;  // the same, where a vector cannot count that many values
    }
    if (!whole) {
      cut_short = true;
      break;
    }
    count = 0;
    sort(0, N);
    print_count();
    release_long_storage();
  }
  release_long_storage();
  return fdio::finish(cut_short ? 1 : 0);
}

}  // namespace quickcount
