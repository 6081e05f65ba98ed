#include "blocks.hpp"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
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

// A read that fails is not the end of the input: a number it cut short, and
// so its block, print nothing; the counts before are written, status 1. The
// input is a stream socket whose other end was closed with bytes sent to it
// unread, so that its reads return all that was sent and then fail.
TEST(CountBlocks, AFailedReadCutsTheNumberBeforeIt) {
  const struct {
    std::string input;
    std::string out;
  } cases[] = {
      {"3 57 5 4\n2 7 5", "3\n"},      // the 5 is cut, and its block
      {"3 57 5 4", ""},                // the 4 is cut, and the first block
      {"3 57 5 4\n2 7 5 ", "3\n1\n"},  // the space ends the 5: the block is whole
  };
  for (const auto& c : cases) {
    int in[2];
    int out[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, in), 0);
    ASSERT_EQ(pipe(out), 0);
    ASSERT_EQ(write(in[1], c.input.data(), c.input.size()), static_cast<ssize_t>(c.input.size()));
    ASSERT_EQ(write(in[0], "x", 1), 1);
    close(in[1]);
    EXPECT_EQ(quickcount::count_blocks(in[0], out[1]), 1) << c.input;
    close(out[1]);
    std::string got(64, '\0');
    got.resize(static_cast<size_t>(std::max<ssize_t>(read(out[0], got.data(), got.size()), 0)));
    EXPECT_EQ(got, c.out) << c.input;
    close(in[0]);
    close(out[0]);
  }
}

}  // namespace
