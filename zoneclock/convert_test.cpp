#include "convert.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "loop_run.hpp"
#include "run_program.hpp"

namespace {

using testsupport::LoopRun;
using testsupport::Sink;

// A token of n bytes that differ along it, so that a byte lost, doubled or
// moved shows in its report.
std::string long_token(size_t n) {
  std::string token;
  for (size_t k = 0; k < n; ++k) {
    token += static_cast<char>('A' + k % 23);
  }
  return token;
}

// Queries of every kind, the count after blank lines and a sign, a source
// zone that outgrows the input window and a destination zone across many
// reads, then `more` queries whose answers differ from one line to the next,
// in `want`.
std::string queries(int more, std::string& want) {
  const std::string from = long_token(66000);
  const std::string to = long_token(3000);
  std::string input = "\n +" + std::to_string(7 + more) + "\n";
  input += "noon XYZ UTC\n";
  want += "oops:  <<<XYZ>>>\nnoon\n";
  input += "9:30 a.m. EST CET\n";  // from EST (-5) to CET (+1)
  want += "3:30 p.m.\n";
  input += "midnight UTC Mars\n";
  want += "oops:  Mars\nmidnight\n";
  input += "1:00 p.m. CET +1\n";  // "+1" is found, but keeps CET's offset
  want += "1:00 p.m.\n";
  input += "6:15 p.m. " + from + " UTC\n";  // the offset is still CET's
  want += "oops:  <<<" + from + ">>>\n5:15 p.m.\n";
  input += "noon UTC " + to + "\n";
  want += "oops:  " + to + "\nnoon\n";
  for (int q = 0; q < more; ++q) {
    char text[32];
    std::snprintf(text, sizeof text, "%d:%02d %s", 1 + q % 11, q % 60, q % 7 < 3 ? "a.m." : "p.m.");
    input += std::string(text) + (q % 2 == 0 ? " UTC GMT\n" : "\tWET  UTC ");
    want += std::string(text) + "\n";
  }
  input += "11:59 p.m. UTC UTC";  // the last query needs no line feed
  want += "11:59 p.m.\n";
  return input;
}

// 20,000 answers fill the output buffer many times over: the same answers
// however read(2), poll(2) and write(2) turn out, every byte once and in
// order.
TEST(Convert, SameAnswersWhateverTheSystemCallsDo) {
  std::string want;
  const std::string input = queries(20000, want);
  std::vector<LoopRun> ways = testsupport::every_way;
  ways.erase(ways.begin() + 1);  // one byte a read: OneByteARead, on a shorter input
  EXPECT_EQ(testsupport::runs_differing(zoneclock::convert, input, want, 0, ways), "");
}

// Input one byte a read: each query, and the count, cut at every place.
TEST(Convert, OneByteARead) {
  std::string want;
  const std::string input = queries(100, want);
  const auto run = testsupport::run_loop(zoneclock::convert, input, LoopRun{{1}});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(run.out == want) << run.out.size() << " bytes out of " << want.size();
}

// Signals that interrupt every wait for input, a piece at a time, and poll
// waiting on a non-blocking descriptor: not failures, and nothing is lost.
TEST(Convert, ReadsAndPollsInterruptedBySignals) {
  if (const char* why = testsupport::without_timer_signals()) {
    GTEST_SKIP() << why;
  }
  for (const bool nonblocking : {false, true}) {
    const LoopRun how{{1, 2}, nonblocking, Sink::file, true};
    const auto run =
        testsupport::run_loop(zoneclock::convert, "3 noon XYZ UTC 9:30 a.m. EST CET 7:05", how);
    EXPECT_EQ(run.status, 1);  // the third query is cut short
    EXPECT_EQ(run.out, "oops:  <<<XYZ>>>\nnoon\n3:30 p.m.\n");
    EXPECT_GT(run.signals, 0);
  }
}

// Each call starts afresh after the last one ended: the count, the fields a
// time token leaves alone and the last offset found.
TEST(Convert, OneCallAfterAnother) {
  EXPECT_EQ(testsupport::run_loop(zoneclock::convert, "1 3:20 p.m. CET XYZ").out,
            "oops:  XYZ\n3:20 p.m.\n");
  EXPECT_EQ(testsupport::run_loop(zoneclock::convert, "1 x a.m. Q UTC").out,
            "oops:  <<<Q>>>\nmidnight\n");
}

}  // namespace
