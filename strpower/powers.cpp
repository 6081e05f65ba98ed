// The read-solve-print loop of strpower over a pair of descriptors.

#include "powers.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "fdio.hpp"
#include "period.hpp"

namespace strpower {
namespace {

// Room for a line of 2,000,001 characters, taken at start; the buffer grows
// only when a longer line is read, and shrinks back before input is read
// again once that line is answered.
constexpr size_t line_capacity = 2000001;

std::array<char, 1 << 16> in_chunk;  // input, read a chunk at a time
size_t in_pos, in_len;
bool too_long;  // a line did not fit in memory: status 1

char* line_buf;  // a line that spans input chunks, assembled here
size_t line_cap, line_len;
std::string_view s;  // the current line, in in_chunk or in line_buf

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

// Shrinks the buffer back to its start capacity when it has grown and the
// line in it so far fits that, so that a long line's memory is not held while
// more input is awaited once the line has been answered. A shrink that fails
// leaves the buffer as it is.
void shrink_line_buffer() {
  if (line_cap > line_capacity && line_len <= line_capacity) {
    if (auto* shrunk = static_cast<char*>(std::realloc(line_buf, line_capacity))) {
      line_buf = shrunk;
      line_cap = line_capacity;
    }
  }
}

// Reads the next line into s, without its line feed. A line that lies inside
// one input chunk is viewed where it is; one that spans chunks is assembled in
// line_buf. Reads more input only while the line's line feed has not arrived.
// False at end of input, when a read or write failed, or when the line did
// not fit in memory (too_long is then set). A last line without a line feed
// counts only when the input ended: one cut by a failed read does not.
bool read_line() {
  line_len = 0;
  while (true) {
    if (in_pos == in_len) {
      shrink_line_buffer();  // before the read, which may wait
      in_pos = 0;
      in_len = fdio::read_some(in_chunk.data(), in_chunk.size());
      if (in_len == 0) {
        s = {line_buf, line_len};
        return line_len > 0 && !fdio::failed();
      }
    }
    const char* start = in_chunk.data() + in_pos;
    const size_t avail = in_len - in_pos;
    const auto* end = static_cast<const char*>(std::memchr(start, '\n', avail));
    const size_t n = end != nullptr ? static_cast<size_t>(end - start) : avail;
    in_pos += end != nullptr ? n + 1 : n;
    if (end != nullptr && line_len == 0) {
      // Only this function reads into in_chunk, so the view holds until the
      // next call, by which time its caller is done with the line.
      s = {start, n};
      return true;
    }
    if (!append_to_line(start, n)) {
      too_long = true;
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
  char* at = fdio::room(longest);
  at = std::to_chars(at, at + longest, k).ptr;
  *at++ = '\n';
  fdio::keep(at);
}

}  // namespace

int powers(int input, int output) {
  fdio::start(input, output);
  in_pos = in_len = line_len = 0;
  too_long = false;
  if (line_buf == nullptr) {
    line_buf = static_cast<char*>(std::malloc(line_capacity));
    if (line_buf == nullptr) {
      return 1;  // no test reaches this: it needs a system without 2 MB to give
    }
    line_cap = line_capacity;
  }

  while (!fdio::failed() && read_line() && s != ".") {
    const size_t p = period(s);
    print_count(p == 0 ? 0 : s.size() / p);
  }
  return fdio::finish(too_long ? 1 : 0);
}

}  // namespace strpower
