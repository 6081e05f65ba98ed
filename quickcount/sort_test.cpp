#include "sort.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <random>
#include <vector>

#include "fenwick_count.hpp"
#include "hostile_orders.hpp"

namespace {

int64_t brute_force_count(const std::vector<int32_t>& v) {
  int64_t pairs = 0;
  for (size_t i = 0; i < v.size(); ++i) {
    for (size_t j = i + 1; j < v.size(); ++j) {
      pairs += v[i] > v[j] ? 1 : 0;
    }
  }
  return pairs;
}

constexpr int32_t marker = 0x5a5a5a5a;

// Sorts values with quickcount::sort at positions [lo, lo + n) of arrays that
// hold exactly lo + n + after values, so that the sanitizers catch any access
// past them, and checks that nothing outside the range changed. Returns the
// count sort added; leaves values sorted.
int64_t sort_placed(std::vector<int32_t>& values, size_t lo = 0, size_t after = 0) {
  std::vector<int32_t> block(lo + values.size() + after, marker);
  std::vector<int32_t> work(block.size(), marker);
  std::copy(values.begin(), values.end(), block.begin() + static_cast<std::ptrdiff_t>(lo));
  quickcount::p = block;
  quickcount::scratch = work;
  quickcount::count = 1000;
  quickcount::sort(static_cast<int32_t>(lo), static_cast<int32_t>(lo + values.size()));
  for (size_t i = 0; i < block.size(); ++i) {
    if (i < lo || i >= lo + values.size()) {
      EXPECT_EQ(block[i], marker) << i;
      EXPECT_EQ(work[i], marker) << i;
    }
  }
  std::copy_n(block.begin() + static_cast<std::ptrdiff_t>(lo), values.size(), values.begin());
  quickcount::p = {};
  quickcount::scratch = {};
  return quickcount::count - 1000;
}

// A block of the given length in one of several shapes: few or many distinct
// values, negative values, the extremes of the range, and ordered shapes
// including the orders that defeat the middle pivot.
std::vector<int32_t> random_block(std::mt19937& rng, int32_t n, int shape) {
  std::vector<int32_t> v(static_cast<size_t>(n));
  auto in = [&rng](int32_t lo, int32_t hi) {
    return std::uniform_int_distribution<int32_t>(lo, hi)(rng);
  };
  switch (shape) {
    case 0:
      for (auto& x : v) {
        x = in(0, 2);
      }
      break;
    case 1:
      for (auto& x : v) {
        x = in(-20, 20);
      }
      break;
    case 2:
      for (auto& x : v) {
        x = in(INT32_MIN, INT32_MAX);
      }
      break;
    case 3:
      for (auto& x : v) {
        x = in(0, 3) == 0 ? (in(0, 1) == 0 ? INT32_MIN : INT32_MAX) : in(-1, 1);
      }
      break;
    case 4:
      v = testsupport::hostile_order(n, true);
      break;
    case 5:
      v = testsupport::hostile_order(n, false);
      break;
    case 6:
      v = testsupport::hostile_order(n, in(0, 1) == 0, in(0, n), rng());
      for (auto& x : v) {
        x = in(0, 4) == 0 ? x / 4 - 30 : x;  // with some copies and negative values
      }
      break;
    case 7:
      for (int32_t i = 0; i < n; ++i) {
        v[static_cast<size_t>(i)] = std::min(i, n - i) * (in(0, 1) == 0 ? 1 : -1);
      }
      break;
    default:
      for (int32_t i = 0; i < n; ++i) {
        v[static_cast<size_t>(i)] = n - i - in(0, 3);
      }
      break;
  }
  return v;
}

TEST(Sort, MatchesBruteForceOnThousandsOfRandomBlocks) {
  std::mt19937 rng(31);
  for (int round = 0; round < 6000; ++round) {
    const int32_t n = std::uniform_int_distribution<int32_t>(0, 300)(rng);
    std::vector<int32_t> v = random_block(rng, n, round % 9);
    const int64_t want = brute_force_count(v);
    ASSERT_EQ(testsupport::fenwick_count(v), want);  // the yardstick of the longer tests
    std::vector<int32_t> sorted = v;
    std::sort(sorted.begin(), sorted.end());
    const size_t lo = round % 3 == 0 ? rng() % 50 : 0;
    const size_t after = round % 5 == 0 ? rng() % 50 : 0;
    ASSERT_EQ(sort_placed(v, lo, after), want) << "shape " << round % 9 << ", n " << n;
    ASSERT_EQ(v, sorted) << "shape " << round % 9 << ", n " << n;
  }
}

TEST(Sort, MatchesFenwickCountOnLongBlocks) {
  std::mt19937 rng(5);
  for (int shape = 0; shape < 9; ++shape) {
    for (int32_t n : {4097, 100000}) {
      std::vector<int32_t> v = random_block(rng, n, shape);
      const int64_t want = testsupport::fenwick_count(v);
      std::vector<int32_t> sorted = v;
      std::sort(sorted.begin(), sorted.end());
      EXPECT_EQ(sort_placed(v, 7, 3), want) << "shape " << shape << ", n " << n;
      EXPECT_EQ(v, sorted) << "shape " << shape << ", n " << n;
    }
  }
}

TEST(Sort, EmptyAndReversedRangesChangeNothing) {
  std::vector<int32_t> block = {3, 2, 1};
  std::vector<int32_t> work(3, 0);
  quickcount::p = block;
  quickcount::scratch = work;
  quickcount::count = 5;
  quickcount::sort(0, 0);
  quickcount::sort(2, 1);
  quickcount::sort(0, -7);
  EXPECT_EQ(quickcount::count, 5);
  EXPECT_EQ(block, (std::vector<int32_t>{3, 2, 1}));
  quickcount::sort(1, 3);
  EXPECT_EQ(quickcount::count, 6);
  EXPECT_EQ(block, (std::vector<int32_t>{3, 1, 2}));
}

// The partition as described, on a list: the middle element as pivot, the
// smaller values in their order before it, the greater ones after. Checks
// that the pivot is the largest (or the smallest) of its range at each of
// the first `levels` levels.
void expect_hostile(const std::vector<int32_t>& order, bool middle_largest, size_t levels) {
  std::vector<int32_t> range = order;
  for (size_t level = 0; level < levels && !range.empty(); ++level) {
    const int32_t pivot = range[range.size() / 2];
    const auto [low, high] = std::minmax_element(range.begin(), range.end());
    ASSERT_EQ(pivot, middle_largest ? *high : *low) << "level " << level;
    range.erase(range.begin() + static_cast<std::ptrdiff_t>(range.size() / 2));
  }
}

TEST(HostileOrder, MakesTheMiddleTheLargestOrSmallestAtEveryLevel) {
  for (int32_t n = 0; n <= 400; ++n) {
    for (bool largest : {true, false}) {
      const std::vector<int32_t> order = testsupport::hostile_order(n, largest);
      std::vector<int32_t> sorted = order;
      std::sort(sorted.begin(), sorted.end());
      for (int32_t i = 0; i < n; ++i) {
        ASSERT_EQ(sorted[static_cast<size_t>(i)], i) << "not a permutation, n " << n;
      }
      expect_hostile(order, largest, static_cast<size_t>(n));
    }
  }
}

TEST(HostileOrder, KeepsToTheLevelsAskedFor) {
  for (int32_t levels : {0, 1, 10, 100}) {
    const std::vector<int32_t> order = testsupport::hostile_order(1000, false, levels, 3);
    std::vector<int32_t> sorted = order;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted.front(), 0);
    EXPECT_EQ(sorted.back(), 999);
    EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end());
    expect_hostile(order, false, static_cast<size_t>(levels));
  }
}

}  // namespace
