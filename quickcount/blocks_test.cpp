#include "blocks.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "loop_run.hpp"
#include "run_program.hpp"

namespace {

using testsupport::LoopRun;
using testsupport::Sink;

// A short block, a negative count, a block of 30,000 values that spans
// reads, 40,000 negative counts glued together whose answers fill the output
// buffer from one read, then a block cut short: the same answers and status
// however read(2), poll(2) and write(2) turn out.
TEST(CountBlocks, SameAnswersWhateverTheSystemCallsDo) {
  std::string input = "3 3 2 1\n-4\n30000\n";
  for (int v = 30000; v > 0; --v) {
    input += std::to_string(v) + " ";
  }
  input += "\n";
  input += testsupport::repeated("-1", 40000);
  input += "\n2 2 1\n5 1 2";
  std::string want = "3\n0\n449985000\n";
  want += testsupport::repeated("0\n", 40000);
  want += "1\n";
  EXPECT_EQ(testsupport::runs_differing(quickcount::count_blocks, input, want, 1), "");
}

// Signals that interrupt every wait for input, a piece at a time, and poll
// waiting on a non-blocking descriptor: not failures, and nothing is lost.
TEST(CountBlocks, ReadsAndPollsInterruptedBySignals) {
  if (const char* why = testsupport::without_timer_signals()) {
    GTEST_SKIP() << why;
  }
  for (const bool nonblocking : {false, true}) {
    LoopRun how{{1, 2}, nonblocking, Sink::file, true};
    const auto run =
        testsupport::run_loop(quickcount::count_blocks, "3 3 2 1\n-2\n4\n1 00 -5 30\n2 2 1", how);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "3\n0\n3\n1\n");
    EXPECT_GT(run.signals, 0);
  }
}

}  // namespace
