// The read-count-print loop of quickcount over a pair of streams.

#include "blocks.hpp"

#include <poll.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <new>
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
bool out_failed;
bool in_failed;  // the input could not be read
std::FILE* in;   // the stream blocks are read from
std::FILE* out;  // the stream counts are written to
int in_fd;       // their descriptors, or -1 for streams without one (in memory)
int out_fd;

// After a read or write on fd failed: true when it is worth trying again,
// because a signal interrupted it, or because fd is in non-blocking mode and
// has now become ready for events.
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

// Writes out the lines held in out_buf and empties it; on failure sets
// out_failed, and nothing more is written. One write call on a descriptor
// (another only for what a partial write left), fwrite and fflush on a
// stream in memory.
void flush_out() {
  const char* from = out_buf.data();
  size_t left = out_failed ? 0 : out_len;
  out_len = 0;
  if (out_fd < 0) {
    if (left > 0 && (std::fwrite(from, 1, left, out) != left || std::fflush(out) != 0)) {
      out_failed = true;
    }
    return;
  }
  while (left > 0) {
    const ssize_t n = write(out_fd, from, left);
    if (n > 0) {
      from += n;
      left -= static_cast<size_t>(n);
    } else if (n == 0 || !try_again(out_fd, POLLOUT)) {
      out_failed = true;
      return;
    }
  }
}

// The reader's source. Writes out the answers held first, since the read may
// wait for input; then one read of what has arrived, or fread on a stream in
// memory. A read error counts as the end of input and sets in_failed.
size_t read_in(char* buf, size_t size) {
  flush_out();
  if (in_fd < 0) {
    const size_t n = std::fread(buf, 1, size, in);
    in_failed = in_failed || std::ferror(in) != 0;
    return n;
  }
  for (;;) {
    const ssize_t n = read(in_fd, buf, size);
    if (n >= 0) {
      return static_cast<size_t>(n);
    }
    if (!try_again(in_fd, POLLIN)) {
      in_failed = true;
      return 0;
    }
  }
}

// Reads the N values of the block into p (nothing for N <= 0). False when the
// input ends, or something that is not a number comes, before all are read.
// Throws std::bad_alloc when a long block does not fit in memory.
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

// Appends count and a line feed to the output.
void print_count() {
  constexpr size_t longest_line = 21;  // "-9223372036854775808\n"
  if (out_buf.size() - out_len < longest_line) {
    flush_out();
  }
  char* end = std::to_chars(out_buf.data() + out_len, out_buf.data() + out_buf.size(), count).ptr;
  *end++ = '\n';
  out_len = static_cast<size_t>(end - out_buf.data());
}

// Writes what is left. Returns the exit status: status, or 1 when any output
// could not be written.
int finish(int status) {
  flush_out();
  release_long_storage();
  if (std::fflush(out) != 0 || out_failed) {
    return 1;
  }
  return status;
}

}  // namespace

int count_blocks(std::FILE* input, std::FILE* output) {
  in = input;
  out = output;
  in_fd = fileno(input);
  out_fd = fileno(output);
  out_len = 0;
  out_failed = std::fflush(output) != 0;  // what the caller left there goes out first
  in_failed = false;
  start_reading(read_in);

  while (read_int(N) && N != 0) {
    try {
      if (!read_block()) {
        return finish(1);
      }
    } catch (const std::bad_alloc&) {
      return finish(1);  // a block too long for the memory there is: cut short
    }
    count = 0;
    sort(0, N);
    print_count();
    release_long_storage();
  }
  return finish(in_failed ? 1 : 0);
}

}  // namespace quickcount
