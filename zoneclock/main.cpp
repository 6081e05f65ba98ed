// zoneclock: converts 12-hour clock times from one time zone to another.
//
// Input: a count of queries, then per query a time token ("noon", "midnight",
// or "<hour>:<minute>" followed by a meridiem token), the zone the time is
// given in and the zone it is wanted in. Output: one converted time per line.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "clock.hpp"

namespace zoneclock {
namespace {

int32_t N;        // queries still to be read
int32_t h;        // hour field: parsed hour, later the hour printed
int32_t m;        // minute field: parsed minute, later the minute printed
int64_t time;     // the clock value in minutes being converted
int i;            // index of x where the last lookup stopped
int64_t off;      // offset in minutes of the last lookup that found a number
std::string buf;  // the token just read, of any length
std::string from_zone, to_zone;

std::array<char, 1 << 16> in_chunk;  // input, read a chunk at a time
size_t in_pos, in_len;
std::array<char, 1 << 16> out_buf;  // output waiting to be written
size_t out_len;
bool out_failed;

// The white space that separates tokens, as isspace() in the C locale sees it.
bool blank(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// Makes sure an unread input byte is at in_pos; false at end of input.
bool fill() {
  if (in_pos < in_len) {
    return true;
  }
  in_pos = 0;
  in_len = std::fread(in_chunk.data(), 1, in_chunk.size(), stdin);
  return in_len > 0;
}

// Skips white space; false when the input ends first.
bool skip_blanks() {
  while (fill()) {
    while (in_pos < in_len && blank(in_chunk[in_pos])) {
      ++in_pos;
    }
    if (in_pos < in_len) {
      return true;
    }
  }
  return false;
}

// Reads the next token, a maximal run of bytes that are not white space, into
// word; false when the input ends before a token starts.
bool read_token(std::string& word) {
  word.clear();
  if (!skip_blanks()) {
    return false;
  }
  do {
    size_t start = in_pos;
    while (in_pos < in_len && !blank(in_chunk[in_pos])) {
      ++in_pos;
    }
    word.append(&in_chunk[start], in_pos - start);
  } while (in_pos == in_len && fill());
  return true;
}

// Reads the count as "%d" would: white space, an optional sign, decimal digits,
// clamped to the 32-bit range. False when no number is there.
bool read_count(int32_t& count) {
  if (!skip_blanks()) {
    return false;
  }
  bool negative = false;
  if (in_chunk[in_pos] == '+' || in_chunk[in_pos] == '-') {
    negative = in_chunk[in_pos++] == '-';
  }
  constexpr int64_t limit = int64_t{1} << 31;
  int64_t magnitude = 0;
  bool digits = false;
  while (fill() && in_chunk[in_pos] >= '0' && in_chunk[in_pos] <= '9') {
    magnitude = std::min(magnitude * 10 + (in_chunk[in_pos++] - '0'), limit);
    digits = true;
  }
  if (digits) {
    count = static_cast<int32_t>(negative ? -magnitude : std::min(magnitude, limit - 1));
  }
  return digits;
}

void flush_out() {
  if (!out_failed && out_len > 0 && std::fwrite(out_buf.data(), 1, out_len, stdout) != out_len) {
    out_failed = true;
  }
  out_len = 0;
}

void emit(std::string_view text) {
  while (!text.empty()) {
    if (out_len == out_buf.size()) {
      flush_out();
    }
    size_t n = std::min(text.size(), out_buf.size() - out_len);
    std::copy_n(text.begin(), n, out_buf.begin() + static_cast<std::ptrdiff_t>(out_len));
    out_len += n;
    text.remove_prefix(n);
  }
}

// Looks a zone token up: reports it when the table does not have it, and takes
// the offset after the entry found when that entry is a number.
void look_up(const std::string& zone, std::string_view before, std::string_view after) {
  i = zone_index(zone);
  if (x[static_cast<size_t>(i)] != zone) {
    emit(before);
    emit(zone);
    emit(after);
  }
  if (auto minutes = entry_minutes(i + 1)) {
    off = *minutes;
  }
}

// Reads and answers one query. False, with nothing printed, when the input
// ends before the query is complete.
bool query() {
  if (!read_token(buf)) {
    return false;
  }
  if (buf == "noon") {
    time = 720;
  } else if (buf == "midnight") {
    time = 0;
  } else {
    split_time(buf, h, m);
    if (h == 12) {
      h = 0;
    }
    time = int64_t{h} * 60 + m;
    if (!read_token(buf)) {
      return false;
    }
    if (buf == "p.m.") {
      time += 720;
    }
  }
  if (!read_token(from_zone) || !read_token(to_zone)) {
    return false;
  }
  look_up(from_zone, "oops:  <<<", ">>>\n");
  time -= off;
  look_up(to_zone, "oops:  ", "\n");
  time = wrap_day(time + off);
  std::array<char, 16> line{};
  emit({line.data(), static_cast<size_t>(format_clock(time, line.data(), h, m))});
  return true;
}

// Writes what is left and closes standard output. Returns the exit status:
// status, or 1 when any output could not be written.
int finish(int status) {
  flush_out();
  if (std::fclose(stdout) != 0 || out_failed) {
    return 1;
  }
  return status;
}

}  // namespace
}  // namespace zoneclock

int main() {
  using namespace zoneclock;
  if (!read_count(N) || N < 0) {
    N = 0;
  }
  while (N-- > 0) {
    if (!query()) {
      return finish(1);
    }
  }
  return finish(0);
}
