// The read-solve-print loop of strpower over a pair of descriptors.

#include "powers.hpp"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "period.hpp"

namespace strpower {
namespace {

// Room for a line of 2,000,001 characters, taken at start; the buffer grows
// only when a longer line is read.
constexpr size_t line_capacity = 2000001;

std::array<char, 1 << 16> in_chunk;  // input, read a chunk at a time
size_t in_pos, in_len;
bool in_ended;  // the input has ended, or the run has failed: it is never read again
bool failed;    // a read or write failed, or a line did not fit in memory: status 1
int in_fd;      // the descriptor lines are read from
int out_fd;     // the descriptor results are written to

char* line_buf;  // a line that spans input chunks, assembled here
size_t line_cap, line_len;
std::string_view s;  // the current line, in in_chunk or in line_buf

std::array<char, 1 << 16> out_buf;  // output waiting to be written
size_t out_len;

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

// Writes n bytes to out_fd, all of them, across partial writes. False when it
// cannot.
bool write_all(const char* bytes, size_t n) {
  while (n > 0) {
    const ssize_t done = write(out_fd, bytes, n);
    if (done > 0) {
      bytes += done;
      n -= static_cast<size_t>(done);
    } else if (done == 0 || !try_again(out_fd, POLLOUT)) {
      return false;
    }
  }
  return true;
}

// Writes out the answers held, in one write unless the descriptor takes
// less. A failed write fails the run: nothing more is read or written.
void flush_out() {
  if (out_len > 0 && !write_all(out_buf.data(), out_len)) {
    failed = in_ended = true;
  }
  out_len = 0;
}

// Writes out the answers held, then reads into in_chunk what has arrived of
// the input: one read, which waits for the first byte only (made again after
// a signal, or once a non-blocking descriptor is ready). Returns the number
// of bytes read; 0 at the end of the input, on a read error or once the run
// has failed (failed is then set), after which it reads nothing more: at a
// terminal, another read would wait for a second end-of-file.
size_t refill() {
  flush_out();
  if (in_ended) {
    return 0;
  }
  ssize_t n = 0;
  while ((n = read(in_fd, in_chunk.data(), in_chunk.size())) < 0 && try_again(in_fd, POLLIN)) {
  }
  failed = failed || n < 0;
  in_ended = n <= 0;
  return n > 0 ? static_cast<size_t>(n) : 0;
}

// Appends n bytes to the line in line_buf, doubling the buffer, or more when
// the line needs more, when it is full. realloc, unlike a copy into a new
// buffer, can move a large block by remapping its pages, so a line longer than
// the start capacity costs about its own length in memory. False, with the
// line unchanged, when the memory is not there, or the size needed is past
// what a size_t counts.
bool append_to_line(const char* bytes, size_t n) {
  if (n > line_cap - line_len) {
    if (n > SIZE_MAX - line_len) {
      return false;
    }
    const size_t doubled = line_cap > SIZE_MAX / 2 ? SIZE_MAX : line_cap * 2;
    const size_t cap = std::max(doubled, line_len + n);
    auto* grown = static_cast<char*>(std::realloc(line_buf, cap));
    if (grown == nullptr) {
      return false;
    }
    line_buf = grown;
    line_cap = cap;
  }
  std::memcpy(line_buf + line_len, bytes, n);
  line_len += n;
  return true;
}

// Reads the next line into s, without its line feed. A line that lies inside
// one input chunk is viewed where it is; one that spans chunks is assembled in
// line_buf. Reads more input only while the line's line feed has not arrived.
// False at end of input, or when the run has failed (failed is then set).
bool read_line() {
  line_len = 0;
  while (true) {
    if (in_pos == in_len) {
      in_pos = 0;
      in_len = refill();
      if (in_len == 0) {
        s = {line_buf, line_len};
        return line_len > 0 && !failed;  // a last line without a line feed
      }
    }
    const char* start = in_chunk.data() + in_pos;
    const size_t avail = in_len - in_pos;
    const auto* end = static_cast<const char*>(std::memchr(start, '\n', avail));
    const size_t n = end != nullptr ? static_cast<size_t>(end - start) : avail;
    in_pos += end != nullptr ? n + 1 : n;
    if (end != nullptr && line_len == 0) {
      s = {start, n};
      return true;
    }
    if (!append_to_line(start, n)) {
      failed = true;
      return false;
    }
    if (end != nullptr) {
      s = {line_buf, line_len};
      return true;
    }
  }
}

// Prints k and a line feed.
void print_count(size_t k) {
  constexpr size_t longest = 21;  // 20 digits and the line feed
  if (out_buf.size() - out_len < longest) {
    flush_out();
  }
  char* at = out_buf.data() + out_len;
  at = std::to_chars(at, out_buf.data() + out_buf.size(), k).ptr;
  *at++ = '\n';
  out_len = static_cast<size_t>(at - out_buf.data());
}

}  // namespace

int powers(int input, int output) {
  in_fd = input;
  out_fd = output;
  in_pos = in_len = line_len = out_len = 0;
  in_ended = failed = false;
  if (line_buf == nullptr) {
    line_buf = static_cast<char*>(std::malloc(line_capacity));
    if (line_buf == nullptr) {
      return 1;  // no test reaches this: it needs a system without 2 MB to give
    }
    line_cap = line_capacity;
  }

  while (!failed && read_line() && s != ".") {
    const size_t p = period(s);
    print_count(p == 0 ? 0 : s.size() / p);
  }
  flush_out();
  return failed ? 1 : 0;
}

}  // namespace strpower
