// The partition step by vectors (see split_avx2.hpp).
//
// Each vector of eight values is compared with the pivot once for "less" and
// once for "greater"; the lanes in neither are copies of the pivot. The
// smaller lanes are packed to the low end by a permutation looked up by
// their mask and stored at the next free place of to, the greater lanes the
// same way at the next free place of from itself, behind the values read;
// the copies are only counted. A packed store keeps the lanes in order, so
// the split is stable. The greater values are copied into place at the end.
//
// Every function with vector code is compiled for AVX2 by its attribute, so
// that the rest of the program runs on any x86-64 processor.
#include "split_avx2.hpp"

#if QUICKCOUNT_AVX2

#include <immintrin.h>

#include <algorithm>
#include <array>
#include <bit>

// Marks a function compiled for the processors this path needs.
#define QUICKCOUNT_VECTOR [[gnu::target("avx2,popcnt")]]

namespace quickcount::avx2 {
namespace {

// packed_lanes[m]: the indexes of the lanes set in the 8-bit mask m, lowest
// first, one byte each from byte 0 up; the bytes past them are 0.
constexpr std::array<uint64_t, 256> packed_lanes = [] {
  std::array<uint64_t, 256> lanes{};
  for (unsigned m = 0; m < 256; ++m) {
    unsigned place = 0;
    for (unsigned i = 0; i < 8; ++i) {
      if ((m >> i & 1U) != 0) {
        lanes[m] |= uint64_t{i} << (8 * place++);
      }
    }
  }
  return lanes;
}();

// clear_before[m]: the pairs of a lane clear in the 8-bit mask m below a
// lane set in it.
constexpr std::array<uint8_t, 256> clear_before = [] {
  std::array<uint8_t, 256> pairs{};
  for (unsigned m = 0; m < 256; ++m) {
    unsigned clear = 0;
    for (unsigned i = 0; i < 8; ++i) {
      if ((m >> i & 1U) != 0) {
        pairs[m] = static_cast<uint8_t>(pairs[m] + clear);
      } else {
        ++clear;
      }
    }
  }
  return pairs;
}();

// set_below[m]: byte i (from the low end) holds the number of lanes below
// lane i set in the 8-bit mask m.
constexpr std::array<uint64_t, 256> set_below = [] {
  std::array<uint64_t, 256> counts{};
  for (unsigned m = 0; m < 256; ++m) {
    unsigned set = 0;
    for (unsigned i = 0; i < 8; ++i) {
      counts[m] |= uint64_t{set} << (8 * i);
      set += m >> i & 1U;
    }
  }
  return counts;
}();

// lane_bytes[m]: byte i is all ones where lane i is set in the 8-bit mask m.
constexpr std::array<uint64_t, 256> lane_bytes = [] {
  std::array<uint64_t, 256> bytes{};
  for (unsigned m = 0; m < 256; ++m) {
    for (unsigned i = 0; i < 8; ++i) {
      if ((m >> i & 1U) != 0) {
        bytes[m] |= uint64_t{0xFF} << (8 * i);
      }
    }
  }
  return bytes;
}();

// The pairs of a lane set in greater below a lane set in copies, two 8-bit
// masks. Each byte of set_below[greater] is at most 7, and the bytes kept
// add up to at most 0 + 1 + ... + 7 = 28, so no byte of the product carries
// into the next: its top byte is their sum.
inline int64_t greater_before_copies(unsigned greater, unsigned copies) {
  constexpr uint64_t ones = 0x0101'0101'0101'0101U;
  return static_cast<int64_t>(((set_below[greater] & lane_bytes[copies]) * ones) >> 56);
}

// The lanes of v set in the 8-bit mask m, packed in order to the low end;
// the lanes past them hold lane 0's value.
QUICKCOUNT_VECTOR inline __m256i packed(__m256i v, unsigned m) {
  const __m128i bytes = _mm_cvtsi64_si128(static_cast<long long>(packed_lanes[m]));
  return _mm256_permutevar8x32_epi32(v, _mm256_cvtepu8_epi32(bytes));
}

// The 8-bit mask of the lanes of v greater than those of w.
QUICKCOUNT_VECTOR inline unsigned greater_lanes(__m256i v, __m256i w) {
  return static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpgt_epi32(v, w))));
}

}  // namespace

bool supported() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
}

QUICKCOUNT_VECTOR std::ptrdiff_t split(int32_t* from, int32_t* to, std::ptrdiff_t n, int32_t pivot,
                                       std::ptrdiff_t& equal, int64_t& pairs) {
  // Before the values at k: less of them were smaller than the pivot and
  // sit in to[0, less), greater were greater and sit in from[0, greater),
  // and found counts the pairs across the groups among them. As less and
  // greater are at most k, each store below writes eight places from
  // to[less] or from[greater] that are at most to[k + 8) or from[k + 8):
  // inside the areas, and in from only over values already loaded. The
  // lanes a store writes past its group's values are overwritten by the
  // next store, or lie past that group's end, where no value is read from.
  std::ptrdiff_t less = 0;
  std::ptrdiff_t greater = 0;
  int64_t found = 0;
  const __m256i pivots = _mm256_set1_epi32(pivot);
  std::ptrdiff_t k = 0;
  for (; k + 8 <= n; k += 8) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + k));
    const unsigned smaller_lanes = greater_lanes(pivots, v);
    const unsigned larger_lanes = greater_lanes(v, pivots);
    const unsigned copy_lanes = 0xFFU & ~(smaller_lanes | larger_lanes);
    const int64_t smaller = std::popcount(smaller_lanes);
    const int64_t larger = std::popcount(larger_lanes);
    // A smaller value pairs with each value not less than the pivot before
    // it: the k - less before the vector, and those in the lanes below its
    // own. A copy pairs with each greater value before it, likewise.
    found += smaller * static_cast<int64_t>(k - less) + clear_before[smaller_lanes];
    found += (8 - smaller - larger) * static_cast<int64_t>(greater) +
             greater_before_copies(larger_lanes, copy_lanes);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + less), packed(v, smaller_lanes));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(from + greater), packed(v, larger_lanes));
    less += smaller;
    greater += larger;
  }
  // The last values, fewer than eight, one at a time and without a branch:
  // both writes always happen, and only the place of x's group moves on.
  for (; k < n; ++k) {
    const int32_t x = from[k];
    const int64_t is_less = x < pivot ? 1 : 0;
    const int64_t is_greater = pivot < x ? 1 : 0;
    const int64_t is_copy = 1 - is_less - is_greater;
    to[less] = x;
    from[greater] = x;
    found +=
        (static_cast<int64_t>(k - less) & -is_less) + (static_cast<int64_t>(greater) & -is_copy);
    less += static_cast<std::ptrdiff_t>(is_less);
    greater += static_cast<std::ptrdiff_t>(is_greater);
  }
  equal = n - less - greater;
  std::copy(from, from + greater, to + less + equal);
  pairs += found;
  return less;
}

}  // namespace quickcount::avx2

#endif
