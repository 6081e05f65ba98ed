#include "reader.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "fdio.hpp"

namespace quickcount {
namespace {

constexpr size_t chunk_size = 1 << 16;
// The chunk being read, followed by a NUL byte: NUL is neither white space nor
// a digit, so the scans below stop at the end of the chunk without a bound
// check, and only then ask whether more input is needed. Eight bytes of room
// after it let a scan load eight bytes from any position up to the NUL.
std::array<char, chunk_size + 8> chunk;
size_t pos;  // next unread byte of chunk
size_t len;  // bytes of input held in chunk

// Replaces the chunk by the next bytes of input; false when the input has
// ended, or a read or write has failed.
bool refill() {
  pos = 0;
  len = fdio::read_some(chunk.data(), chunk_size);
  chunk[len] = '\0';
  return len > 0;
}

// White space as isspace() sees it in the C locale.
bool blank(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// Digits are read eight bytes at a time, as one 64-bit word.
constexpr uint64_t each_byte(uint8_t b) {
  return b * uint64_t{0x0101010101010101};
}
constexpr std::array<uint64_t, 9> power_of_ten = {
    1, 10, 100, 1'000, 10'000, 100'000, 1'000'000, 10'000'000, 100'000'000};

// The eight bytes at s as one word, the first in the lowest byte, on a machine
// of either byte order: a plain load where that is the native order, and on a
// big-endian machine the same load with its bytes reversed (which g++ makes a
// single byte-reversing load).
uint64_t load8(const char* s) {
  uint64_t word = 0;
  std::memcpy(&word, s, sizeof word);
  if constexpr (std::endian::native == std::endian::big) {
    word = (word << 32) | (word >> 32);
    word = ((word & 0x0000FFFF0000FFFF) << 16) | ((word >> 16) & 0x0000FFFF0000FFFF);
    word = ((word & 0x00FF00FF00FF00FF) << 8) | ((word >> 8) & 0x00FF00FF00FF00FF);
  }
  return word;
}

// The number of decimal digits, 0 to 8, that start the eight bytes at s.
int digit_run(const char* s) {
  const uint64_t word = load8(s);
  // A byte is a digit when its high half is 3 and adding 6 keeps it so. Sums
  // carry only out of bytes that are not digits, into bytes after them, so
  // the first byte flagged is the first byte that is not a digit.
  const uint64_t high = (word & each_byte(0xF0)) ^ each_byte(0x30);
  const uint64_t low = ((word + each_byte(0x06)) & each_byte(0xF0)) ^ each_byte(0x30);
  return std::countr_zero(high | low) / 8;
}

// The value of the run decimal digits, 1 to 8, at s.
uint64_t digits_value(const char* s, int run) {
  uint64_t word = load8(s);
  // Digit values, the first in the lowest byte: a digit borrows nothing, so
  // only bytes after the run are spoilt by the subtraction. Shifting them out
  // (run is 1 to 8: the shift is under 64) leaves zeros in front. Pairs,
  // quads and octets are then combined, each sum (at most 99, 9,999 and
  // 99,999,999) fitting its field, so none carries into the next.
  word = (word - each_byte(0x30)) << (64 - 8 * run);
  word = (word * 10 + (word >> 8)) & 0x00FF00FF00FF00FF;
  word = (word * 100 + (word >> 16)) & 0x0000FFFF0000FFFF;
  return (word * 10000 + (word >> 32)) & 0xFFFFFFFF;
}

}  // namespace

// Works on a copy of pos, written back around refills and at the end.
bool read_int(int32_t& value) {
  size_t at = pos;
  for (;;) {
    while (blank(chunk[at])) {
      ++at;
    }
    if (at < len) {
      break;
    }
    if (!refill()) {
      return false;
    }
    at = 0;
  }
  const bool negative = chunk[at] == '-';
  if (negative || chunk[at] == '+') {
    ++at;
  }
  // The magnitude stops growing at 2^31, past which every number clamps.
  constexpr uint64_t limit = uint64_t{1} << 31;
  uint64_t magnitude = 0;
  bool digits = false;
  for (;;) {
    // at <= len, and the chunk has eight bytes of room after the NUL at len,
    // so the eight bytes loaded lie inside it; the NUL ends any run, so the
    // stale bytes after it never count. magnitude <= 2^31 and a run's value
    // < 10^8, so the sum below stays under 2^58.
    const int run = digit_run(&chunk[at]);
    if (run > 0) {
      magnitude = std::min(magnitude * power_of_ten[run] + digits_value(&chunk[at], run), limit);
      at += static_cast<size_t>(run);
      digits = true;
    }
    if (run < 8) {
      if (at < len) {
        break;
      }
      pos = at;
      const bool more = refill();
      at = 0;
      if (!more) {
        break;
      }
    }
  }
  pos = at;
  if (digits) {
    value = negative ? static_cast<int32_t>(-static_cast<int64_t>(magnitude))
                     : static_cast<int32_t>(std::min(magnitude, limit - 1));
  }
  return digits;
}

void start_reading() {
  pos = 0;
  len = 0;
  chunk[0] = '\0';
}

int64_t read_ints(int32_t* values, int64_t n) {
  int64_t done = 0;
  while (done < n && read_int(values[done])) {
    ++done;
  }
  return done;
}

}  // namespace quickcount
