// End-to-end tests whose inputs are generated: large blocks, counts printed
// in two pieces, long blocks in a row against an independent count, and
// unwritable output.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "fenwick_count.hpp"
#include "run_program.hpp"

namespace {

std::string descending_block(int64_t n) {
  std::string input = std::to_string(n) + "\n";
  for (int64_t v = n; v > 0; --v) {
    input += std::to_string(v);
    input += v % 10 == 0 ? '\n' : ' ';
  }
  return input;
}

// A block with exactly `count` inversions: k values in descending order hold
// k(k-1)/2 of them, and one more value after them is smaller than exactly
// the remaining r of those.
std::string block_with_inversions(int64_t count) {
  int64_t k = 1;
  while ((k + 1) * k / 2 <= count) {
    ++k;
  }
  const int64_t r = count - k * (k - 1) / 2;
  std::string input = std::to_string(k + 1) + "\n";
  for (int64_t v = k - 1; v >= 0; --v) {
    input += std::to_string(2 * v) + " ";
  }
  return input + std::to_string(2 * (k - r) - 1) + "\n";
}

TEST(MergecountEndToEnd, MillionDescendingValuesPrintInTwoPieces) {
  const auto run = testsupport::run_program(PROGRAM_PATH, descending_block(1000000) + "0\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, "499999500000\n");
}

TEST(MergecountEndToEnd, CountsAroundOneThousandMillionPrintTheirDecimalDigits) {
  std::string input;
  std::string want;
  for (int64_t count : {999999999LL, 1000000000LL, 1000000001LL, 1000000010LL, 2000000005LL,
                        1999999999LL, 3000000000LL}) {
    input += block_with_inversions(count);
    want += std::to_string(count) + "\n";
  }
  const auto run = testsupport::run_program(PROGRAM_PATH, input);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, want);
}

// Blocks longer than the fixed storage in a row, different in content, the
// second shorter than the first and the third longer, then a short one: each
// is counted on its own values alone, whatever storage the one before took.
TEST(MergecountEndToEnd, LongBlocksInARowThenAShortOne) {
  std::mt19937 rng(29);
  std::string input;
  std::string want;
  for (size_t n : {1200000, 1100000, 1300000}) {
    std::vector<int32_t> values(n);
    input += std::to_string(n) + "\n";
    for (auto& v : values) {
      v = static_cast<int32_t>(rng() % (n / 1000));  // many equal values
      input += std::to_string(v) + " ";
    }
    want += std::to_string(testsupport::fenwick_count(values)) + "\n";
  }
  const auto run = testsupport::run_program(PROGRAM_PATH, input + "\n3 3 2 1\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, want + "3\n");
}

TEST(MergecountEndToEnd, HugeCountWithFewValuesEndsWithoutHugeStorage) {
  const auto run = testsupport::run_program(PROGRAM_PATH, "2 2 1\n2000000000 1 2 3\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, "1\n");
  rusage children{};
  ASSERT_EQ(getrusage(RUSAGE_CHILDREN, &children), 0);
  EXPECT_LT(children.ru_maxrss, 256 * 1024) << "peak resident KiB of a child";
}

TEST(MergecountEndToEnd, UnwritableOutputAtSeveralSizesIsStatusOne) {
  for (size_t bytes : testsupport::unwritable_output_sizes) {
    std::string input;
    for (size_t n = 0; n < bytes; n += 2) {
      input += "2 2 1\n";  // prints "1\n"
    }
    const auto run = testsupport::run_program(PROGRAM_PATH, input, "/dev/full");
    EXPECT_EQ(run.status, 1) << bytes << " bytes of output";
    EXPECT_EQ(run.err, "") << bytes << " bytes of output";
  }
}

}  // namespace
