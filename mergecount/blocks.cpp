// The read-count-print loop of mergecount over a pair of descriptors.

#include "blocks.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <new>
#include <stdexcept>
#include <vector>

#include "fdio.hpp"
#include "merge.hpp"
#include "number.hpp"

namespace mergecount {
namespace {

int32_t n;                                // length of the current block
std::array<int32_t, capacity> sequence;   // the block's values when they fit
std::vector<int32_t> long_block;          // a longer block's values, grown as they arrive
constexpr std::size_t long_step = 65536;  // values a longer block's storage grows by per read

// Prints a count on a line of its own. Above one thousand million it goes out
// in two pieces, the thousand millions and then the rest as nine digits,
// which together are exactly the count's decimal digits; the first piece is
// kept in 64 bits, so that no count overflows it.
void print_count(int64_t r) {
  constexpr std::size_t longest = 20;  // the 19 digits of the largest count and the line feed
  char* p = fdio::room(longest);
  char* const end = p + longest;
  constexpr int64_t piece = 1'000'000'000;
  if (r > piece) {
    p = std::to_chars(p, end, r / piece).ptr;
    int64_t rest = r % piece;
    for (int k = 8; k >= 0; --k) {
      p[k] = static_cast<char>('0' + rest % 10);
      rest /= 10;
    }
    p += 9;
  } else {
    p = std::to_chars(p, end, r).ptr;
  }
  *p++ = '\n';
  fdio::keep(p);
}

// Reads the n values of the current block, n > 0. Returns where they are, or
// nullptr when the input runs out of numbers (it ends, cannot be read, or is
// read no more after a failed write), or memory for them cannot be had,
// first. A block longer than sequence goes to long_block, which grows only
// as its values arrive.
int32_t* read_block() {
  const auto count = static_cast<std::size_t>(n);
  if (count <= sequence.size()) {
    return read_numbers(sequence.data(), count) == count ? sequence.data() : nullptr;
  }
  try {
    while (long_block.size() < count) {
      const std::size_t have = long_block.size();
      const std::size_t step = std::min(count - have, long_step);
      long_block.resize(have + step);
      if (read_numbers(long_block.data() + have, step) != step) {
        return nullptr;
      }
    }
  } catch (const std::bad_alloc&) {
    return nullptr;
  } catch (const std::length_error&) {
    return nullptr;  // more values than a vector can hold, as on a 32-bit machine
  }
  return long_block.data();
}

}  // namespace

int count_blocks(int input, int output) {
  fdio::start(input, output);
  start_reading();

  while (!fdio::failed() && read_number(n) && n != 0) {
    if (n < 0) {
      print_count(0);  // a block with no values has no inversions
      continue;
    }
    // -1 when the block is cut short (by the input or a failed write), or
    // getResult has no memory for its merge buffer (which it gives back once
    // it is done).
    int32_t* const values = read_block();
    const int64_t count = values == nullptr ? -1 : n == 1 ? 0 : getResult(values, 0, n);
    if (!long_block.empty()) {
      long_block = std::vector<int32_t>();  // no memory is kept after a long block
    }
    if (count < 0) {
      return fdio::finish(1);  // cut short, or no memory for its values or merge buffer: no line
    }
    print_count(count);
  }
  return fdio::finish(0);
}

}  // namespace mergecount
