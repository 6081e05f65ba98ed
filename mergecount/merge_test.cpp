#include "merge.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <limits>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "fenwick_count.hpp"
#include "merge_avx2.hpp"

namespace {

using mergecount::getResult;
using mergecount::getResult2;

int64_t brute_force_count(const std::vector<int32_t>& v, int32_t lo, int32_t hi) {
  int64_t count = 0;
  for (int32_t i = lo; i < hi; ++i) {
    for (int32_t j = i + 1; j < hi; ++j) {
      count += v[static_cast<size_t>(i)] > v[static_cast<size_t>(j)] ? 1 : 0;
    }
  }
  return count;
}

// What either counter must leave behind: the range sorted, the rest as it was.
std::vector<int32_t> expected_after(std::vector<int32_t> v, int32_t lo, int32_t hi) {
  std::sort(v.begin() + lo, v.begin() + hi);
  return v;
}

// Values drawn from one of several shapes: few distinct values (many equal
// ones), small values around zero, the whole 32-bit range, and its two ends.
int32_t draw(std::mt19937& rng, int shape) {
  switch (shape) {
    case 0:
      return static_cast<int32_t>(rng() % 3);
    case 1:
      return static_cast<int32_t>(rng() % 41) - 20;
    case 2:
      return static_cast<int32_t>(rng());
    default:
      return rng() % 2 == 0 ? std::numeric_limits<int32_t>::min()
                            : std::numeric_limits<int32_t>::max();
  }
}

TEST(GetResult, MatchesBubbleCounterAndBruteForceOnRandomRanges) {
  std::mt19937 rng(20240607);
  for (int trial = 0; trial < 6000; ++trial) {
    const auto len = static_cast<int32_t>(1 + rng() % 300);
    const auto lo = static_cast<int32_t>(1 + rng() % 17);
    const auto hi = lo + len;
    const int shape = static_cast<int>(rng() % 4);
    std::vector<int32_t> v(static_cast<size_t>(hi) + 1 + rng() % 9);
    for (int32_t& x : v) {
      x = draw(rng, shape);
    }
    const int64_t want = brute_force_count(v, lo, hi);
    const std::vector<int32_t> want_after = expected_after(v, lo, hi);

    std::vector<int32_t> merged = v;
    EXPECT_EQ(getResult(merged.data(), lo, hi), want) << "trial " << trial;
    EXPECT_EQ(merged, want_after) << "trial " << trial;

    std::vector<int32_t> bubbled = v;
    EXPECT_EQ(getResult2(bubbled.data(), lo, hi), want) << "trial " << trial;
    EXPECT_EQ(bubbled, want_after) << "trial " << trial;
    if (HasFailure()) {
      return;
    }
  }
}

TEST(GetResult, LongerRangesOfEveryTailShapeMatchBruteForce) {
  std::mt19937 rng(7);
  // Lengths around powers of two leave every kind of unequal last pair.
  // Past 4096 values the last merges are cut in two and run side by side.
  for (int32_t len : {511, 512, 513, 1000, 1023, 1024, 1025, 1537, 2049, 3000, 4097, 6000, 9001}) {
    for (int shape = 0; shape < 3; ++shape) {
      std::vector<int32_t> v(static_cast<size_t>(len) + 2);
      for (int32_t& x : v) {
        x = draw(rng, shape);
      }
      const int64_t want = brute_force_count(v, 1, len + 1);
      const std::vector<int32_t> want_after = expected_after(v, 1, len + 1);
      EXPECT_EQ(getResult(v.data(), 1, len + 1), want) << len << " shape " << shape;
      EXPECT_EQ(v, want_after) << len << " shape " << shape;
    }
  }
}

TEST(GetResult, OrderedShapesHaveKnownCounts) {
  const int32_t n = 5000;
  std::vector<int32_t> descending(n);
  std::vector<int32_t> ascending(n);
  std::vector<int32_t> equal(n, 7);
  for (int32_t i = 0; i < n; ++i) {
    descending[static_cast<size_t>(i)] = n - i;
    ascending[static_cast<size_t>(i)] = i;
  }
  EXPECT_EQ(getResult(descending.data(), 0, n), int64_t{n} * (n - 1) / 2);
  EXPECT_TRUE(std::is_sorted(descending.begin(), descending.end()));
  EXPECT_EQ(getResult(ascending.data(), 0, n), 0);
  EXPECT_EQ(getResult(equal.data(), 0, n), 0);
}

TEST(GetResult, LongBlocksCountPastThirtyTwoBits) {
  std::mt19937 rng(12);
  // Random values: about 10^10 inversions, and the cut of the last merge
  // adds a product of run lengths past 2^31.
  std::vector<int32_t> random(200000);
  for (int32_t& x : random) {
    x = draw(rng, 2);
  }
  // Two halves of 2^18 values, each shuffled, whose last merge is cut after
  // the lowest 2^18 values. In the second part the back then places the
  // 2^16 highest values, all left ones, and leaves 2^17 right values, each
  // less than all of those: a product of 2^33.
  const int32_t half = 1 << 18;
  std::vector<int32_t> left;
  std::vector<int32_t> right;
  for (int32_t v = 0; v < 2 * half; ++v) {
    const bool is_left = v < half ? v % 4 != 0 : v >= half + 3 * half / 4;
    (is_left ? left : right).push_back(v);
  }
  std::shuffle(left.begin(), left.end(), rng);
  std::shuffle(right.begin(), right.end(), rng);
  left.insert(left.end(), right.begin(), right.end());
  for (std::vector<int32_t>* v : {&random, &left}) {
    const auto n = static_cast<int32_t>(v->size());
    const int64_t want = testsupport::fenwick_count(*v);
    ASSERT_GT(want, int64_t{1} << 32);
    const std::vector<int32_t> want_after = expected_after(*v, 0, n);
    EXPECT_EQ(getResult(v->data(), 0, n), want) << n << " values";
    EXPECT_EQ(*v, want_after) << n << " values";
  }
}

TEST(GetResult, SmallBlocksOfTheTable) {
  struct Case {
    std::vector<int32_t> values;
    int64_t count;
  };
  const Case cases[] = {
      {{9, 1, 0, 5, 4}, 6}, {{42}, 0},   {{5, 5}, 0}, {{5, 5, 5, 5}, 0},
      {{16, 8, 9}, 2},      {{2, 1}, 1}, {{1, 2}, 0},
  };
  for (const Case& c : cases) {
    std::vector<int32_t> merged = c.values;
    std::vector<int32_t> bubbled = c.values;
    const auto hi = static_cast<int32_t>(c.values.size());
    EXPECT_EQ(getResult(merged.data(), 0, hi), c.count);
    EXPECT_EQ(getResult2(bubbled.data(), 0, hi), c.count);
    EXPECT_TRUE(std::is_sorted(merged.begin(), merged.end()));
    EXPECT_EQ(merged, bubbled);
  }
}

TEST(GetResult, RangeLongerThanTheFixedBufferUsesAGrownOne) {
  const auto n = static_cast<int32_t>(mergecount::capacity + 3);
  std::vector<int32_t> v(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    v[static_cast<size_t>(i)] = n - i;
  }
  EXPECT_EQ(getResult(v.data(), 0, n), int64_t{n} * (n - 1) / 2);
  EXPECT_TRUE(std::is_sorted(v.begin(), v.end()));
  // The fixed buffer serves shorter ranges again afterwards.
  std::vector<int32_t> w = {3, 2, 1};
  EXPECT_EQ(getResult(w.data(), 0, 3), 3);
}

// Every path getResult may take, and whether this build and processor have it.
struct Path {
  const char* name;
  int64_t (*count)(int32_t*, int32_t, int32_t);
  bool here;
  const char* missing;  // why not, where not
};

// Names the path in the test's messages.
void PrintTo(const Path& path, std::ostream* out) {
  *out << path.name;
}

const Path every_path[] = {
    {"scalar", mergecount::getResultScalar, true, ""},
    {"avx2", mergecount::getResultAvx2, mergecount::haveAvx2(),
     MERGECOUNT_AVX2 != 0 ? "this processor lacks AVX2 or POPCNT" : "only in a build for x86-64"},
};

enum Shape {
  random_values,   // the whole 32-bit range
  few_distinct,    // 0, 1 and 2
  all_equal,       //
  descending,      // n down to 1
  ascending,       // 1 up to n
  extremes,        // INT32_MIN, -1, 0 and INT32_MAX
  all_negative,    //
  all_positive,    //
  sixteen_values,  // sixteen drawn from the whole range
  few_negative,    // one in sixteen negative: a small negative half
  shapes
};

const char* const shape_names[] = {"random",         "few distinct", "all equal", "descending",
                                   "ascending",      "extremes",     "negative",  "positive",
                                   "sixteen values", "few negative"};

std::vector<int32_t> values_of(Shape shape, size_t n, std::mt19937& rng) {
  constexpr int32_t lowest = std::numeric_limits<int32_t>::min();
  constexpr int32_t highest = std::numeric_limits<int32_t>::max();
  std::vector<int32_t> sixteen(16);
  for (int32_t& x : sixteen) {
    x = static_cast<int32_t>(rng());
  }
  std::vector<int32_t> v(n);
  for (size_t i = 0; i < n; ++i) {
    const uint32_t r = rng();
    switch (shape) {
      case random_values:
        v[i] = static_cast<int32_t>(r);
        break;
      case few_distinct:
        v[i] = static_cast<int32_t>(r % 3);
        break;
      case all_equal:
        v[i] = -7;
        break;
      case descending:
        v[i] = static_cast<int32_t>(n - i);
        break;
      case ascending:
        v[i] = static_cast<int32_t>(i + 1);
        break;
      case extremes:
        v[i] = std::array<int32_t, 4>{lowest, -1, 0, highest}[r % 4];
        break;
      case all_negative:
        v[i] = static_cast<int32_t>(r | 0x8000'0000U);
        break;
      case all_positive:
        v[i] = static_cast<int32_t>(r & 0x7FFF'FFFFU) | 1;
        break;
      case sixteen_values:
        v[i] = sixteen[r % 16];
        break;
      default:
        v[i] = static_cast<int32_t>(r % 16 == 0 ? r | 0x8000'0000U : r & 0x7FFF'FFFFU);
        break;
    }
  }
  return v;
}

// The inversions of values of at most 16 distinct values, from how many of
// each came before: quick enough for the longest ranges.
int64_t count_by_histogram(const std::vector<int32_t>& v) {
  std::vector<int32_t> distinct;
  for (int32_t x : v) {
    if (std::find(distinct.begin(), distinct.end(), x) == distinct.end()) {
      distinct.push_back(x);
    }
  }
  std::sort(distinct.begin(), distinct.end());
  std::array<int64_t, 16> seen{};
  int64_t count = 0;
  for (int32_t x : v) {
    const auto rank = static_cast<size_t>(std::lower_bound(distinct.begin(), distinct.end(), x) -
                                          distinct.begin());
    for (size_t greater = rank + 1; greater < distinct.size(); ++greater) {
      count += seen[greater];
    }
    ++seen[rank];
  }
  return count;
}

// A sum over the values that does not depend on their order, to show that a
// long range still holds the values it had.
uint64_t multiset_hash(const int32_t* v, size_t n) {
  uint64_t sum = 0;
  for (size_t i = 0; i < n; ++i) {
    uint64_t z = static_cast<uint32_t>(v[i]) + 0x9E37'79B9'7F4A'7C15U;
    z = (z ^ (z >> 30)) * 0xBF58'476D'1CE4'E5B9U;
    z = (z ^ (z >> 27)) * 0x94D0'49BB'1331'11EBU;
    sum += z ^ (z >> 31);
  }
  return sum;
}

// The lengths: every one up to 300, and around every power of two from 2^9
// to 2^24, each with the shapes it is run on. The longest have few shapes,
// and shapes whose answers are quick to know, and past 2^20 one length of
// the three in turn, to keep the time sane under the sanitizers and
// emulators.
std::vector<std::pair<size_t, Shape>> cases() {
  std::vector<std::pair<size_t, Shape>> all;
  for (size_t n = 0; n <= 300; ++n) {
    for (int s = 0; s < shapes; ++s) {
      all.emplace_back(n, static_cast<Shape>(s));
    }
  }
  int turn = 0;
  for (int k = 9; k <= 24; ++k) {
    for (const size_t n : {(size_t{1} << k) - 1, size_t{1} << k, (size_t{1} << k) + 1}) {
      if (k <= 16) {
        for (int s = 0; s < shapes; ++s) {
          all.emplace_back(n, static_cast<Shape>(s));
        }
      } else if (k <= 20) {
        all.emplace_back(n, random_values);
        all.emplace_back(n, static_cast<Shape>(1 + turn++ % (shapes - 1)));
      } else if (n + 1 == (size_t{1} << k) + size_t(k % 3)) {  // 2^k - 1, 2^k, 2^k + 1 in turn
        all.emplace_back(n, std::array<Shape, 4>{few_distinct, descending, extremes,
                                                 sixteen_values}[turn++ % 4]);
      }
    }
  }
  all.emplace_back((size_t{1} << 24) + 37, random_values);
  return all;
}

class MergePath : public testing::TestWithParam<Path> {};

// Each range starts at an offset from 0 to 7 into its storage, so that the
// vector loads fall across every alignment, with guard values on both sides.
// The references: the bubble counter and the Fenwick count up to 300
// values; beyond, closed forms, counts of few distinct values, or the
// Fenwick count up to 2^20 + 1; and always the scalar path, whose output the
// vector path must match exactly.
TEST_P(MergePath, HoldsToTheReferencesOnEveryLengthAndShape) {
  const Path& path = GetParam();
  if (!path.here) {
    GTEST_SKIP() << path.name << " path: " << path.missing;
  }
  std::mt19937 rng(24);
  constexpr int32_t guard = 0x5A5A'5A5A;
  for (const auto& [n, shape] : cases()) {
    const std::vector<int32_t> values = values_of(shape, n, rng);
    const size_t lo = (n + shape) % 8;
    std::vector<int32_t> v(lo + n + 8, guard);
    std::copy(values.begin(), values.end(), v.begin() + static_cast<ptrdiff_t>(lo));
    const auto first = static_cast<int32_t>(lo);
    const auto last = static_cast<int32_t>(lo + n);
    const std::string what = std::to_string(n) + " values, " + shape_names[shape];

    int64_t want = -1;  // -1: no reference but the scalar path's
    if (n <= 300) {
      std::vector<int32_t> bubbled = v;
      want = getResult2(bubbled.data(), first, last);
      ASSERT_EQ(testsupport::fenwick_count(values), want) << what;
    } else if (shape == descending) {
      want = static_cast<int64_t>(n) * static_cast<int64_t>(n - 1) / 2;
    } else if (shape == ascending || shape == all_equal) {
      want = 0;
    } else if (shape == few_distinct || shape == extremes || shape == sixteen_values) {
      want = count_by_histogram(values);
    } else if (n <= (size_t{1} << 20) + 1) {
      want = testsupport::fenwick_count(values);
    }
    std::vector<int32_t> got = v;
    const int64_t count = path.count(got.data(), first, last);
    if (want >= 0) {
      ASSERT_EQ(count, want) << what;
    }
    const auto range = got.begin() + first;
    ASSERT_TRUE(std::is_sorted(range, got.begin() + last)) << what;
    ASSERT_EQ(multiset_hash(got.data() + lo, n), multiset_hash(values.data(), n)) << what;
    ASSERT_TRUE(std::all_of(got.begin(), range, [](int32_t x) { return x == guard; })) << what;
    ASSERT_TRUE(std::all_of(got.begin() + last, got.end(), [](int32_t x) { return x == guard; }))
        << what;
    if (path.count != mergecount::getResultScalar) {
      std::vector<int32_t> scalar = v;
      ASSERT_EQ(count, mergecount::getResultScalar(scalar.data(), first, last)) << what;
      ASSERT_EQ(got, scalar) << what;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, MergePath, testing::ValuesIn(every_path),
                         [](const testing::TestParamInfo<Path>& info) { return info.param.name; });

#if MERGECOUNT_AVX2
// The vector path's networks on every input of 0s and 1s they may be given:
// a network of comparisons that sorts (or merges) all of those sorts (or
// merges) any keys. Each key here is a value shifted left, its low bit the
// tag.

using mergecount::avx2::mergeEight;
using mergecount::avx2::mergePass;
using mergecount::avx2::sortSixteens;

// `zeros` 0s and then 1s, as keys of a run of len tagged tag.
std::vector<uint32_t> zero_one_run(size_t len, size_t zeros, uint32_t tag) {
  std::vector<uint32_t> run(len, 2 | tag);
  std::fill_n(run.begin(), zeros, tag);
  return run;
}

TEST(Avx2Networks, MergeEightMergesEveryPairOfSortedZeroOneVectors) {
  if (!mergecount::haveAvx2()) {
    GTEST_SKIP() << "avx2 path: this processor lacks AVX2 or POPCNT";
  }
  for (const auto& [lower_down, upper_down] :
       {std::pair{false, false}, {false, true}, {true, false}}) {
    for (size_t a = 0; a <= 8; ++a) {
      for (size_t b = 0; b <= 8; ++b) {
        std::vector<uint32_t> keys = zero_one_run(8, a, 0);
        const std::vector<uint32_t> right = zero_one_run(8, b, 0);
        keys.insert(keys.end(), right.begin(), right.end());
        mergeEight(keys.data(), lower_down, upper_down);
        std::vector<uint32_t> want = zero_one_run(16, a + b, 0);
        if (lower_down) {
          std::reverse(want.begin(), want.begin() + 8);
        }
        if (upper_down) {
          std::reverse(want.begin() + 8, want.end());
        }
        ASSERT_EQ(keys, want) << a << " and " << b << " zeros";
      }
    }
  }
}

// All 2^16 runs of 0s and 1s, sorted one run at a time (where the block of
// eight 8-runs is mostly filler), three at a time and four at a time, with
// their tags set at random to show that they are ignored.
TEST(Avx2Networks, SortSixteensSortsAndCountsEveryZeroOneRun) {
  if (!mergecount::haveAvx2()) {
    GTEST_SKIP() << "avx2 path: this processor lacks AVX2 or POPCNT";
  }
  std::mt19937 rng(16);
  for (const size_t runs : {1, 3, 4}) {
    for (uint32_t pattern = 0; pattern < 0x10000; pattern += runs) {
      std::vector<uint32_t> keys;
      int64_t want = 0;
      for (uint32_t p = pattern; p < pattern + runs; ++p) {
        const uint32_t bits = p & 0xFFFF;
        for (int i = 0; i < 16; ++i) {
          keys.push_back((bits >> i & 1) << 1 | (rng() & 1));
          for (int j = i + 1; j < 16; ++j) {
            want += (bits >> i & 1) > (bits >> j & 1) ? 1 : 0;
          }
        }
      }
      ASSERT_EQ(sortSixteens(keys.data(), static_cast<ptrdiff_t>(keys.size())), want) << pattern;
      for (size_t j = 0; j < runs; ++j) {
        const auto bits = static_cast<uint32_t>((pattern + j) & 0xFFFF);
        const std::vector<uint32_t> want_run =
            zero_one_run(16, 16 - static_cast<size_t>(std::popcount(bits)), j % 2);
        ASSERT_TRUE(std::equal(want_run.begin(), want_run.end(), keys.begin() + 16 * j))
            << pattern + j;
      }
    }
  }
}

// Runs of 0s and 1s in every mix of lengths: one pair of equal runs, a
// shorter last run (which the merge finishes with checked steps), a pair
// and a lone run, and two pairs merged side by side.
TEST(Avx2Networks, MergePassMergesEveryPairOfSortedZeroOneRuns) {
  if (!mergecount::haveAvx2()) {
    GTEST_SKIP() << "avx2 path: this processor lacks AVX2 or POPCNT";
  }
  const std::pair<size_t, size_t> layouts[] = {{16, 32},  {32, 64}, {32, 48}, {64, 80},
                                               {64, 112}, {16, 48}, {16, 64}};
  for (const auto& [w, len] : layouts) {
    const size_t runs = (len + w - 1) / w;
    std::vector<size_t> zeros(runs, 0);
    for (;;) {
      std::vector<uint32_t> src;
      for (size_t j = 0; j < runs; ++j) {
        const std::vector<uint32_t> run =
            zero_one_run(std::min(w, len - j * w), zeros[j], static_cast<uint32_t>(j % 2));
        src.insert(src.end(), run.begin(), run.end());
      }
      std::vector<uint32_t> dst(len + 8, 7);
      const int64_t got =
          mergePass(src.data(), dst.data(), static_cast<ptrdiff_t>(len), static_cast<ptrdiff_t>(w));
      int64_t want = 0;
      std::vector<uint32_t> want_dst;
      for (size_t j = 0; j < runs; j += 2) {
        const size_t left = std::min(w, len - j * w);
        const size_t right = j + 1 < runs ? std::min(w, len - (j + 1) * w) : 0;
        const size_t right_zeros = j + 1 < runs ? zeros[j + 1] : 0;
        want += static_cast<int64_t>((left - zeros[j]) * right_zeros);
        const std::vector<uint32_t> run =
            zero_one_run(left + right, zeros[j] + right_zeros, static_cast<uint32_t>(j / 2 % 2));
        want_dst.insert(want_dst.end(), run.begin(), run.end());
      }
      want_dst.resize(len + 8, 7);
      ASSERT_EQ(got, want) << w << " " << len << " " << zeros[0];
      ASSERT_EQ(dst, want_dst) << w << " " << len << " " << zeros[0];
      // The next mix of zero counts, the first run's counting fastest.
      size_t j = 0;
      for (; j < runs; ++j) {
        if (++zeros[j] <= std::min(w, len - j * w)) {
          break;
        }
        zeros[j] = 0;
      }
      if (j == runs) {
        break;
      }
    }
  }
}
#else
TEST(Avx2Networks, OnlyInABuildForX86_64) {
  GTEST_SKIP() << "avx2 path: only in a build for x86-64";
}
#endif

}  // namespace
