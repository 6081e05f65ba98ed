// End-to-end tests whose inputs are generated: large blocks, counts printed
// in two pieces, long blocks in a row against an independent count, memory
// running out, unwritable output, and the program driven as a coprocess.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "coprocess.hpp"
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

TEST(MergecountEndToEnd, LongBlockWithoutItsLastValuePrintsNothing) {
  const std::string block = descending_block(1000010);  // ends in "1 "
  const auto run =
      testsupport::run_program(PROGRAM_PATH, "3 3 2 1\n" + block.substr(0, block.size() - 2));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, "3\n");
}

TEST(MergecountEndToEnd, MemoryRunningOutKeepsTheAnswersBefore) {
  if (const char* why = testsupport::without_address_limit()) {
    GTEST_SKIP() << why;
  }
  // The program takes about 14 MiB of address space. A block of 2^22 values
  // needs 24 MiB more while its storage doubles to 16 MiB, then 16 MiB more
  // for the merge buffer: under 32 MiB the values do not fit, under 42 MiB
  // the merge buffer does not.
  std::string input = "3\n3 2 1\n4194304\n";
  for (int k = 0; k < 4194304; ++k) {
    input += "1 ";
  }
  input += "\n1 5\n";
  for (const rlim_t mib : {32, 42}) {
    const auto run = testsupport::run_program(PROGRAM_PATH, input, nullptr, mib << 20);
    EXPECT_EQ(run.status, 1) << mib << " MiB";
    EXPECT_EQ(run.err, "") << mib << " MiB";
    EXPECT_EQ(run.out, "3\n") << mib << " MiB";
  }
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
  const auto input_for = [](size_t bytes) { return testsupport::repeated("2 2 1\n", bytes / 2); };
  EXPECT_EQ(testsupport::runs_not_failing_on_full_output(PROGRAM_PATH, input_for), "");
}

// A failed write ends the run at once while input keeps coming: stdout on
// /dev/full, or on a pipe nobody reads with SIGPIPE ignored.
TEST(MergecountEndToEnd, FailedWriteEndsTheRunWithInputStillComing) {
  for (const bool broken_pipe : {false, true}) {
    const auto run = testsupport::run_on_endless_input(PROGRAM_PATH, "1 5\n", broken_pipe);
    EXPECT_EQ(run.status, 1) << (broken_pipe ? "a pipe nobody reads" : "/dev/full");
    EXPECT_EQ(run.err, "");
  }
}

// Sends each piece of input in one write and waits for the answers it
// completes before sending the next, then ends the input and expects `last`.
void converse(bool on_terminal, const std::vector<std::pair<std::string, std::string>>& steps,
              const std::string& last = "") {
  testsupport::Coprocess program(PROGRAM_PATH, on_terminal);
  for (const auto& [piece, answers] : steps) {
    ASSERT_TRUE(program.send(piece)) << piece;
    ASSERT_EQ(program.reply(answers.size()), answers) << "after " << piece;
  }
  const auto run = program.finish();
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, last);
}

// Every piece but the last ends inside a number: after "0x", after a sign,
// after a leading 0, between digits. The answer it completes arrives only
// once the program has taken the piece and waits for the rest of it.
TEST(MergecountCoprocess, AnswersEachBlockWhileTheNextArrivesInPieces) {
  converse(false, {{"3\n3 2 1\n2\n40 0x", "3\n"},
                   {"1f\n2\n-", "1\n"},
                   {"5 -10\n2\n12 0", "1\n"},
                   {"17\n-4\n2\n1", "0\n0\n"},
                   {"2 9\n", "1\n"}});
}

// Ctrl-D after "1 5" hands those bytes over; the one typed at the start of a
// line ends the input, which completes the block, and is read only once.
TEST(MergecountCoprocess, AnswersEachLineTypedAtATerminal) {
  converse(true, {{"3\n3 2 1\n", "3\n"}, {"2 0x10\n010\n", "1\n"}, {"1 5\x04", ""}}, "0\n");
}

}  // namespace
