// End-to-end tests whose inputs are generated: lines far longer than the start
// buffer, prime lengths, lines that cross input chunks, unwritable output, and
// runs as a coprocess whose input stays open.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>

#include "coprocess.hpp"
#include "run_program.hpp"

namespace {

// A unit that is not itself a repetition: its one 'x' appears nowhere else.
std::string primitive_unit(size_t length) {
  std::string unit(length, 'a');
  unit[0] = 'x';
  return unit;
}

using testsupport::repeated;

// The largest k for which the line is one string written k times, by trying
// every divisor of the length.
size_t brute_power(std::string_view line) {
  for (size_t d = 1; d <= line.size(); ++d) {
    if (line.size() % d == 0 && line.substr(d) == line.substr(0, line.size() - d)) {
      return line.size() / d;
    }
  }
  return 0;
}

TEST(StrpowerEndToEnd, ThreeMillionCharacterLines) {
  std::string input = repeated("abc", 1000000) + "\n";
  std::string changed = repeated("abc", 1000000);
  changed[2999990] = 'a';
  input += changed + "\n";
  input += std::string(3000000, 'z') + "\n";
  input += repeated(primitive_unit(1000), 3000) + "\n";
  input += "abab\nababab\n.\n" + changed + "\n";
  const auto run = testsupport::run_program(PROGRAM_PATH, input);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, "1000000\n1\n3000000\n3000\n2\n3\n");
}

TEST(StrpowerEndToEnd, LinesAroundTheStartBufferSize) {
  // 2,000,001 = 3 x 666,667 characters fit the start buffer; one more does
  // not. Lines one short of it, filling it and one past it.
  std::string input = repeated(primitive_unit(2), 1000000) + "\n";
  input += repeated(primitive_unit(666667), 3) + "\n";
  input += repeated(primitive_unit(1000001), 2) + "\n";
  input += repeated(primitive_unit(2), 1000001) + "\n";
  input += repeated(primitive_unit(1), 2000003);  // no line feed at the end
  const auto run = testsupport::run_program(PROGRAM_PATH, input);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, "1000000\n3\n2\n1000001\n2000003\n");
}

TEST(StrpowerEndToEnd, PrimeLengths) {
  std::string input;
  std::string want;
  for (size_t p : {2, 3, 5, 7, 11, 13, 9973, 65521, 65537, 1999993}) {
    input += std::string(p, 'q') + "\n";
    want += std::to_string(p) + "\n";
    input += primitive_unit(p) + "\n";
    want += "1\n";
  }
  const auto run = testsupport::run_program(PROGRAM_PATH, input);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, want);
}

TEST(StrpowerEndToEnd, RandomLinesAcrossInputChunksAgainstBruteForce) {
  std::mt19937 rng(5);
  std::string input;
  std::string want;
  for (int n = 0; n < 400; ++n) {
    std::string unit(1 + rng() % (n % 10 == 0 ? 40000 : 8), 'a');
    for (char& c : unit) {
      c = static_cast<char>('a' + rng() % 2);
    }
    std::string line = repeated(unit, 1 + rng() % 12);
    if (rng() % 3 == 0) {
      line[rng() % line.size()] = 'b';
    }
    input += line + "\n";
    want += std::to_string(brute_power(line)) + "\n";
  }
  const auto run = testsupport::run_program(PROGRAM_PATH, input);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, want);
}

TEST(StrpowerEndToEnd, UnwritableOutputAtSeveralSizesIsStatusOne) {
  const auto input_for = [](size_t bytes) { return testsupport::repeated("abab\n", bytes / 2); };
  EXPECT_EQ(testsupport::runs_not_failing_on_full_output(PROGRAM_PATH, input_for), "");
}

// A failed write ends the run at once while input keeps coming: stdout on
// /dev/full, or on a pipe nobody reads with SIGPIPE ignored.
TEST(StrpowerEndToEnd, FailedWriteEndsTheRunWithInputStillComing) {
  for (const bool broken_pipe : {false, true}) {
    const auto run = testsupport::run_on_endless_input(PROGRAM_PATH, "abab\n", broken_pipe);
    EXPECT_EQ(run.status, 1) << (broken_pipe ? "a pipe nobody reads" : "/dev/full");
    EXPECT_EQ(run.err, "");
  }
}

TEST(StrpowerEndToEnd, LineTooLongForTheMemoryEndsWithStatusOne) {
  if (const char* why = testsupport::without_address_limit()) {
    GTEST_SKIP() << why;
  }
  // 64 MiB of address space: the start buffer fits, a 100,000,000-byte line does not.
  const std::string input = "abab\n" + std::string(100000000, 'x') + "\naa\n";
  const auto run = testsupport::run_program(PROGRAM_PATH, input, nullptr, rlim_t{64} << 20);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, "2\n");
}

// Descriptors in non-blocking mode, which the program shares with whoever set
// that mode, are waited on: input that has not arrived yet is not its end,
// and a full output pipe is not a failed write.
TEST(StrpowerEndToEnd, WaitsOnNonBlockingInputAndOutput) {
  testsupport::Coprocess program(PROGRAM_PATH, false, true);
  // The input comes once the program, having found none, sleeps. Its 80,002
  // bytes of answers are more than the output pipe holds, so it sleeps again
  // with the output full before anything is read.
  program.await_sleep();
  ASSERT_TRUE(program.send("abab\n" + std::string(40000, '\n')));
  program.await_sleep();
  EXPECT_TRUE(program.reply(80002) == "2\n" + repeated("0\n", 40000));  // not printed whole
  const auto run = program.finish();
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, "");
}

// Sends lines as a coprocess would, awaiting each answer before the next
// write: several lines in one write, and lines whose line feed comes in a
// later write (each write holds the start of the next line, so the program
// has read it before the answer it waits for comes back).
void answers_each_line_once_its_line_feed_arrives(testsupport::Coprocess& p) {
  EXPECT_TRUE(p.send("abab\n"));
  EXPECT_EQ(p.reply(2), "2\n");
  EXPECT_TRUE(p.send("xyz\n\naa\nab"));
  EXPECT_EQ(p.reply(6), "1\n0\n2\n");
  EXPECT_TRUE(p.send("ab\nxyzxy"));
  EXPECT_EQ(p.reply(2), "2\n");
  EXPECT_TRUE(p.send("z\n"));
  EXPECT_EQ(p.reply(2), "2\n");
}

TEST(StrpowerCoprocess, OnPipesAnswersEachLineAndEndsAtTheStopLine) {
  testsupport::Coprocess p(PROGRAM_PATH, false);
  ASSERT_GT(p.pid(), 0);
  answers_each_line_once_its_line_feed_arrives(p);
  // The stop line ends the run with the input still open: the line after it
  // is not answered, and nothing takes the input any more.
  EXPECT_TRUE(p.send(".\naa\n"));
  EXPECT_FALSE(p.send(std::string(1 << 20, 'a')));
  const auto r = p.finish();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "");
}

TEST(StrpowerCoprocess, AtATerminal) {
  testsupport::Coprocess p(PROGRAM_PATH, true);
  ASSERT_GT(p.pid(), 0);
  answers_each_line_once_its_line_feed_arrives(p);
  // A last line without a line feed: Ctrl-D (\x04) hands over "ab", and the
  // end-of-file that finish types ends the input; a program that read once
  // more would wait for a third.
  EXPECT_TRUE(p.send("ab\x04"));
  const auto r = p.finish();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "1\n");
}

}  // namespace
