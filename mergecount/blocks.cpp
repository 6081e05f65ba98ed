// The read-count-print loop of mergecount over a pair of descriptors.

#include "blocks.hpp"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <new>
#include <stdexcept>
#include <vector>

#include "merge.hpp"
#include "number.hpp"

namespace mergecount {
namespace {

int32_t n;                                // length of the current block
std::array<int32_t, capacity> sequence;   // the block's values when they fit
std::vector<int32_t> long_block;          // a longer block's values, grown as they arrive
constexpr std::size_t long_step = 65536;  // values a longer block's storage grows by per read

std::array<char, 1 << 16> out_buf;  // whole lines waiting to be written
std::size_t out_len;
bool out_failed;  // a write failed: nothing more is read or written
int out_fd;       // the descriptor counts are written to

// Writes out_buf[0..out_len) to out_fd, in one write(2) unless the
// descriptor takes less. Returns false when the output could not be written.
bool write_out() {
  const char* p = out_buf.data();
  std::size_t left = out_len;
  while (left > 0) {
    const ssize_t put = write(out_fd, p, left);
    if (put > 0) {
      p += put;
      left -= static_cast<std::size_t>(put);
    } else if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      // A descriptor in non-blocking mode that cannot take more yet.
      pollfd ready{out_fd, POLLOUT, 0};
      if (poll(&ready, 1, -1) < 0 && errno != EINTR) {
        return false;
      }
    } else if (put == 0 || errno != EINTR) {
      return false;
    }
  }
  return true;
}

// Writes out the lines held. Called when the buffer is full, at the end, and
// before every refill of the input, which may wait: so each count goes out
// before the program waits for more input. Returns false once a write has
// failed, which stops the reading.
bool flush_out() {
  if (!out_failed && out_len > 0 && !write_out()) {
    out_failed = true;
  }
  out_len = 0;
  return !out_failed;
}

// Prints a count on a line of its own. Above one thousand million it goes out
// in two pieces, the thousand millions and then the rest as nine digits,
// which together are exactly the count's decimal digits; the first piece is
// kept in 64 bits, so that no count overflows it.
void print_count(int64_t r) {
  constexpr std::size_t longest_line = 24;
  if (out_buf.size() - out_len < longest_line) {
    flush_out();
  }
  char* p = out_buf.data() + out_len;
  char* const end = out_buf.data() + out_buf.size();
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
  out_len = static_cast<std::size_t>(p - out_buf.data());
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

// Writes what is left. Returns the exit status: status, or 1 when the input
// could not be read or any output could not be written.
int finish(int status) {
  return flush_out() && !read_failed() ? status : 1;
}

}  // namespace

int count_blocks(int input, int output) {
  out_fd = output;
  out_len = 0;
  out_failed = false;
  read_from(input, flush_out);

  while (!out_failed && read_number(n) && n != 0) {
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
      return finish(1);  // cut short, or no memory for its values or merge buffer: no line
    }
    print_count(count);
  }
  return finish(0);
}

}  // namespace mergecount
