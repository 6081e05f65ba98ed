#include "sort.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <iterator>
#include <ostream>
#include <random>
#include <utility>
#include <vector>

#include "fenwick_count.hpp"
#include "hostile_orders.hpp"
#include "split_avx2.hpp"

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

// Every partition path sort may take, and whether this build and processor
// have it.
struct Path {
  const char* name;
  std::ptrdiff_t (*split)(int32_t*, int32_t*, std::ptrdiff_t, std::ptrdiff_t, std::ptrdiff_t&);
  void (*sort)(int32_t, int32_t);
  bool here;
  const char* missing;  // why not, where not
};

// Names the path in the test's messages.
void PrintTo(const Path& path, std::ostream* out) {
  *out << path.name;
}

const Path every_path[] = {
    {"scalar", quickcount::split_scalar, quickcount::sort_scalar, true, ""},
    {"avx2", quickcount::split_avx2, quickcount::sort_avx2, quickcount::have_avx2(),
     QUICKCOUNT_AVX2 != 0 ? "this processor lacks AVX2 or POPCNT" : "only in a build for x86-64"},
};

enum Shape {
  random_values,   // the whole 32-bit range
  few_distinct,    // 0, 1 and 2
  all_equal,       //
  ascending,       // 1 up to n
  descending,      // n down to 1
  extremes,        // INT32_MIN, -1, 0 and INT32_MAX
  all_negative,    //
  sixteen_values,  // sixteen drawn from the whole range
  hostile,         // the middle the largest at every level
  shapes
};

std::vector<int32_t> values_of(Shape shape, int32_t n, std::mt19937& rng) {
  std::vector<int32_t> v(static_cast<size_t>(n));
  auto in = [&rng](int32_t lo, int32_t hi) {
    return std::uniform_int_distribution<int32_t>(lo, hi)(rng);
  };
  std::vector<int32_t> sixteen(16);
  for (auto& x : sixteen) {
    x = in(INT32_MIN, INT32_MAX);
  }
  constexpr int32_t ends[] = {INT32_MIN, -1, 0, INT32_MAX};
  for (int32_t i = 0; i < n; ++i) {
    int32_t& x = v[static_cast<size_t>(i)];
    switch (shape) {
      case random_values:
        x = in(INT32_MIN, INT32_MAX);
        break;
      case few_distinct:
        x = in(0, 2);
        break;
      case all_equal:
        x = 7;
        break;
      case ascending:
        x = i + 1;
        break;
      case descending:
        x = n - i;
        break;
      case extremes:
        x = ends[in(0, 3)];
        break;
      case all_negative:
        x = in(INT32_MIN, -1);
        break;
      case sixteen_values:
        x = sixteen[static_cast<size_t>(in(0, 15))];
        break;
      default:
        break;
    }
  }
  if (shape == hostile) {
    v = testsupport::hostile_order(n, true);
  }
  return v;
}

// The table both paths are held to: every length from 0 to 300 (every tail
// past the vectors, around the small sort's 32), and some longer ones around
// powers of two, in every shape.
std::vector<std::pair<int32_t, Shape>> cases() {
  std::vector<std::pair<int32_t, Shape>> all;
  for (int shape = 0; shape < shapes; ++shape) {
    for (int32_t n = 0; n <= 300; ++n) {
      all.emplace_back(n, static_cast<Shape>(shape));
    }
    for (int32_t n : {1023, 1024, 1025, 4103, 65536, 65543}) {
      all.emplace_back(n, static_cast<Shape>(shape));
    }
  }
  return all;
}

// The inversions across the groups a split by pivot makes, pair by pair.
int64_t brute_force_across(const std::vector<int32_t>& v, int32_t pivot) {
  auto group = [pivot](int32_t x) { return x < pivot ? 0 : x == pivot ? 1 : 2; };
  int64_t pairs = 0;
  for (size_t i = 0; i < v.size(); ++i) {
    for (size_t j = i + 1; j < v.size(); ++j) {
      pairs += v[i] > v[j] && group(v[i]) != group(v[j]) ? 1 : 0;
    }
  }
  return pairs;
}

class SortPath : public testing::TestWithParam<Path> {};

// Each range starts at an offset from 0 to 7 into its storage, so that the
// vector loads fall across every alignment, with guard values on both sides.
// The split's groups must be the values of each group in their order, its
// count the brute-force one up to 300 values and the scalar path's beyond.
TEST_P(SortPath, SplitsEveryLengthAndShapeStablyWithItsCount) {
  const Path& path = GetParam();
  if (!path.here) {
    GTEST_SKIP() << path.name << " path: " << path.missing;
  }
  std::mt19937 rng(24);
  for (const auto& [n, shape] : cases()) {
    if (n == 0) {
      continue;  // a split has a pivot
    }
    const std::vector<int32_t> values = values_of(shape, n, rng);
    const auto size = static_cast<size_t>(n);
    const size_t lo = (size + shape) % 8;
    const int32_t pivot = values[size / 2];
    const auto copies = std::count(values.begin(), values.end(), pivot);
    std::vector<int32_t> want;
    std::copy_if(values.begin(), values.end(), std::back_inserter(want),
                 [pivot](int32_t x) { return x < pivot; });
    want.insert(want.end(), static_cast<size_t>(copies), pivot);
    std::copy_if(values.begin(), values.end(), std::back_inserter(want),
                 [pivot](int32_t x) { return x > pivot; });
    std::vector<int32_t> from(lo + size + 8, marker);
    std::vector<int32_t> to(from.size(), marker);
    std::copy(values.begin(), values.end(), from.begin() + static_cast<std::ptrdiff_t>(lo));
    quickcount::count = 5;
    std::ptrdiff_t equal = -1;
    const std::ptrdiff_t less = path.split(from.data() + lo, to.data() + lo, n,
                                           static_cast<std::ptrdiff_t>(size / 2), equal);
    const int64_t got = quickcount::count - 5;
    ASSERT_EQ(equal, copies) << "shape " << shape << ", n " << n;
    ASSERT_EQ(less,
              std::count_if(values.begin(), values.end(), [pivot](int32_t x) { return x < pivot; }))
        << "shape " << shape << ", n " << n;
    std::fill(to.begin() + static_cast<std::ptrdiff_t>(lo) + less,
              to.begin() + static_cast<std::ptrdiff_t>(lo) + less + equal, pivot);
    ASSERT_EQ(std::vector<int32_t>(to.begin() + static_cast<std::ptrdiff_t>(lo),
                                   to.begin() + static_cast<std::ptrdiff_t>(lo + size)),
              want)
        << "shape " << shape << ", n " << n;
    for (size_t i = 0; i < from.size(); ++i) {
      if (i < lo || i >= lo + size) {
        ASSERT_EQ(from[i], marker) << "shape " << shape << ", n " << n << ", at " << i;
        ASSERT_EQ(to[i], marker) << "shape " << shape << ", n " << n << ", at " << i;
      }
    }
    if (n <= 300) {
      ASSERT_EQ(got, brute_force_across(values, pivot)) << "shape " << shape << ", n " << n;
    } else {
      std::vector<int32_t> other = values;
      std::vector<int32_t> work(size);
      quickcount::count = 0;
      std::ptrdiff_t scalar_equal = 0;
      quickcount::split_scalar(other.data(), work.data(), n, static_cast<std::ptrdiff_t>(size / 2),
                               scalar_equal);
      ASSERT_EQ(got, quickcount::count) << "shape " << shape << ", n " << n;
    }
  }
}

// The whole sort on each path: sorted, with the brute-force count up to 300
// values and the Fenwick count beyond, nothing outside the range touched.
TEST_P(SortPath, SortsEveryLengthAndShapeWithItsCount) {
  const Path& path = GetParam();
  if (!path.here) {
    GTEST_SKIP() << path.name << " path: " << path.missing;
  }
  std::mt19937 rng(25);
  for (const auto& [n, shape] : cases()) {
    const std::vector<int32_t> values = values_of(shape, n, rng);
    const auto size = static_cast<size_t>(n);
    const size_t lo = (size + shape) % 8;
    std::vector<int32_t> block(lo + size + 8, marker);
    std::vector<int32_t> work(block.size(), marker);
    std::copy(values.begin(), values.end(), block.begin() + static_cast<std::ptrdiff_t>(lo));
    quickcount::p = block;
    quickcount::scratch = work;
    quickcount::count = 0;
    path.sort(static_cast<int32_t>(lo), static_cast<int32_t>(lo + size));
    const int64_t want = n <= 300 ? brute_force_count(values) : testsupport::fenwick_count(values);
    ASSERT_EQ(quickcount::count, want) << "shape " << shape << ", n " << n;
    std::vector<int32_t> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    ASSERT_EQ(std::vector<int32_t>(block.begin() + static_cast<std::ptrdiff_t>(lo),
                                   block.begin() + static_cast<std::ptrdiff_t>(lo + size)),
              sorted)
        << "shape " << shape << ", n " << n;
    for (size_t i = 0; i < block.size(); ++i) {
      if (i < lo || i >= lo + size) {
        ASSERT_EQ(block[i], marker) << "shape " << shape << ", n " << n << ", at " << i;
        ASSERT_EQ(work[i], marker) << "shape " << shape << ", n " << n << ", at " << i;
      }
    }
  }
  quickcount::p = {};
  quickcount::scratch = {};
}

INSTANTIATE_TEST_SUITE_P(Paths, SortPath, testing::ValuesIn(every_path),
                         [](const testing::TestParamInfo<Path>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
