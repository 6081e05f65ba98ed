#include "reader.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#if QUICKCOUNT_AVX2
#include <immintrin.h>
#endif

#include "fdio.hpp"

namespace quickcount {
namespace {

constexpr size_t chunk_size = 1 << 16;
// The chunk being read, followed by a NUL byte: NUL is neither white space nor
// a digit, so the scans below stop at the end of the chunk without a bound
// check, and only then ask whether more input is needed. The room after it
// lets a scan load eight bytes, and the vector path 32 and then 16 from up to
// 31 bytes further, from any position up to the NUL.
std::array<char, chunk_size + 64> chunk;
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

int64_t read_ints_scalar(int32_t* values, int64_t n) {
  int64_t done = 0;
  while (done < n && read_int(values[done])) {
    ++done;
  }
  return done;
}

#if QUICKCOUNT_AVX2
namespace {

// Marks a function compiled for the processors the vector path needs.
#define QUICKCOUNT_VECTOR [[gnu::target("avx2,bmi")]]

// The bytes of 32 that are digits, blanks, '-' and '+', one bit each, the
// first byte in the lowest bit.
struct Classes {
  uint32_t digits;
  uint32_t blanks;
  uint32_t minus;
  uint32_t signs;
};

// The high bits of the 32 bytes of m.
QUICKCOUNT_VECTOR uint32_t bits(__m256i m) {
  return static_cast<uint32_t>(_mm256_movemask_epi8(m));
}

// classify: the Classes of the 32 bytes at s.
QUICKCOUNT_VECTOR Classes classify(const char* s) {
  const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s));
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

// The value of the run decimal digits, 1 to 16, at s (16 bytes are loaded).
QUICKCOUNT_VECTOR uint64_t vector_digits_value(const char* s, int run) {
  // Byte k of the window at 16 - run is k - (16 - run) from k = 16 - run on,
  // and -128 (a zero byte from the shuffle) before: the digits moved to the
  // end of the register, zeros in front of them.
  alignas(32) static constexpr std::array<int8_t, 32> slide = {
      -128, -128, -128, -128, -128, -128, -128, -128, -128, -128, -128,
      -128, -128, -128, -128, -128, 0,    1,    2,    3,    4,    5,
      6,    7,    8,    9,    10,   11,   12,   13,   14,   15};
  __m128i v =
      _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s)), _mm_set1_epi8('0'));
  v = _mm_shuffle_epi8(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(&slide[run])));
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
// at the start of one (its sign or first digit), or after its last digit. A
// run of digits there is a number when it ends before `stop`, the first byte
// that is none of digit, blank or sign, or a sign no digit follows: such a
// byte, the NUL at len among them, goes to read_int, as does a run reaching
// it (it may go on in the next chunk) or one longer than 16 digits. A sign
// right before a run is the number's: read_int takes it there too.
QUICKCOUNT_VECTOR int64_t read_ints_avx2(int32_t* values, int64_t n) {
  constexpr uint64_t limit = uint64_t{1} << 31;
  int64_t done = 0;
  size_t at = pos;
  while (done < n) {
    // at <= len, and the chunk has 64 bytes of room after len.
    const Classes c = classify(&chunk[at]);
    const uint32_t lone_signs = c.signs & ~(c.digits >> 1) & 0x7fffffffU;  // last: unknown yet
    const uint32_t good = (c.digits | c.blanks | c.signs) & ~lone_signs;
    const int stop = std::countr_zero(~good);
    const uint32_t before_stop = stop == 32 ? ~0U : (1U << stop) - 1;
    uint32_t starts = c.digits & ~(c.digits << 1) & before_stop;
    uint32_t ends = ~c.digits & (c.digits << 1) & before_stop;  // the byte after a run
    int end = 0;
    // Starts and ends pair up in order: the run at bit 0, if any, starts there.
    while (ends != 0 && done < n) {
      const int s = std::countr_zero(starts);
      end = std::countr_zero(ends);
      const int run = end - s;
      if (run > 16) {
        break;
      }
      starts &= starts - 1;
      ends &= ends - 1;
      const uint64_t magnitude = std::min(vector_digits_value(&chunk[at + s], run), limit);
      const bool negative = s > 0 && ((c.minus >> (s - 1)) & 1) != 0;
      values[done++] = negative ? static_cast<int32_t>(-static_cast<int64_t>(magnitude))
                                : static_cast<int32_t>(std::min(magnitude, limit - 1));
    }
    if (done == n) {
      at += static_cast<size_t>(end);
      break;
    }
    // On to the first thing not read: a run not ended (and its sign), the
    // byte at stop, or a sign in the last byte.
    size_t next = at + 32;
    if (starts != 0) {
      const int s = std::countr_zero(starts);
      next = at + static_cast<size_t>(s) - (s > 0 ? (c.signs >> (s - 1)) & 1 : 0);
    } else if (stop < 32) {
      next = at + static_cast<size_t>(stop);
    } else if ((c.signs >> 31) != 0) {
      next = at + 31;
    }
    // read_int takes what the vectors cannot: a run at the start, or stop.
    if (next == at || (starts == 0 && stop < 32)) {
      pos = next;
      if (!read_int(values[done])) {
        return done;
      }
      ++done;
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
int64_t read_ints_avx2(int32_t* values, int64_t n) {
  return read_ints_scalar(values, n);
}

bool reader_has_avx2() {
  return false;
}
#endif

namespace {

// The path read_ints takes, chosen once when the program starts (a branch
// rather than a pointer, so that the scalar reader is still inlined). A
// build for measuring can force one with QUICKCOUNT_FORCE_SCALAR or
// QUICKCOUNT_FORCE_AVX2 (the CMake cache variable QUICKCOUNT_PATH).
#if defined(QUICKCOUNT_FORCE_SCALAR)
const bool vector_reader = false;
#elif defined(QUICKCOUNT_FORCE_AVX2)
const bool vector_reader = true;
#else
const bool vector_reader = reader_has_avx2();
#endif

}  // namespace

int64_t read_ints(int32_t* values, int64_t n) {
  return vector_reader ? read_ints_avx2(values, n) : read_ints_scalar(values, n);
}

}  // namespace quickcount
