// The merge sort behind getResultAvx2 (see merge_avx2.hpp for the keys).
//
// The values are first split, stably, into the negative ones and the others,
// which counts the pairs where a non-negative value stands before a negative
// one; shifted left, each half's values become keys that order as the
// values do and have a free low bit. Each half is then sorted on its own:
// runs of 16 in registers, then passes that merge neighbouring runs between
// the buffer and the range, eight keys at a time. A merge sorts keys by
// unsigned min and max, so by value and, among equal values, left run first:
// it is stable, and equal values never count. Of a merge of nl left keys and
// nr right ones, the inversions are nl * nr + nr(nr - 1) / 2 less the sum of
// the output positions of the right keys, which the tags of each output
// vector give. The last keys of a half, fewer than 16, are merged in by
// scalar code as the keys become values again.
//
// Every function with vector code is compiled for AVX2 by its attribute, so
// that the rest of the program runs on any x86-64 processor.
#include "merge_avx2.hpp"

#if MERGECOUNT_AVX2

#include <immintrin.h>

#include <algorithm>
#include <array>
#include <bit>
#include <utility>

// Marks a function compiled for the processors this path needs.
#define MERGECOUNT_VECTOR [[gnu::target("avx2,popcnt")]]

namespace mergecount::avx2 {
namespace {

constexpr uint32_t sign_bit = 0x8000'0000U;

// lane_sums[m]: the sum of the indexes of the lanes set in the 8-bit mask m.
constexpr std::array<uint8_t, 256> lane_sums = [] {
  std::array<uint8_t, 256> sums{};
  for (unsigned m = 0; m < 256; ++m) {
    for (unsigned i = 0; i < 8; ++i) {
      sums[m] += static_cast<uint8_t>((m >> i & 1U) * i);
    }
  }
  return sums;
}();

// packed_lanes[m]: the indexes of the lanes set in the 8-bit mask m, lowest
// first, three bits each from bit 0 up; the places past them are 0.
constexpr std::array<uint32_t, 256> packed_lanes = [] {
  std::array<uint32_t, 256> lanes{};
  for (unsigned m = 0; m < 256; ++m) {
    unsigned place = 0;
    for (unsigned i = 0; i < 8; ++i) {
      if ((m >> i & 1U) != 0) {
        lanes[m] |= i << (3 * place++);
      }
    }
  }
  return lanes;
}();

MERGECOUNT_VECTOR inline __m256i load(const uint32_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

MERGECOUNT_VECTOR inline void store(uint32_t* p, __m256i v) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

// The eight lanes of v, through memory.
MERGECOUNT_VECTOR inline std::array<uint32_t, 8> lanes_of(__m256i v) {
  std::array<uint32_t, 8> lanes{};
  store(lanes.data(), v);
  return lanes;
}

// v with every key's tag set to tag's (0 or 1 in every lane).
MERGECOUNT_VECTOR inline __m256i retag(__m256i v, __m256i tag) {
  return _mm256_or_si256(_mm256_andnot_si256(_mm256_set1_epi32(1), v), tag);
}

// The sum of the positions of v's keys tagged 1, v's first key being at
// position base.
MERGECOUNT_VECTOR inline int64_t tagged_positions(__m256i v, int64_t base) {
  const auto m =
      static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(_mm256_slli_epi32(v, 31))));
  return base * std::popcount(m) + lane_sums[m];
}

// Which of merge_eight's two results comes out descending: neither, the
// upper eight, or the lower eight.
enum Order { ascending, upper_descending, lower_descending };

// Merges lo and hi, one ascending and the other descending (so that the two
// make one sequence rising then falling, or falling then rising): afterwards
// lo holds the lower eight keys and hi the upper eight, each ascending but
// for the one `order` makes descending. Lanes are compared across the halves
// of the sequence at distances 8, 4, 2 and 1. From the distance 4 on, the
// lower eight go in the lower 128 bits and the upper eight in the upper, so
// that each step works on both; the places named are those within the
// eight.
template <Order order>
MERGECOUNT_VECTOR inline void merge_eight(__m256i& lo, __m256i& hi) {
  const __m256i l8 = _mm256_min_epu32(lo, hi);
  const __m256i h8 = _mm256_max_epu32(lo, hi);
  // Places 0..3 against 4..7.
  const __m256i a4 = _mm256_permute2x128_si256(l8, h8, 0x20);
  const __m256i b4 = _mm256_permute2x128_si256(l8, h8, 0x31);
  const __m256i l4 = _mm256_min_epu32(a4, b4);  // places 0..3
  const __m256i h4 = _mm256_max_epu32(a4, b4);  // places 4..7
  // Places 0, 1, 4, 5 against 2, 3, 6, 7.
  const __m256i a2 = _mm256_unpacklo_epi64(l4, h4);
  const __m256i b2 = _mm256_unpackhi_epi64(l4, h4);
  const __m256i l2 = _mm256_min_epu32(a2, b2);  // places 0, 1, 4, 5
  const __m256i h2 = _mm256_max_epu32(a2, b2);  // places 2, 3, 6, 7
  // Places 0, 4, 2, 6 against 1, 5, 3, 7.
  const __m256i a1 = _mm256_castps_si256(
      _mm256_shuffle_ps(_mm256_castsi256_ps(l2), _mm256_castsi256_ps(h2), _MM_SHUFFLE(2, 0, 2, 0)));
  const __m256i b1 = _mm256_castps_si256(
      _mm256_shuffle_ps(_mm256_castsi256_ps(l2), _mm256_castsi256_ps(h2), _MM_SHUFFLE(3, 1, 3, 1)));
  const __m256i l1 = _mm256_min_epu32(a1, b1);  // places 0, 4, 2, 6
  const __m256i h1 = _mm256_max_epu32(a1, b1);  // places 1, 5, 3, 7
  // Back in order, by shuffles within the 128-bit halves where they can.
  const __m256i u = _mm256_unpacklo_epi32(l1, h1);     // places 0, 1, 4, 5
  const __m256i v = _mm256_unpackhi_epi32(l1, h1);     // places 2, 3, 6, 7
  const __m256i first = _mm256_unpacklo_epi64(u, v);   // places 0..3
  const __m256i second = _mm256_unpackhi_epi64(u, v);  // places 4..7
  // Descending: places 4..7 before 0..3, each four reversed.
  if constexpr (order == lower_descending) {
    lo = _mm256_shuffle_epi32(_mm256_permute2x128_si256(first, second, 0x02), 0x1B);
  } else {
    lo = _mm256_permute2x128_si256(first, second, 0x20);
  }
  if constexpr (order == upper_descending) {
    hi = _mm256_shuffle_epi32(_mm256_permute2x128_si256(first, second, 0x13), 0x1B);
  } else {
    hi = _mm256_permute2x128_si256(first, second, 0x31);
  }
}

// v's keys in the opposite order.
MERGECOUNT_VECTOR inline __m256i reversed(__m256i v) {
  return _mm256_permutevar8x32_epi32(v, _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0));
}

// Eight vectors. (A std::array of them would lose their alignment.)
using Block = __m256i[8];

// Transposes the 8 x 8 block r: afterwards lane i of r[j] holds what lane j
// of r[i] held.
MERGECOUNT_VECTOR inline void transpose(Block& r) {
  Block t;
#pragma GCC unroll 8
  for (std::size_t i = 0; i < 8; i += 2) {
    t[i] = _mm256_unpacklo_epi32(r[i], r[i + 1]);
    t[i + 1] = _mm256_unpackhi_epi32(r[i], r[i + 1]);
  }
  Block u;
#pragma GCC unroll 8
  for (std::size_t i = 0; i < 8; i += 4) {
    u[i] = _mm256_unpacklo_epi64(t[i], t[i + 2]);
    u[i + 1] = _mm256_unpackhi_epi64(t[i], t[i + 2]);
    u[i + 2] = _mm256_unpacklo_epi64(t[i + 1], t[i + 3]);
    u[i + 3] = _mm256_unpackhi_epi64(t[i + 1], t[i + 3]);
  }
#pragma GCC unroll 8
  for (std::size_t i = 0; i < 4; ++i) {
    r[i] = _mm256_permute2x128_si256(u[i], u[i + 4], 0x20);
    r[i + 4] = _mm256_permute2x128_si256(u[i], u[i + 4], 0x31);
  }
}

// The comparators of the network that sorts eight: the odd-even merge sort.
constexpr std::array<std::pair<std::size_t, std::size_t>, 19> network = {{
    {0, 1}, {2, 3}, {4, 5}, {6, 7},  // pairs
    {0, 2}, {1, 3}, {4, 6}, {5, 7},  // fours
    {1, 2}, {5, 6},                  //
    {0, 4}, {1, 5}, {2, 6}, {3, 7},  // eight
    {2, 4}, {3, 5},                  //
    {1, 2}, {3, 4}, {5, 6},          //
}};

// Sorts each of the eight lanes across c[0..8), whose keys are stored with
// the sign bit flipped so that signed comparisons order them. Returns, per
// lane, the inversions the lane had added to pairs.
MERGECOUNT_VECTOR inline __m256i sort_columns(Block& c, __m256i pairs) {
#pragma GCC unroll 8
  for (std::size_t i = 0; i < 8; ++i) {
#pragma GCC unroll 8
    for (std::size_t j = i + 1; j < 8; ++j) {
      pairs = _mm256_sub_epi32(pairs, _mm256_cmpgt_epi32(c[i], c[j]));
    }
  }
#pragma GCC unroll 19
  for (const auto& [i, j] : network) {
    const __m256i low = _mm256_min_epi32(c[i], c[j]);
    c[j] = _mm256_max_epi32(c[i], c[j]);
    c[i] = low;
  }
  return pairs;
}

// sortSixteens's work: 64 keys at a time, eight 8-runs sorted as the
// columns of a block, then merged in pairs.
MERGECOUNT_VECTOR int64_t sort_sixteens(uint32_t* keys, std::ptrdiff_t len) {
  const __m256i flip = _mm256_set1_epi32(static_cast<int32_t>(sign_bit));
  const __m256i one = _mm256_set1_epi32(1);
  __m256i pairs = _mm256_setzero_si256();  // inversions within the 8-runs, per lane
  int64_t positions = 0;                   // of the right keys in the merges of two 8-runs
  for (std::ptrdiff_t k = 0; k < len; k += 64) {
    // Up to eight 8-runs; where fewer are left, runs of the greatest key
    // fill the block, which sort and count as nothing.
    const std::ptrdiff_t runs = std::min<std::ptrdiff_t>(8, (len - k) / 8);
    Block r;
#pragma GCC unroll 8
    for (std::ptrdiff_t i = 0; i < 8; ++i) {
      r[static_cast<std::size_t>(i)] =
          i < runs ? _mm256_xor_si256(_mm256_andnot_si256(one, load(keys + k + 8 * i)), flip)
                   : _mm256_set1_epi32(INT32_MAX);
    }
    transpose(r);  // run i in lane i
    pairs = sort_columns(r, pairs);
    transpose(r);  // each run sorted, back in its own vector
#pragma GCC unroll 4
    for (std::ptrdiff_t i = 0; i < runs; i += 2) {
      __m256i lo = _mm256_xor_si256(r[static_cast<std::size_t>(i)], flip);
      __m256i hi = reversed(
          _mm256_or_si256(_mm256_xor_si256(r[static_cast<std::size_t>(i) + 1], flip), one));
      merge_eight<ascending>(lo, hi);
      positions += tagged_positions(lo, 0) + tagged_positions(hi, 8);
      const __m256i tag = _mm256_set1_epi32(static_cast<int32_t>((k / 16 + i / 2) & 1));
      store(keys + k + 8 * i, retag(lo, tag));
      store(keys + k + 8 * i + 8, retag(hi, tag));
    }
  }
  int64_t count = 0;
  for (const uint32_t lane : lanes_of(pairs)) {
    count += lane;
  }
  // Each merge of two 8-runs: 8 * 8 + 8 * 7 / 2 less the right keys' positions.
  return count + len / 16 * 92 - positions;
}

// The sum of v's eight lanes, where the lanes and their sum fit in 32 signed
// bits.
MERGECOUNT_VECTOR inline int32_t lane_total(__m256i v) {
  __m128i s = _mm_add_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
  s = _mm_add_epi32(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(1, 0, 3, 2)));
  s = _mm_add_epi32(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(2, 3, 0, 1)));
  return _mm_cvtsi128_si32(s);
}

// The right keys a chain of a merge writes, counted in vectors rather than
// vector by vector: per lane, `right` counts the right keys written since
// the tally was last reckoned, and `running` adds up `right` after each
// vector. The j-th of the J vectors counted (from 0) stands at first +
// stride * j, so the positions of the right keys counted add up, per lane,
// to first * right + stride * (J * right - running) + lane * right.
struct Tally {
  __m256i right;
  __m256i running;
  std::ptrdiff_t first;   // position of the first vector counted
  std::ptrdiff_t stride;  // 8 from the front, -8 from the back
};

// A tally may count this many vectors before it is reckoned: then no lane
// of `running` passes 2^23, and no sum of a reckoning passes 2^31.
constexpr std::ptrdiff_t tally_steps = 4096;

// The tags of v's keys, as 0 or 1 in each lane.
MERGECOUNT_VECTOR inline __m256i tags_of(__m256i v) {
  return _mm256_and_si256(v, _mm256_set1_epi32(1));
}

// Counts, at the tally's next place, the right keys whose tags add up to
// tags in each lane.
MERGECOUNT_VECTOR inline void count(Tally& t, __m256i tags) {
  t.right = _mm256_add_epi32(t.right, tags);
  t.running = _mm256_add_epi32(t.running, t.right);
}

// Returns the sum of the positions of the right keys t has counted, the
// next vector after them going at `next`, and starts t again from there.
MERGECOUNT_VECTOR inline int64_t reckon(Tally& t, std::ptrdiff_t next) {
  const auto steps = static_cast<int32_t>((next - t.first) / t.stride);
  const auto stride = static_cast<int32_t>(t.stride);
  const __m256i weights = _mm256_add_epi32(_mm256_set1_epi32(stride * steps),
                                           _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
  const __m256i sums = _mm256_sub_epi32(_mm256_mullo_epi32(t.right, weights),
                                        _mm256_mullo_epi32(t.running, _mm256_set1_epi32(stride)));
  const int64_t total = int64_t{t.first} * lane_total(t.right) + lane_total(sums);
  t.right = _mm256_setzero_si256();
  t.running = _mm256_setzero_si256();
  t.first = next;
  return total;
}

// The merge of the runs keys[0..na) and keys[na..n) into out works from both
// ends at once, in two independent chains. Each carries eight keys: the
// front chain loads the next vector of the run whose next key is the
// smaller, merges it with the keys it carries, writes the lower eight and
// carries the upper; the back chain does the same from the ends, with the
// larger keys. Each vector written is then in its place for good. The front
// writes the first half of the output, the back the rest. Both choose a run
// without a branch, which random keys would mispredict half the time. Each
// carries its keys in descending order, so that they and the ascending
// vector it loads next make the sequence merge_eight wants.
//
// A chain that has taken `taken` keys from the two runs together has taken
// from the right run what it has not from the left, so it keeps only its
// place in the left run: few registers, so that two merges side by side
// fit in them.
struct Merge {
  const uint32_t* keys;
  uint32_t* out;
  std::ptrdiff_t na;       // where the right run starts
  std::ptrdiff_t n;        // where it ends
  __m256i tag;             // for every key written
  std::ptrdiff_t front_a;  // the next left vector the front takes
  std::ptrdiff_t back_a;   // one past the next left vector the back takes
  __m256i front_carry;
  __m256i back_carry;
};

// Starts the merge of the runs keys[0..na) and keys[na..na+nb) into out,
// its keys tagged tag: the first step of each chain, which takes a vector
// from both runs, so that each chain has then taken 16 keys. Returns the
// positions of the right keys it wrote, summed.
MERGECOUNT_VECTOR inline int64_t start_merge(Merge& m, const uint32_t* keys, std::ptrdiff_t na,
                                             std::ptrdiff_t nb, uint32_t* out, uint32_t tag) {
  const std::ptrdiff_t n = na + nb;
  m.keys = keys;
  m.out = out;
  m.na = na;
  m.n = n;
  m.tag = _mm256_set1_epi32(static_cast<int32_t>(tag));
  __m256i lower = load(keys);
  __m256i upper = reversed(load(keys + na));
  merge_eight<upper_descending>(lower, upper);
  int64_t positions = tagged_positions(lower, 0);
  store(out, retag(lower, m.tag));
  m.front_a = 8;
  m.front_carry = upper;
  lower = load(keys + na - 8);
  upper = reversed(load(keys + n - 8));
  merge_eight<lower_descending>(lower, upper);
  positions += tagged_positions(upper, n - 8);
  store(out + n - 8, retag(upper, m.tag));
  m.back_a = na - 8;
  m.back_carry = lower;
  return positions;
}

// One step of the front chain, which has taken `taken` keys; returns the
// vector it wrote, before its keys were tagged for the next pass.
// Unchecked, it reads the next key of both runs, which it may while it has
// taken fewer vectors than either run has (both gave it their first);
// checked, it takes from the other run once one is used up.
template <bool checked>
MERGECOUNT_VECTOR inline __m256i front_step(Merge& m, std::ptrdiff_t taken) {
  const std::ptrdiff_t a = m.front_a;
  const std::ptrdiff_t b = m.na + taken - a;
  bool from_a = false;
  if constexpr (checked) {
    from_a = b == m.n || (a != m.na && m.keys[a] < m.keys[b]);
  } else {
    from_a = m.keys[a] < m.keys[b];
  }
  __m256i upper = load(m.keys + (from_a ? a : b));
  m.front_a = a + 8 * std::ptrdiff_t{from_a};
  merge_eight<upper_descending>(m.front_carry, upper);
  const __m256i written = m.front_carry;
  store(m.out + taken - 8, retag(written, m.tag));
  m.front_carry = upper;
  return written;
}

// One step of the back chain, as front_step from the other end.
template <bool checked>
MERGECOUNT_VECTOR inline __m256i back_step(Merge& m, std::ptrdiff_t taken) {
  const std::ptrdiff_t a = m.back_a;
  const std::ptrdiff_t b = m.na + m.n - taken - a;
  bool from_a = false;
  if constexpr (checked) {
    from_a = b == m.na || (a != 0 && m.keys[a - 1] > m.keys[b - 1]);
  } else {
    from_a = m.keys[a - 1] > m.keys[b - 1];
  }
  __m256i lower = load(m.keys + (from_a ? a : b) - 8);
  m.back_a = a - 8 * std::ptrdiff_t{from_a};
  merge_eight<lower_descending>(lower, m.back_carry);
  const __m256i written = m.back_carry;
  store(m.out + m.n - taken, retag(written, m.tag));
  m.back_carry = lower;
  return written;
}

// The inversions of a merge of na left keys and nb right ones whose right
// keys stand at positions that add up to `positions`.
inline int64_t merge_count(int64_t na, int64_t nb, int64_t positions) {
  return na * nb + nb * (nb - 1) / 2 - positions;
}

// Merges the runs keys[0..na) and keys[na..na+nb), multiples of 16, into
// out, tagged tag; returns the inversions between them.
MERGECOUNT_VECTOR int64_t merge_runs(const uint32_t* keys, std::ptrdiff_t na, std::ptrdiff_t nb,
                                     uint32_t* out, uint32_t tag) {
  Merge m{};
  int64_t positions = start_merge(m, keys, na, nb, out, tag);
  const std::ptrdiff_t n = na + nb;
  Tally front{_mm256_setzero_si256(), _mm256_setzero_si256(), 8, 8};
  Tally back{_mm256_setzero_si256(), _mm256_setzero_si256(), n - 16, -8};
  // Each chain takes as many keys as it writes, and 8 more: the front
  // writes the first half of the output, the back the rest.
  const std::ptrdiff_t front_end = n / 16 * 8 + 8;
  const std::ptrdiff_t back_end = n - n / 16 * 8 + 8;
  // Neither chain can use up a run before it has taken as many keys.
  const std::ptrdiff_t unchecked = std::min({na, nb, front_end});
  std::ptrdiff_t taken = 16;
  while (taken < unchecked) {
    const std::ptrdiff_t stop = std::min(unchecked, taken + 8 * tally_steps);
    for (; taken < stop; taken += 8) {
      count(front, tags_of(front_step<false>(m, taken)));
      count(back, tags_of(back_step<false>(m, taken)));
    }
    positions += reckon(front, taken - 8) + reckon(back, n - taken);
  }
  for (std::ptrdiff_t t = taken; t < front_end;) {
    const std::ptrdiff_t stop = std::min(front_end, t + 8 * tally_steps);
    for (; t < stop; t += 8) {
      count(front, tags_of(front_step<true>(m, t)));
    }
    positions += reckon(front, t - 8);
  }
  for (std::ptrdiff_t t = taken; t < back_end;) {
    const std::ptrdiff_t stop = std::min(back_end, t + 8 * tally_steps);
    for (; t < stop; t += 8) {
      count(back, tags_of(back_step<true>(m, t)));
    }
    positions += reckon(back, n - t);
  }
  return merge_count(na, nb, positions);
}

// Merges the two pairs of runs of width w (a multiple of 16) side by side,
// keys[0..w) with keys[w..2w) into out[0..2w), tagged tag, and keys[2w..3w)
// with keys[3w..4w) into out[2w..4w), tagged the other way: four chains,
// which hide each other's latency better than two. Returns the inversions
// between the runs of each pair. Both merges take the same steps and write
// at the same places within their outputs, so they share their tallies.
MERGECOUNT_VECTOR int64_t merge_two(const uint32_t* keys, std::ptrdiff_t w, uint32_t* out,
                                    uint32_t tag) {
  Merge m1{};
  Merge m2{};
  int64_t positions = start_merge(m1, keys, w, w, out, tag);
  positions += start_merge(m2, keys + 2 * w, w, w, out + 2 * w, tag ^ 1U);
  Tally front{_mm256_setzero_si256(), _mm256_setzero_si256(), 8, 8};
  Tally back{_mm256_setzero_si256(), _mm256_setzero_si256(), 2 * w - 16, -8};
  for (std::ptrdiff_t taken = 16; taken < w + 8;) {
    const std::ptrdiff_t stop = std::min(w + 8, taken + 4 * tally_steps);
    for (; taken < stop; taken += 8) {
      const __m256i front_tags = _mm256_add_epi32(tags_of(front_step<false>(m1, taken)),
                                                  tags_of(front_step<false>(m2, taken)));
      const __m256i back_tags = _mm256_add_epi32(tags_of(back_step<false>(m1, taken)),
                                                 tags_of(back_step<false>(m2, taken)));
      count(front, front_tags);
      count(back, back_tags);
    }
    positions += reckon(front, taken - 8) + reckon(back, 2 * w - taken);
  }
  return 2 * merge_count(w, w, 0) - positions;
}

// Copies keys src[0..len), len a multiple of 8, to dst, tagged tag.
MERGECOUNT_VECTOR void copy_tagged(const uint32_t* src, std::ptrdiff_t len, uint32_t* dst,
                                   uint32_t tag) {
  const __m256i t = _mm256_set1_epi32(static_cast<int32_t>(tag));
  for (std::ptrdiff_t i = 0; i < len; i += 8) {
    store(dst + i, retag(load(src + i), t));
  }
}

// Joins the runs a[0..na) and a[na..na+nb) into out, tagged tag, when they
// do not interleave: the left one wholly before the right one (no
// inversions between them) or wholly after it (every pair an inversion).
// Returns the inversions, or -1, doing nothing, when they interleave.
MERGECOUNT_VECTOR int64_t join_whole(const uint32_t* a, std::ptrdiff_t na, std::ptrdiff_t nb,
                                     uint32_t* out, uint32_t tag) {
  if (a[na - 1] < a[na]) {
    copy_tagged(a, na + nb, out, tag);
    return 0;
  }
  if (a[0] > a[na + nb - 1]) {
    copy_tagged(a + na, nb, out, tag);
    copy_tagged(a, na, out + nb, tag);
    return int64_t{na} * nb;
  }
  return -1;
}

// Merges each pair of neighbouring runs of width w of src[0..len) (w and len
// multiples of 16; the last run may be shorter, or alone) into dst[0..len),
// the output run j tagged (first_run + j) % 2 for the next pass. Returns the
// inversions between the runs of each pair. Runs that do not interleave, one
// wholly before or after the other, are only copied; two pairs that both
// interleave are merged side by side.
MERGECOUNT_VECTOR int64_t merge_pass(const uint32_t* src, uint32_t* dst, std::ptrdiff_t len,
                                     std::ptrdiff_t w, std::ptrdiff_t first_run) {
  int64_t count = 0;
  std::ptrdiff_t k = 0;
  for (; k + 4 * w <= len; k += 4 * w) {
    const auto tag = static_cast<uint32_t>((first_run + k / (2 * w)) & 1);
    const int64_t first = join_whole(src + k, w, w, dst + k, tag);
    const int64_t second = join_whole(src + k + 2 * w, w, w, dst + k + 2 * w, tag ^ 1U);
    if (first < 0 && second < 0) {
      count += merge_two(src + k, w, dst + k, tag);
      continue;
    }
    count += first >= 0 ? first : merge_runs(src + k, w, w, dst + k, tag);
    count += second >= 0 ? second : merge_runs(src + k + 2 * w, w, w, dst + k + 2 * w, tag ^ 1U);
  }
  for (; k < len; k += 2 * w) {
    const auto tag = static_cast<uint32_t>((first_run + k / (2 * w)) & 1);
    const std::ptrdiff_t nb = std::min(w, len - k - w);
    if (nb <= 0) {
      copy_tagged(src + k, len - k, dst + k, tag);
      continue;
    }
    const int64_t whole = join_whole(src + k, w, nb, dst + k, tag);
    count += whole >= 0 ? whole : merge_runs(src + k, w, nb, dst + k, tag);
  }
  return count;
}

// Writes the values of the keys src[0..len) of a half whose values have the
// sign bit `sign` to dst[0..len), from the back, so that dst may be src
// itself or lie above it in the same storage.
MERGECOUNT_VECTOR void values_from_back(const uint32_t* src, std::ptrdiff_t len, int32_t* dst,
                                        uint32_t sign) {
  const __m256i s = _mm256_set1_epi32(static_cast<int32_t>(sign));
  std::ptrdiff_t i = len;
  for (; i >= 8; i -= 8) {
    const __m256i v = _mm256_or_si256(_mm256_srli_epi32(load(src + i - 8), 1), s);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i - 8), v);
  }
  for (; i > 0; --i) {
    dst[i - 1] = static_cast<int32_t>(src[i - 1] >> 1 | sign);
  }
}

// Sorts v[0..len), len < 16, by insertion; returns the number of shifts,
// which is the number of inversions v had.
int64_t insertion_sort(int32_t* v, std::ptrdiff_t len) {
  int64_t shifts = 0;
  for (std::ptrdiff_t k = 1; k < len; ++k) {
    const int32_t x = v[k];
    std::ptrdiff_t m = k;
    for (; m > 0 && v[m - 1] > x; --m) {
      v[m] = v[m - 1];
      ++shifts;
    }
    v[m] = x;
  }
  return shifts;
}

// Ends the sort of a half: writes to out[0..len + r) the values of the
// sorted keys prefix[0..len) (which may lie at out itself) merged with the
// r < 16 keys rest[0..r) that come after them, whose inversions it counts.
// The keys of the half's values have the sign bit `sign`. Works from the
// back: for each value of the rest, the greatest first, the prefix keys
// greater than it are found by binary search, moved up past the values of
// the rest still to come, and counted.
MERGECOUNT_VECTOR int64_t finish_half(const uint32_t* prefix, std::ptrdiff_t len,
                                      const uint32_t* rest, std::ptrdiff_t r, int32_t* out,
                                      uint32_t sign) {
  std::array<int32_t, 16> tail{};
  for (std::ptrdiff_t i = 0; i < r; ++i) {
    tail[static_cast<std::size_t>(i)] = static_cast<int32_t>(rest[i] >> 1 | sign);
  }
  int64_t count = insertion_sort(tail.data(), r);
  std::ptrdiff_t end = len;  // prefix[end..len) is placed
  for (std::ptrdiff_t j = r; j > 0; --j) {
    const int32_t value = tail[static_cast<std::size_t>(j) - 1];
    // Any prefix key above this one, tagged 1, has a greater value.
    const uint32_t key = static_cast<uint32_t>(value) << 1 | 1U;
    const std::ptrdiff_t greater = std::upper_bound(prefix, prefix + end, key) - prefix;
    values_from_back(prefix + greater, end - greater, out + greater + j, sign);
    out[greater + j - 1] = value;
    count += len - greater;
    end = greater;
  }
  values_from_back(prefix, end, out, sign);
  return count;
}

// Keys sorted a block at a time, before the passes over the whole half: a
// block and its merge buffer, 256 KiB, stay in the processor's second-level
// cache.
constexpr std::ptrdiff_t block = std::ptrdiff_t{1} << 15;

// Sorts the half whose m keys are keys[0..m) (and whose values have the
// sign bit `sign`) into out[0..m), and returns its inversions. Its runs are
// merged between keys[0..len) and out[0..len), len the multiple of 16 below
// m, first within each block, then across the whole; keys[len..m) are
// merged in at the end.
MERGECOUNT_VECTOR int64_t sort_half(uint32_t* keys, std::ptrdiff_t m, int32_t* out, uint32_t sign) {
  const std::ptrdiff_t len = m - m % 16;
  int64_t count = 0;
  uint32_t* src = keys;
  uint32_t* dst = reinterpret_cast<uint32_t*>(out);
  // Every block takes the same passes, the last one too, whose widest runs
  // are only copied where it is short; so all end up in the same storage.
  const std::ptrdiff_t within = std::min(block, len);
  for (std::ptrdiff_t b = 0; b < len; b += block) {
    const std::ptrdiff_t n = std::min(block, len - b);
    count += sort_sixteens(keys + b, n);
    uint32_t* from = src + b;
    uint32_t* to = dst + b;
    for (std::ptrdiff_t w = 16; w < within; w *= 2) {
      count += merge_pass(from, to, n, w, b / (2 * w));
      std::swap(from, to);
    }
  }
  for (std::ptrdiff_t w = 16; w < within; w *= 2) {
    std::swap(src, dst);
  }
  for (std::ptrdiff_t w = block; w < len; w *= 2) {
    count += merge_pass(src, dst, len, w, 0);
    std::swap(src, dst);
  }
  return count + finish_half(src, len, keys + len, m - len, out, sign);
}

struct Signs {
  std::ptrdiff_t negatives;
  int64_t pairs;  // a non-negative value before a negative one
};

// Counts the negative values of v[0..n) and the pairs where a non-negative
// value stands before a negative one: the sum of the negative values'
// positions less the sum of the first k positions, k the negative count.
MERGECOUNT_VECTOR Signs count_signs(const int32_t* v, std::ptrdiff_t n) {
  std::ptrdiff_t negatives = 0;
  int64_t positions = 0;
  std::ptrdiff_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const auto m = static_cast<unsigned>(_mm256_movemask_ps(
        _mm256_castsi256_ps(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(v + i)))));
    positions += i * std::popcount(m) + lane_sums[m];
    negatives += std::popcount(m);
  }
  for (; i < n; ++i) {
    if (v[i] < 0) {
      positions += i;
      ++negatives;
    }
  }
  return {negatives, positions - int64_t{negatives} * (negatives - 1) / 2};
}

// Writes the first k lanes of v at *to, which may take up to end, and moves
// *to past them. Where eight lanes fit, all eight go: the ones past k are
// written over later.
MERGECOUNT_VECTOR inline void store_first(uint32_t*& to, const uint32_t* end, __m256i v, int k) {
  if (end - to >= 8) {
    store(to, v);
  } else {
    const std::array<uint32_t, 8> lanes = lanes_of(v);
    std::copy_n(lanes.begin(), k, to);
  }
  to += k;
}

// Writes the keys of the negative values of v[0..n), in order, to neg, and
// those of the others, in order, to rest, which begins where the negative
// values' keys end and ends at rest_end.
MERGECOUNT_VECTOR void split_signs(const int32_t* v, std::ptrdiff_t n, uint32_t* neg,
                                   uint32_t* rest, const uint32_t* rest_end) {
  const uint32_t* const neg_end = rest;
  const __m256i shifts = _mm256_setr_epi32(0, 3, 6, 9, 12, 15, 18, 21);
  std::ptrdiff_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(v + i));
    const auto m = static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(x)));
    const __m256i keys = _mm256_slli_epi32(x, 1);
    // vpermd reads the low three bits of each lane's index only.
    const __m256i to_neg =
        _mm256_srlv_epi32(_mm256_set1_epi32(static_cast<int32_t>(packed_lanes[m])), shifts);
    const __m256i to_rest = _mm256_srlv_epi32(
        _mm256_set1_epi32(static_cast<int32_t>(packed_lanes[~m & 0xFFU])), shifts);
    const int k = std::popcount(m);
    store_first(neg, neg_end, _mm256_permutevar8x32_epi32(keys, to_neg), k);
    store_first(rest, rest_end, _mm256_permutevar8x32_epi32(keys, to_rest), 8 - k);
  }
  for (; i < n; ++i) {
    const uint32_t key = static_cast<uint32_t>(v[i]) << 1;
    *(v[i] < 0 ? neg++ : rest++) = key;
  }
}

// mergeEight's work, in the vector code.
template <Order order>
MERGECOUNT_VECTOR void merge_eight_keys(uint32_t* keys) {
  __m256i lo = load(keys);
  __m256i hi = reversed(load(keys + 8));
  merge_eight<order>(lo, hi);
  store(keys, lo);
  store(keys + 8, hi);
}

}  // namespace

bool supported() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
}

int64_t sortCount(int32_t* a, int32_t* buf, std::ptrdiff_t len) {
  const Signs signs = count_signs(a, len);
  auto* const keys = reinterpret_cast<uint32_t*>(buf);
  const std::ptrdiff_t k = signs.negatives;
  split_signs(a, len, keys, keys + k, keys + len);
  return signs.pairs + sort_half(keys, k, a, sign_bit) + sort_half(keys + k, len - k, a + k, 0);
}

void mergeEight(uint32_t* keys, bool lower_descending, bool upper_descending) {
  if (lower_descending) {
    merge_eight_keys<Order::lower_descending>(keys);
  } else if (upper_descending) {
    merge_eight_keys<Order::upper_descending>(keys);
  } else {
    merge_eight_keys<Order::ascending>(keys);
  }
}

int64_t sortSixteens(uint32_t* keys, std::ptrdiff_t len) {
  return sort_sixteens(keys, len);
}

int64_t mergePass(const uint32_t* src, uint32_t* dst, std::ptrdiff_t len, std::ptrdiff_t w) {
  return merge_pass(src, dst, len, w, 0);
}

}  // namespace mergecount::avx2

#endif
