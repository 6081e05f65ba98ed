#include "number.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#if MERGECOUNT_AVX2
#include <immintrin.h>
#endif

#include "fdio.hpp"

namespace mergecount {
namespace {

constexpr std::size_t chunk_size = std::size_t{1} << 16;
// Zero bytes kept after the data, so that every scan stops at the end of the
// data and the loads stay inside chunk: 16 bytes from a little past any
// unread position, and on the vector path 32 bytes from any position up to
// the end of the data and then 16 from up to 31 bytes further.
constexpr std::size_t slack = 64;

std::array<char, chunk_size + slack> chunk{};  // unread input is chunk[pos..len)
std::size_t pos = 0;
std::size_t len = 0;

constexpr uint64_t limit = uint64_t{1} << 31;  // magnitude past which a number clamps

// The white space that "%i" skips, as isspace() in the C locale sees it.
bool blank(unsigned char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// Makes sure an unread byte is at pos, reading what has arrived when none
// is; false at the end of the input or once a read or write has failed.
bool fill() {
  if (pos < len) {
    return true;
  }
  pos = 0;
  len = fdio::read_some(chunk.data(), chunk_size);
  std::fill_n(chunk.begin() + static_cast<std::ptrdiff_t>(len), slack, '\0');
  return len > 0;
}

// The unread byte at pos, or -1 at end of input.
int peek() {
  return fill() ? static_cast<unsigned char>(chunk[pos]) : -1;
}

// The value of a byte as a digit in bases up to 16, or 16 when it is none.
constexpr std::array<unsigned char, 256> digit_values = [] {
  std::array<unsigned char, 256> values{};
  values.fill(16);
  for (unsigned d = 0; d < 10; ++d) {
    values['0' + d] = static_cast<unsigned char>(d);
  }
  for (unsigned d = 0; d < 6; ++d) {
    values['a' + d] = static_cast<unsigned char>(10 + d);
    values['A' + d] = static_cast<unsigned char>(10 + d);
  }
  return values;
}();

// The signed value of a sign and a magnitude, clamped to the 32-bit range.
// Branch-free: the signs of random values would defeat prediction.
int32_t clamped(bool negative, uint64_t magnitude) {
  const uint64_t largest = limit - 1 + static_cast<uint64_t>(negative);
  const auto m = static_cast<int64_t>(std::min(magnitude, largest));
  const int64_t flip = -static_cast<int64_t>(negative);  // all ones when negative
  // 0 <= m <= 2^31 and flip is 0 or -1, so (m ^ flip) - flip is m or, in
  // two's complement, -m: either way inside the 32-bit range.
  return static_cast<int32_t>((m ^ flip) - flip);
}

// Takes the digits of the given base from pos on, following them across
// chunk ends, into magnitude, which stays at limit once past it. The base is
// a constant and the chunk is walked with a local pointer, so each digit
// costs a shift or two and an add.
template <unsigned base>
uint64_t take_digits(uint64_t magnitude) {
  do {
    const char* p = chunk.data() + pos;
    const char* const end = chunk.data() + len;
    for (; p < end; ++p) {
      const unsigned d = digit_values[static_cast<unsigned char>(*p)];
      if (d >= base) {
        pos = static_cast<std::size_t>(p - chunk.data());
        return magnitude;
      }
      magnitude = magnitude * base + d;
      if (magnitude > limit) [[unlikely]] {
        magnitude = limit;
      }
    }
    pos = len;
  } while (fill());
  return magnitude;
}

// Reads a number byte by byte, following it across chunk ends. Handles every
// input; read_numbers only goes around it for plain numbers.
bool read_any(int32_t& value) {
  int c = peek();
  while (c >= 0 && blank(static_cast<unsigned char>(c))) {
    ++pos;
    c = peek();
  }
  const bool negative = c == '-';
  if (c == '+' || c == '-') {
    ++pos;
    c = peek();
  }
  if (c < '0' || c > '9') {
    return false;
  }
  uint64_t magnitude = 0;
  if (c != '0') {
    magnitude = take_digits<10>(0);
  } else {
    ++pos;  // the 0 itself: an octal digit, or the start of 0x
    c = peek();
    if (c == 'x' || c == 'X') {
      ++pos;  // taken even when no hexadecimal digit follows
      magnitude = take_digits<16>(0);
    } else {
      magnitude = take_digits<8>(0);
    }
  }
  value = clamped(negative, magnitude);
  return true;
}

// The 8 bytes at p as one word, the first in the lowest byte, on a machine of
// either byte order: a plain load where that is the native order, and on a
// big-endian machine the same load with its bytes reversed (which g++ makes a
// single byte-reversing load).
uint64_t load8(const char* p) {
  uint64_t x = 0;
  std::memcpy(&x, p, sizeof x);
  if constexpr (std::endian::native == std::endian::big) {
    x = (x << 32) | (x >> 32);
    x = ((x & 0x0000ffff0000ffff) << 16) | ((x >> 16) & 0x0000ffff0000ffff);
    x = ((x & 0x00ff00ff00ff00ff) << 8) | ((x >> 8) & 0x00ff00ff00ff00ff);
  }
  return x;
}

constexpr uint64_t ones = 0x0101010101010101;  // 1 in every byte

// Marks with its high bit each of the 8 bytes of x that lies outside
// low..high (both below 0x80).
uint64_t outside(uint64_t x, unsigned low, unsigned high) {
  const uint64_t low7 = x & (0x7f * ones);
  const uint64_t above = low7 + (0x7f - high) * ones;             // high bit: byte > high
  const uint64_t from_low = (low7 | (0x80 * ones)) - low * ones;  // high bit: byte >= low
  return (above | ~from_low | x) & (0x80 * ones);
}

// Marks with its high bit each of the 8 bytes of x that is not a digit of
// the base (8, 10 or 16).
template <unsigned base>
uint64_t non_digits(uint64_t x) {
  if constexpr (base == 16) {
    return outside(x, '0', '9') & outside(x | 0x20 * ones, 'a', 'f');
  } else {
    return outside(x, '0', '0' + base - 1);
  }
}

// The value of 8 digits of the base held in x in reading order; zero bytes
// before the digits count as leading zeros. Each step joins neighbouring
// groups of digits: pairs, then fours, then all eight.
template <unsigned base>
uint64_t eight_digits(uint64_t x) {
  const uint64_t letters = (x >> 6) & ones;  // bit 6 is set in letters only
  x &= 0x0f * ones;
  if constexpr (base == 16) {
    x += letters * 9;  // 'a' & 0x0f is 1, and 1 + 9 is 10
  }
  constexpr uint64_t b2 = uint64_t{base} * base;
  x = (x * (base * 0x100 + 1)) >> 8;
  x = ((x & 0x00ff00ff00ff00ff) * (b2 * 0x10000 + 1)) >> 16;
  return ((x & 0x0000ffff0000ffff) * ((b2 * b2 << 32) + 1)) >> 32;
}

// The powers 0 to 8 of the base.
template <unsigned base>
constexpr std::array<uint64_t, 9> make_powers() {
  std::array<uint64_t, 9> p{1};
  for (std::size_t k = 1; k < p.size(); ++k) {
    p[k] = p[k - 1] * base;
  }
  return p;
}
template <unsigned base>
constexpr std::array<uint64_t, 9> powers = make_powers<base>();

// Reads a number at p whose first `skip` bytes (sign, 0x) are known and whose
// digits of the base follow, when there are 1 to `most` digits and the byte
// after them is inside the data, converting them 8 at a time. Returns where
// the number stops, or nullptr, with value untouched, when it is not of that
// kind.
//
// The next number's start depends only on where the digits stop; the
// conversion is off that path, and no branch depends on the digits, so
// consecutive numbers overlap in the processor: in every base this reads
// plain numbers faster than the byte-by-byte reader.
template <unsigned base, int most>
const char* read_plain_digits(const char* p, std::size_t skip, bool negative, int32_t& value) {
  // p is at most len, and slack zero bytes follow the data, so the 16 bytes
  // loaded lie inside chunk. skip is at most 3: the shift stays under 64.
  const uint64_t skipped = (uint64_t{1} << (8 * skip)) - 1;  // the bytes before the digits
  const uint64_t head = load8(p) & ~skipped;                 // which read as leading zeros
  const uint64_t tail = load8(p + 8);
  const uint64_t head_stops = non_digits<base>(head) & ~skipped;
  const uint64_t tail_stops = non_digits<base>(tail);
  // Unsigned, as the positions it moves: a signed one puts a sign extension
  // on the path from one number to the next, which slows a whole run.
  const std::size_t length = head_stops != 0
                                 ? static_cast<std::size_t>(std::countr_zero(head_stops)) / 8
                                 : 8 + static_cast<std::size_t>(std::countr_zero(tail_stops)) / 8;
  const char* stop = p + length;
  if ((head_stops | tail_stops) == 0 || length <= skip || length - skip > most ||
      stop >= chunk.data() + len) {
    return nullptr;
  }
  // length is now 1 to 15, so neither shift below reaches 64.
  uint64_t magnitude = 0;
  if (length <= 8) {
    magnitude = eight_digits<base>(head << (8 * (8 - length)));
  } else {
    magnitude = eight_digits<base>(head) * powers<base>[length - 8] +
                eight_digits<base>(tail << (8 * (16 - length)));
  }
  value = clamped(negative, magnitude);
  return stop;
}

// Reads a number at p when it is a plain one: an optional sign, then
// decimal digits, "0x" or "0X" and hexadecimal ones, or a 0 and octal ones,
// ending inside the data within 16 bytes (12 hexadecimal digits, so that
// nothing overflows before clamping). Returns where it stopped, or nullptr
// when it is not of that kind; read_any then reads it.
inline const char* read_plain(const char* p, int32_t& value) {
  const bool negative = *p == '-';
  const std::size_t sign = negative || *p == '+' ? 1 : 0;
  if (p[sign] != '0') {
    return read_plain_digits<10, 16>(p, sign, negative, value);
  }
  if ((p[sign + 1] | 0x20) == 'x') {
    return read_plain_digits<16, 12>(p, sign + 2, negative, value);
  }
  return read_plain_digits<8, 16>(p, sign, negative, value);
}

}  // namespace

void start_reading() {
  pos = 0;
  len = 0;
  std::fill_n(chunk.begin(), slack, '\0');
}

bool read_number(int32_t& value) {
  return read_numbers(&value, 1) == 1;
}

std::size_t read_numbers_scalar(int32_t* out, std::size_t count) {
  const char* p = chunk.data() + pos;
  for (std::size_t k = 0; k < count; ++k) {
    while (blank(static_cast<unsigned char>(*p))) {
      ++p;
    }
    const char* stop = read_plain(p, out[k]);
    if (stop != nullptr) {
      p = stop;
      continue;
    }
    pos = static_cast<std::size_t>(p - chunk.data());
    if (!read_any(out[k])) {
      return k;
    }
    p = chunk.data() + pos;
  }
  pos = static_cast<std::size_t>(p - chunk.data());
  return count;
}

#if MERGECOUNT_AVX2
namespace {

// Marks a function compiled for the processors the vector path needs.
#define MERGECOUNT_READER_VECTOR [[gnu::target("avx2,bmi")]]

// The bytes of 32 that are digits, blanks, '-' and '+', one bit each, the
// first byte in the lowest bit.
struct Classes {
  uint32_t digits;
  uint32_t blanks;
  uint32_t minus;
  uint32_t signs;
};

// The high bits of the 32 bytes of m.
MERGECOUNT_READER_VECTOR uint32_t bits(__m256i m) {
  return static_cast<uint32_t>(_mm256_movemask_epi8(m));
}

// The Classes of the 32 bytes at p.
MERGECOUNT_READER_VECTOR Classes classify(const char* p) {
  const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  // c - '0' <= 9 and c - '\t' <= 4, unsigned: min(v, k) == v.
  const __m256i d = _mm256_sub_epi8(x, _mm256_set1_epi8('0'));
  const __m256i b = _mm256_sub_epi8(x, _mm256_set1_epi8('\t'));
  const __m256i digit = _mm256_cmpeq_epi8(_mm256_min_epu8(d, _mm256_set1_epi8(9)), d);
  const __m256i control = _mm256_cmpeq_epi8(_mm256_min_epu8(b, _mm256_set1_epi8(4)), b);
  const __m256i space = _mm256_cmpeq_epi8(x, _mm256_set1_epi8(' '));
  const uint32_t minus = bits(_mm256_cmpeq_epi8(x, _mm256_set1_epi8('-')));
  const uint32_t plus = bits(_mm256_cmpeq_epi8(x, _mm256_set1_epi8('+')));
  return {bits(digit), bits(_mm256_or_si256(control, space)), minus, minus | plus};
}

// The value of the run decimal digits, 1 to 16, at p (16 bytes are loaded).
MERGECOUNT_READER_VECTOR uint64_t vector_digits_value(const char* p, int run) {
  // Byte k of the window at 16 - run is k - (16 - run) from k = 16 - run on,
  // and -128 (a zero byte from the shuffle) before: the digits moved to the
  // end of the register, zeros in front of them.
  alignas(32) static constexpr std::array<int8_t, 32> slide = {
      -128, -128, -128, -128, -128, -128, -128, -128, -128, -128, -128,
      -128, -128, -128, -128, -128, 0,    1,    2,    3,    4,    5,
      6,    7,    8,    9,    10,   11,   12,   13,   14,   15};
  __m128i v =
      _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), _mm_set1_epi8('0'));
  v = _mm_shuffle_epi8(
      v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(&slide[static_cast<std::size_t>(run)])));
  // Pairs (at most 99), fours (9,999) and eights (99,999,999) of digits.
  v = _mm_maddubs_epi16(v, _mm_set1_epi16(0x010a));   // 10 and 1
  v = _mm_madd_epi16(v, _mm_set1_epi32(0x00010064));  // 100 and 1
  v = _mm_packus_epi32(v, v);
  v = _mm_madd_epi16(v, _mm_set1_epi32(0x00012710));  // 10,000 and 1
  const auto high = static_cast<uint32_t>(_mm_cvtsi128_si32(v));
  const auto low = static_cast<uint32_t>(_mm_extract_epi32(v, 1));
  return uint64_t{high} * 100'000'000 + low;
}

}  // namespace

// Each step classifies the 32 bytes at `at`, which is never inside a number:
// at the start of one (its sign or first digit), or after its last byte. A
// run of digits there is a plain decimal number when its first digit is not
// 0 and it ends before `stop`, the first byte that is none of digit, blank or
// sign, or a sign no digit follows. Everything else goes to
// read_numbers_scalar one number at a time: the byte at stop (the zero at len
// among them), a run reaching it (it may go on as hexadecimal, or in the next
// chunk), a run longer than 16 digits, and a run starting with 0 (octal, 0x,
// or "09", which is two numbers). A sign right before a run is the number's,
// and is taken with it.
constexpr std::size_t scalar_stretch = 16;  // numbers read by the scalar reader at a time

MERGECOUNT_READER_VECTOR std::size_t read_numbers_avx2(int32_t* out, std::size_t count) {
  std::size_t done = 0;
  std::size_t at = pos;
  while (done < count) {
    // at <= len, and slack zero bytes follow the data.
    const Classes c = classify(&chunk[at]);
    const uint32_t lone_signs = c.signs & ~(c.digits >> 1) & 0x7fffffffU;  // last: unknown yet
    const uint32_t good = (c.digits | c.blanks | c.signs) & ~lone_signs;
    const int stop = std::countr_zero(~good);
    const uint32_t before_stop = stop == 32 ? ~0U : (1U << stop) - 1;
    uint32_t starts = c.digits & ~(c.digits << 1) & before_stop;
    uint32_t ends = ~c.digits & (c.digits << 1) & before_stop;  // the byte after a run
    int end = 0;
    // Starts and ends pair up in order: the run at bit 0, if any, starts there.
    while (ends != 0 && done < count) {
      const int s = std::countr_zero(starts);
      end = std::countr_zero(ends);
      const char* const digits = &chunk[at + static_cast<std::size_t>(s)];
      if (end - s > 16 || *digits == '0') {
        break;
      }
      starts &= starts - 1;
      ends &= ends - 1;
      const bool negative = s > 0 && ((c.minus >> (s - 1)) & 1) != 0;
      out[done++] = clamped(negative, vector_digits_value(digits, end - s));
    }
    if (done == count) {
      at += static_cast<std::size_t>(end);
      break;
    }
    // On to the first thing not read: a run not taken (and its sign), the
    // byte at stop, or a sign in the last byte.
    std::size_t next = at + 32;
    if (starts != 0) {
      const int s = std::countr_zero(starts);
      next = at + static_cast<std::size_t>(s) - (s > 0 ? (c.signs >> (s - 1)) & 1 : 0);
    } else if (stop < 32) {
      next = at + static_cast<std::size_t>(stop);
    } else if ((c.signs >> 31) != 0) {
      next = at + 31;
    }
    // The scalar reader takes what the vectors cannot: a run at the start,
    // or stop. It goes on for a stretch of numbers, as such a number is seldom
    // alone (in hexadecimal or octal input every number is one), and finding
    // it again each time costs more than the vectors save.
    if (next == at || (starts == 0 && stop < 32)) {
      pos = next;
      const std::size_t want = std::min(count - done, scalar_stretch);
      const std::size_t got = read_numbers_scalar(&out[done], want);
      done += got;
      if (got < want) {
        return done;
      }
      next = pos;
    }
    at = next;
  }
  pos = at;
  return done;
}

bool reader_has_avx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi");
}
#else
std::size_t read_numbers_avx2(int32_t* out, std::size_t count) {
  return read_numbers_scalar(out, count);
}

bool reader_has_avx2() {
  return false;
}
#endif

namespace {

// The path read_numbers takes, chosen once when the program starts (a branch
// rather than a pointer, so that the scalar reader is still inlined). A
// build for measuring can force one with MERGECOUNT_FORCE_SCALAR or
// MERGECOUNT_FORCE_AVX2 (the CMake cache variable MERGECOUNT_PATH).
#if defined(MERGECOUNT_FORCE_SCALAR)
const bool vector_reader = false;
#elif defined(MERGECOUNT_FORCE_AVX2)
const bool vector_reader = true;
#else
const bool vector_reader = reader_has_avx2();
#endif

}  // namespace

std::size_t read_numbers(int32_t* out, std::size_t count) {
  return vector_reader ? read_numbers_avx2(out, count) : read_numbers_scalar(out, count);
}

}  // namespace mergecount
