// The read-count-print loop of quickcount over a pair of descriptors.

#include "blocks.hpp"

#include <poll.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <new>
#include <stdexcept>
#include <vector>

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

std::array<char, 1 << 16> out_buf;  // output waiting to be written: whole lines
size_t out_len;
bool in_ended;  // the input has ended or failed, or a write failed: it is never read again
bool failed;    // a read or write failed, or a block was cut short: status 1
int in_fd;      // the descriptor blocks are read from
int out_fd;     // the descriptor counts are written to

// After a read or write on fd failed: true when it should be made again,
// because a signal interrupted it, or because fd is non-blocking and was not
// ready (this then waits until it is ready for events, POLLIN or POLLOUT).
// False for a real error.
bool try_again(int fd, short events) {
  if (errno == EINTR) {
    return true;
  }
  if (errno != EAGAIN && errno != EWOULDBLOCK) {
    return false;
  }
  pollfd ready{fd, events, 0};
  while (poll(&ready, 1, -1) < 0) {
    if (errno != EINTR) {
      return false;
    }
  }
  return true;
}

// Writes out the lines held in out_buf and empties it: one write, and more
// only for what a partial write left. A failed write fails the run: the input
// is not read again, and since the loop then stops, nothing more is written.
void flush_out() {
  const char* from = out_buf.data();
  size_t left = out_len;
  out_len = 0;
  while (left > 0) {
    const ssize_t n = write(out_fd, from, left);
    if (n > 0) {
      from += n;
      left -= static_cast<size_t>(n);
    } else if (n == 0 || !try_again(out_fd, POLLOUT)) {
      failed = in_ended = true;
      return;
    }
  }
}

// The reader's source. Writes out the answers held first, since the read may
// wait for input; then one read of what has arrived. Returns 0, the end of
// the input, once the input has ended, on a read error or after a failed
// write (failed is then set).
size_t read_in(char* buf, size_t size) {
  flush_out();
  if (in_ended) {
    return 0;
  }
  ssize_t n = 0;
  while ((n = read(in_fd, buf, size)) < 0 && try_again(in_fd, POLLIN)) {
  }
  failed = failed || n < 0;
  in_ended = n <= 0;
  return n > 0 ? static_cast<size_t>(n) : 0;
}

// Reads the N values of the block into p (nothing for N <= 0). False when the
// input ends, or something that is not a number comes, before all are read.
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

// Appends count and a line feed to the output, and writes the output out
// once another such line might not fit, so that no line is left to write
// after a failed write. There is always room for the line: the bound given
// to_chars keeps the line feed inside out_buf all the same.
void print_count() {
  constexpr size_t longest_line = 21;  // "-9223372036854775808\n"
  char* end =
      std::to_chars(out_buf.data() + out_len, out_buf.data() + out_buf.size() - 1, count).ptr;
  *end++ = '\n';
  out_len = static_cast<size_t>(end - out_buf.data());
  if (out_buf.size() - out_len < longest_line) {
    flush_out();
  }
}

}  // namespace

int count_blocks(int input, int output) {
  in_fd = input;
  out_fd = output;
  out_len = 0;
  in_ended = failed = false;
  start_reading(read_in);

  while (!failed && read_int(N) && N != 0) {
    bool whole = false;
    try {
      whole = read_block();
    } catch (const std::bad_alloc&) {
      whole = false;  // a block too long for the memory there is: cut short
    } catch (const std::length_error&) {
      whole = false;  // the same, where a vector cannot count that many values
    }
    if (!whole) {
      failed = true;
      break;
    }
    count = 0;
    sort(0, N);
    print_count();
    release_long_storage();
  }
  flush_out();
  release_long_storage();
  return failed ? 1 : 0;
}

}  // namespace quickcount
