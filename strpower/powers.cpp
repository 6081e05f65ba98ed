// The read-solve-print loop of strpower over a pair of streams.

#include "powers.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
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
bool in_failed;  // a read error, or a line too long for the memory there is
std::FILE* in;   // the stream lines are read from

char* line_buf;  // a line that spans input chunks, assembled here
size_t line_cap, line_len;
std::string_view s;  // the current line, in in_chunk or in line_buf

std::array<char, 1 << 16> out_buf;  // output waiting to be written
size_t out_len;
bool out_failed;
std::FILE* out;  // the stream results are written to

// Appends n bytes to the line in line_buf. realloc, unlike a copy into a new
// buffer, can move a large block by remapping its pages, so a line longer than
// the start capacity costs about its own length in memory. False, with the
// line unchanged, when no memory is left.
bool append_to_line(const char* bytes, size_t n) {
  if (n > line_cap - line_len) {
    size_t cap = std::max(line_cap * 2, line_len + n);
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
// line_buf. False at end of input, or when the input cannot be read (in_failed
// is then set).
bool read_line() {
  line_len = 0;
  while (true) {
    if (in_pos == in_len) {
      in_pos = 0;
      in_len = std::fread(in_chunk.data(), 1, in_chunk.size(), in);
      if (in_len == 0) {
        in_failed = std::ferror(in) != 0;
        s = {line_buf, line_len};
        return line_len > 0 && !in_failed;  // a last line without a line feed
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
      in_failed = true;
      return false;
    }
    if (end != nullptr) {
      s = {line_buf, line_len};
      return true;
    }
  }
}

void flush_out() {
  if (!out_failed && out_len > 0 && std::fwrite(out_buf.data(), 1, out_len, out) != out_len) {
    out_failed = true;
  }
  out_len = 0;
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

// Writes what is left. Returns the exit status: status, or 1 when any output
// could not be written.
int finish(int status) {
  flush_out();
  if (std::fflush(out) != 0 || out_failed) {
    return 1;
  }
  return status;
}

}  // namespace

int powers(std::FILE* input, std::FILE* output) {
  in = input;
  out = output;
  in_pos = in_len = line_len = out_len = 0;
  in_failed = out_failed = false;
  if (line_buf == nullptr) {
    line_buf = static_cast<char*>(std::malloc(line_capacity));
    if (line_buf == nullptr) {
      return finish(1);  // no test reaches this: it needs a system without 2 MB to give
    }
    line_cap = line_capacity;
  }

  while (read_line() && s != ".") {
    const size_t p = period(s);
    print_count(p == 0 ? 0 : s.size() / p);
  }
  return finish(in_failed ? 1 : 0);
}

}  // namespace strpower
