#include "merge.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "fenwick_count.hpp"

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

}  // namespace
