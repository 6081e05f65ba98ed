// End-to-end tests whose inputs are generated: long and hostile blocks against
// an independent count, blocks beyond the fixed storage in a row, a huge count
// with few values and a block too long for the memory under a small
// address-space limit, counts past the 32-bit range, and unwritable output,
// also with endless input; and the program driven a block at a time, as a
// coprocess and at a terminal.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "coprocess.hpp"
#include "fenwick_count.hpp"
#include "hostile_orders.hpp"
#include "run_program.hpp"

namespace {

std::string block_text(const std::vector<int32_t>& values) {
  std::string text = std::to_string(values.size()) + "\n";
  for (int32_t v : values) {
    text += std::to_string(v);
    text += ' ';
  }
  text += '\n';
  return text;
}

void expect_output(const std::string& input, const std::string& want, int status = 0) {
  const auto run = testsupport::run_program(PROGRAM_PATH, input);
  EXPECT_EQ(run.status, status);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, want);
}

TEST(QuickcountEndToEnd, MillionDescendingValuesNeedSixtyFourBits) {
  std::string input = "1000000\n";
  for (int v = 1000000; v > 0; --v) {
    input += std::to_string(v) + "\n";
  }
  expect_output(input + "0\n", "499999500000\n");
}

TEST(QuickcountEndToEnd, HostileOrdersOfAMillionFinishWithTheRightCount) {
  std::string input;
  std::string want;
  for (bool largest : {true, false}) {
    const std::vector<int32_t> order = testsupport::hostile_order(1000000, largest);
    input += block_text(order);
    want += std::to_string(testsupport::fenwick_count(order)) + "\n";
  }
  // Hostile for the first levels only, then shuffled.
  const std::vector<int32_t> mixed = testsupport::hostile_order(1000000, false, 60, 11);
  input += block_text(mixed);
  want += std::to_string(testsupport::fenwick_count(mixed)) + "\n";
  expect_output(input + "0\n", want);
}

TEST(QuickcountEndToEnd, ManyBlocksAgainstAnIndependentCount) {
  std::mt19937 rng(17);
  std::string input;
  std::string want;
  for (int b = 0; b < 300; ++b) {
    const int n = std::uniform_int_distribution<int>(1, 3000)(rng);
    const int32_t spread = b % 3 == 0 ? 5 : INT32_MAX;
    std::vector<int32_t> values(static_cast<size_t>(n));
    for (auto& v : values) {
      v = std::uniform_int_distribution<int32_t>(-spread, spread)(rng);
    }
    input += block_text(values);
    want += std::to_string(testsupport::fenwick_count(values)) + "\n";
    if (b % 50 == 0) {
      input += "-7\n";  // a negative count: 0, and the next block follows
      want += "0\n";
    }
  }
  expect_output(input, want);  // ends at the end of input: status 0
}

// Blocks longer than the fixed storage in a row, different in content, the
// second shorter than the first and the third longer, then a short one: each
// is counted on its own values alone, whatever storage the one before took.
// Then a block cut short after more values than the fixed storage holds.
TEST(QuickcountEndToEnd, LongBlocksInARowThenAShortOne) {
  std::mt19937 rng(23);
  std::string input;
  std::string want;
  for (size_t n : {1200000, 1100000, 1300000}) {
    std::vector<int32_t> values(n);
    for (auto& v : values) {
      v = static_cast<int32_t>(rng() % (n / 1000));  // many equal values
    }
    input += block_text(values);
    want += std::to_string(testsupport::fenwick_count(values)) + "\n";
  }
  input += "3 3 2 1\n1000005\n";
  want += "3\n";
  for (int v = 0; v < 1000004; ++v) {
    input += "4 ";
  }
  expect_output(input, want, 1);
}

TEST(QuickcountEndToEnd, HugeCountWithFewValuesAllocatesNothingBig) {
  if (testsupport::address_sanitized) {
    GTEST_SKIP() << "the address sanitizer needs more address space than the limit";
  }
  // 64 MiB of address space: the fixed storage (8 MB) fits, the 8 GB a count
  // of 2,000,000,000 would ask for does not.
  constexpr rlim_t limit = rlim_t{64} << 20;
  auto run = testsupport::run_program(PROGRAM_PATH, "3 1 2 0\n", nullptr,
                                      limit);  // the limit leaves room for a run
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "2\n");
  run = testsupport::run_program(PROGRAM_PATH, "2 2 1\n2000000000 1 2 3", nullptr, limit);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "1\n");
  EXPECT_EQ(run.err, "");
}

TEST(QuickcountEndToEnd, BlockTooLongForTheMemoryKeepsTheCountsBefore) {
  if (const char* why = testsupport::without_address_limit()) {
    GTEST_SKIP() << why;
  }
  // 8,000,000 values need 64 MB of storage, more than 64 MiB of address
  // space leaves beside the fixed storage.
  std::string input = "3\n3 2 1\n8000000\n";
  for (int v = 0; v < 8000000; ++v) {
    input += "1\n";
  }
  const auto run = testsupport::run_program(PROGRAM_PATH, input + "0\n", nullptr, rlim_t{64} << 20);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "3\n");
  EXPECT_EQ(run.err, "");
}

// stdin in non-blocking mode, as a shell may leave it: an empty pipe is
// waited on, not taken for the end of input.
TEST(QuickcountEndToEnd, NonBlockingInputIsWaitedOn) {
  testsupport::Coprocess program(PROGRAM_PATH, false, true);
  program.await_sleep();  // having found no input
  ASSERT_TRUE(program.send("2 2 1\n3 3 2 1\n"));
  const auto run = program.finish();
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, "1\n3\n");
}

TEST(QuickcountCoprocess, EachCountComesAsSoonAsItsBlockIsComplete) {
  testsupport::Coprocess p(PROGRAM_PATH, false);
  ASSERT_TRUE(p.send("3\n3 2 1\n"));
  ASSERT_EQ(p.reply(2), "3\n");
  // Numbers split inside themselves and after their sign, over several writes.
  for (const char* piece : {"4\n1", "00 -", "5 3", "0 2\n"}) {
    ASSERT_TRUE(p.send(piece));
  }
  EXPECT_EQ(p.reply(2), "4\n");
  ASSERT_TRUE(p.send("-2\n"));
  EXPECT_EQ(p.reply(2), "0\n");
  // A count of 0 ends the run while the input is still open.
  ASSERT_TRUE(p.send("0\n"));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(p.reply(1), "");  // the output ends...
  EXPECT_LT(std::chrono::steady_clock::now() - start, testsupport::deadlock_limit);  // ...at once
  const auto r = p.finish();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "");
}

TEST(QuickcountCoprocess, AnswersAtATerminal) {
  testsupport::Coprocess p(PROGRAM_PATH, true);
  ASSERT_TRUE(p.send("3\n3 2 1\n"));
  ASSERT_EQ(p.reply(2), "3\n");
  // Ctrl-D after the last value hands it over without a line feed; the one
  // finish types then ends the input, and must not be waited for twice.
  ASSERT_TRUE(p.send("2\n2 1\x04"));
  const auto r = p.finish();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "1\n");
}

// Counts past the 32-bit range read as its nearest end, as values do. Past
// the top, with few values after them, they are huge blocks cut short; read
// modulo 2^32 each would be a block of 1. Past the bottom they are negative
// counts, which print 0 and let the next block follow.
TEST(QuickcountEndToEnd, CountsPastTheThirtyTwoBitRangeSaturate) {
  for (const char* count : {"4294967297", "9223372036854775809", "18446744073709551617"}) {
    const auto run =
        testsupport::run_program(PROGRAM_PATH, std::string("2 2 1\n") + count + " 5 2 1\n");
    EXPECT_EQ(run.status, 1) << count;
    EXPECT_EQ(run.err, "") << count;
    EXPECT_EQ(run.out, "1\n") << count;
  }
  expect_output("-4294967295 2 2 1\n", "0\n1\n");
}

// A failed write ends the run at once while input keeps coming: stdout on
// /dev/full, or on a pipe nobody reads with SIGPIPE ignored. Between blocks,
// and inside a block of 2,000,000,000 values whose values keep coming (the
// white space keeps the memory it would take small).
TEST(QuickcountEndToEnd, FailedWriteEndsTheRunWithInputStillComing) {
  const std::string in_a_block = "1 5 2000000000" + std::string(4000, ' ');
  for (const std::string& text : {std::string("1 5\n"), in_a_block}) {
    for (const bool broken_pipe : {false, true}) {
      const auto run = testsupport::run_on_endless_input(PROGRAM_PATH, text, broken_pipe);
      EXPECT_EQ(run.status, 1) << (broken_pipe ? "a pipe nobody reads" : "/dev/full") << ", "
                               << text.size() << "-byte text";
      EXPECT_EQ(run.err, "");
    }
  }
}

TEST(QuickcountEndToEnd, UnwritableOutputAtSeveralSizesIsStatusOne) {
  const auto input_for = [](size_t bytes) { return testsupport::repeated("2 2 1\n", bytes / 2); };
  EXPECT_EQ(testsupport::runs_not_failing_on_full_output(PROGRAM_PATH, input_for), "");
}

}  // namespace
