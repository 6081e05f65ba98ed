#include "powers.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "loop_run.hpp"
#include "run_program.hpp"

namespace {

using testsupport::LoopRun;
using testsupport::Sink;

// Lines within a read, across reads and longer than one, and 40,000 empty
// lines whose answers fill the output buffer, then a last line without its
// line feed: the same answers however read(2), poll(2) and write(2) turn out.
TEST(Powers, SameAnswersWhateverTheSystemCallsDo) {
  const std::string input =
      "abab\n" + testsupport::repeated("xyz", 30000) + "\nq\n" + std::string(40000, '\n') + "aaa";
  const std::string want = "2\n30000\n1\n" + testsupport::repeated("0\n", 40000) + "3\n";
  EXPECT_EQ(testsupport::runs_differing(strpower::powers, input, want, 0), "");
}

// Signals that interrupt every wait for input, a piece at a time, and poll
// waiting on a non-blocking descriptor: not failures, and nothing is lost.
TEST(Powers, ReadsAndPollsInterruptedBySignals) {
  if (const char* why = testsupport::without_timer_signals()) {
    GTEST_SKIP() << why;
  }
  for (const bool nonblocking : {false, true}) {
    LoopRun how{{1, 2}, nonblocking, Sink::file, true};
    const auto run = testsupport::run_loop(strpower::powers, "abab\naaaa\nxyzxyz\nab", how);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "2\n4\n2\n1\n");
    EXPECT_GT(run.signals, 0);
  }
}

// Each call starts afresh after the last one ended, at the end of its input
// or at a stop line.
TEST(Powers, OneCallAfterAnother) {
  EXPECT_EQ(testsupport::run_loop(strpower::powers, "aa\n.\nbb\n").out, "2\n");
  EXPECT_EQ(testsupport::run_loop(strpower::powers, "xyxyxy\n").out, "3\n");
}

}  // namespace
