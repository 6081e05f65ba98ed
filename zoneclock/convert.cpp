// The read-convert-print loop of zoneclock over a pair of descriptors.

#include "convert.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "clock.hpp"
#include "fdio.hpp"

namespace zoneclock {
namespace {

int32_t N;     // queries still to be read
int32_t h;     // hour field: parsed hour, later the hour printed
int32_t m;     // minute field: parsed minute, later the minute printed
int64_t time;  // the clock value in minutes being converted
int i;         // index of x where the last lookup stopped
int64_t off;   // offset in minutes of the last lookup that found a number

// Input window: in_buf[0, in_len) holds bytes read, in_pos is the next one
// to scan. A refill keeps the bytes from token_start on (the token being
// read, so that it can be seen whole), moving them to the front, and drops
// the rest: white space and tokens already used are never kept. The window
// grows only when a single token does not fit in it, and goes back to its
// start size at the first refill whose kept bytes fit that again, so that a
// long token's memory is not held while more input is awaited. A blank
// always follows the bytes read, so a token scan needs no bounds test.
constexpr size_t slack = 1;
constexpr size_t start_size = (size_t{1} << 16) + slack;
std::vector<char> in_buf(start_size);
size_t in_pos, in_len, token_start;

// The source zone's token when the table lacks it: its report waits until the
// query is complete. A long one is given back once reported.
std::string from_name;

// The line format_clock prints for each minute of the day, with the hour and
// minute it leaves in h and m, made once at start so that a query copies its
// line rather than formats it. Each entry is 15 bytes, so the whole table
// (21,600 bytes) fits a 32 KiB first-level cache.
struct Line {
  std::array<char, 12> text;  // the longest line, "12:59 p.m.\n", has 11 bytes
  uint8_t len, h, m;
};
std::array<Line, 1440> make_lines() {
  std::array<Line, 1440> built{};
  for (size_t t = 0; t < built.size(); ++t) {
    std::array<char, 16> text{};
    int32_t hour = 0;
    int32_t minute = 0;
    const int len = format_clock(static_cast<int64_t>(t), text.data(), hour, minute);
    std::copy_n(text.begin(), built[t].text.size(), built[t].text.begin());
    built[t].len = static_cast<uint8_t>(len);
    built[t].h = static_cast<uint8_t>(hour);
    built[t].m = static_cast<uint8_t>(minute);
  }
  return built;
}
const std::array<Line, 1440> lines = make_lines();

// The white space that separates tokens, as isspace() in the C locale sees
// it: the space and the five controls from tab to carriage return, which
// follow each other in ASCII.
bool blank(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// Appends a report line, head, token and tail, whole unless it is longer
// than the output buffer.
void report(std::string_view head, std::string_view token, std::string_view tail) {
  fdio::room(head.size() + token.size() + tail.size());
  fdio::put(head);
  fdio::put(token);
  fdio::put(tail);
}

// Reads what has arrived of the input with read_some, which writes out the
// answers held first, behind the bytes from token_start on, which move to the
// front of the window first (token_start becomes 0; in_pos moves with them),
// into a window of the start size when the window has grown and they fit it.
// False once the input has ended, a read has failed or a write has; the
// window is then left as it is, not grown for a token that is over. Throws
// std::bad_alloc when a token outgrows the memory, std::length_error when it
// outgrows what a vector can hold.
bool refill() {
  if (fdio::ended()) {
    return false;
  }
  const size_t kept = in_len - token_start;
  if (in_buf.size() > start_size && kept < start_size - slack) {
    std::vector<char> window(start_size);
    std::copy_n(in_buf.begin() + static_cast<std::ptrdiff_t>(token_start), kept, window.begin());
    in_buf.swap(window);
  } else {
    std::memmove(in_buf.data(), in_buf.data() + token_start, kept);
  }
  in_pos -= token_start;
  in_len = kept;
  token_start = 0;
  if (in_len == in_buf.size() - slack) {
    in_buf.resize(in_buf.size() * 2);
  }
  char* to = in_buf.data() + in_len;
  const size_t room = in_buf.size() - slack - in_len;
  const size_t got = fdio::read_some(to, room);
  in_len += got;
  std::fill_n(in_buf.begin() + static_cast<std::ptrdiff_t>(in_len), slack, ' ');
  return got > 0;
}

// Skips white space, keeping none of it; false when the input ends first.
bool skip_blanks() {
  do {
    const char* bytes = in_buf.data();
    size_t at = in_pos;
    while (at < in_len && blank(bytes[at])) {
      ++at;
    }
    in_pos = token_start = at;
    if (at < in_len) {
      return true;
    }
  } while (refill());
  return false;
}

// Reads the next token, a maximal run of bytes that are not white space, into
// token, which stays valid until the next read. False when the input ends
// before a token starts, or a read or write fails before the byte after the
// token arrives: a token a failure cut short is never used.
bool read_token(std::string_view& token) {
  if (!skip_blanks()) {
    return false;
  }
  do {
    const char* bytes = in_buf.data();
    size_t at = in_pos;
    while (!blank(bytes[at])) {
      ++at;
    }
    in_pos = at;  // at most in_len: a blank follows what was read
  } while (in_pos == in_len && refill());
  token = {in_buf.data() + token_start, in_pos - token_start};
  return !fdio::failed();
}

// Reads the count as "%d" would: white space, an optional sign, decimal
// digits, a number beyond the 32-bit range reading as the nearest end of it
// (as read_int does). Folds the digits in as they arrive, keeping none of
// them. False when no digit is there.
bool read_count(int32_t& count) {
  if (!skip_blanks()) {
    return false;
  }
  const bool negative = in_buf[in_pos] == '-';
  if (negative || in_buf[in_pos] == '+') {
    ++in_pos;
  }
  constexpr int64_t limit = int64_t{1} << 31;  // |INT32_MIN|, past which we clamp
  int64_t magnitude = -1;                      // no digit yet
  for (;;) {
    if (in_pos == in_len) {
      token_start = in_pos;
      if (!refill()) {
        break;
      }
    }
    const char c = in_buf[in_pos];
    if (c < '0' || c > '9') {
      break;
    }
    magnitude = std::min(std::max<int64_t>(magnitude, 0) * 10 + (c - '0'), limit);
    ++in_pos;
  }
  if (magnitude < 0) {
    return false;
  }
  magnitude = std::min(magnitude, negative ? limit : limit - 1);
  count = static_cast<int32_t>(negative ? -magnitude : magnitude);
  return true;
}

// Looks a zone token up: takes the offset after the entry found when that
// entry is a number. Returns false when the table does not have the token.
bool look_up(std::string_view zone) {
  i = zone_index(zone);
  if (auto minutes = entry_minutes(i + 1)) {
    off = *minutes;
  }
  return i != table_end;  // the scan reached the empty entry: tokens are never empty
}

// Reads and answers one query. False, with nothing printed, when the input
// ends before the query is complete. Its lines go out together once the byte
// after its last token has arrived, so the source zone's token is kept until
// then when it must be reported.
bool query() {
  std::string_view buf;  // the token just read
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
  if (!read_token(buf)) {
    return false;
  }
  const bool from_known = look_up(buf);
  if (!from_known) {
    from_name.assign(buf);
  }
  time -= off;
  if (!read_token(buf)) {
    return false;
  }
  if (!from_known) {
    report("oops:  <<<", from_name, ">>>\n");
    if (from_name.capacity() >= start_size) {
      std::string().swap(from_name);  // not from_name = {}, which keeps the memory
    }
  }
  if (!look_up(buf)) {
    report("oops:  ", buf, "\n");
  }
  time = wrap_day(time + off);
  // wrap_day's result, 0..1439, is a minute of the day and so an entry of the
  // table. The whole text is copied into room for it, and only len bytes of
  // it kept. Noon and midnight leave h and m as they were, as format_clock
  // does, so their entries' h and m are not taken.
  const Line& line = lines[static_cast<size_t>(time)];
  char* at = fdio::room(line.text.size());
  std::copy_n(line.text.begin(), line.text.size(), at);
  fdio::keep(at + line.len);
  if (time != 0 && time != 720) {
    h = line.h;
    m = line.m;
  }
  return true;
}

}  // namespace

int convert(int input, int output) {
  fdio::start(input, output);
  N = h = m = 0;
  time = off = 0;
  i = 0;
  in_pos = in_len = token_start = 0;

  try {
    if (!read_count(N) || N < 0) {
      N = 0;
    }
    while (!fdio::failed() && N-- > 0) {  // a failed read or write ends the run
      if (!query()) {
        return fdio::finish(1);
      }
    }
  } catch (const std::bad_alloc&) {  // a token outgrew the memory: a query cut short
    return fdio::finish(1);
  } catch (const std::length_error&) {  // or what a vector or string holds, on 32 bits
    return fdio::finish(1);
  }
  return fdio::finish(0);
}

}  // namespace zoneclock
