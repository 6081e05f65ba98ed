// Every program left waiting for the next case, its input and output pipes
// kept open: on a non-blocking input with nothing in it, or a non-blocking
// output with no room, it sleeps and takes no processor time; and once a long
// case has been answered, the memory it took is given back before the next
// case is awaited.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "coprocess.hpp"
#include "run_program.hpp"

namespace {

using testsupport::Coprocess;
using testsupport::repeated;
using namespace std::chrono_literals;

// A program and its cases. Each run is three cases: first, the one the test
// is about (second, or the long case), then second again, after which the
// input ends with status 0. fixed_kib: the storage of fixed size that a long
// case may fill and the program keeps for every case (quickcount's two
// arrays of 1,000,000 values).
struct Program {
  std::string name;
  const char* path;
  std::string first, first_answer;
  std::string second, second_answer;
  long fixed_kib;
};

std::vector<Program> programs() {
  return {
      {"zoneclock", ZONECLOCK_PATH, "3\nnoon UTC PST\n", "4:00 a.m.\n", "noon UTC PST\n",
       "4:00 a.m.\n", 0},
      {"quickcount", QUICKCOUNT_PATH, "3\n3 2 1\n", "3\n", "2\n2 1\n", "1\n", 7813},
      {"mergecount", MERGECOUNT_PATH, "3\n3 0x2 1\n", "3\n", "2\n2 1\n", "1\n", 0},
      {"strpower", STRPOWER_PATH, "abab\n", "2\n", "aaa\n", "3\n", 0},
  };
}

struct Case {
  std::string input, answer;
};

// long_case: p's long case and its answer: a 48 MB source zone, which the
// report repeats; a block of 3,000,000 values, 2 1 2 1 ... (12 MB of values
// and as much of scratch or merge buffer); a line of 48 MB.
Case long_case(const Program& p) {
  constexpr int64_t pairs = 1500000;
  if (p.name == "zoneclock") {
    const std::string zone(48 << 20, 'z');
    return {"noon " + zone + " PST\n", "oops:  <<<" + zone + ">>>\nnoon\n"};
  }
  if (p.name == "strpower") {
    return {repeated("ab", 24 << 20) + "\n", std::to_string(24 << 20) + "\n"};
  }
  return {std::to_string(2 * pairs) + "\n" + repeated("2 1 ", pairs) + "\n",
          std::to_string(pairs * (pairs + 1) / 2) + "\n"};
}

// Names the program in a failure's message.
void PrintTo(const Program& p, std::ostream* os) {
  *os << p.name;
}

// processor_seconds: accepts a process id. Returns the processor time, user
// and system, the process has taken so far (/proc/PID/stat), or -1 when
// there is no such process.
double processor_seconds(pid_t pid) {
  const std::string stat = testsupport::slurp("/proc/" + std::to_string(pid) + "/stat");
  const size_t name_end = stat.rfind(')');
  if (name_end == std::string::npos) {
    return -1;
  }
  std::istringstream fields(stat.substr(name_end + 1));
  std::string skipped;
  for (int field = 3; field < 14; ++field) {  // the state to cmajflt
    fields >> skipped;
  }
  long long user = -1;
  long long system = -1;
  fields >> user >> system;
  return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// resident_kib: accepts a process id. Returns its resident memory in KiB
// (VmRSS in /proc/PID/status), or -1 when there is no such process.
long resident_kib(pid_t pid) {
  std::istringstream status(testsupport::slurp("/proc/" + std::to_string(pid) + "/status"));
  for (std::string field; status >> field;) {
    if (field == "VmRSS:") {
      long kib = -1;
      status >> kib;
      return kib;
    }
  }
  return -1;
}

// Processor time a program's own work may take while a test waits on it:
// ample, as the process sleeps throughout; a wait that polls takes it all.
constexpr double idle_limit = 0.05;

// processor_seconds_in_half_a_second: what the process takes meanwhile.
double processor_seconds_in_half_a_second(pid_t pid) {
  const double before = processor_seconds(pid);
  std::this_thread::sleep_for(500ms);
  return processor_seconds(pid) - before;
}

// Ends a run with the last case and the end of the input: its answer and
// status 0.
void expect_a_clean_end(Coprocess& program, const Program& p) {
  ASSERT_TRUE(program.send(p.second));
  const auto run = program.finish();
  EXPECT_EQ(run.out, p.second_answer);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.status, 0);
}

class Waits : public testing::TestWithParam<Program> {};

TEST_P(Waits, OnAnEmptyNonBlockingInputTakesNoProcessorTime) {
  const Program& p = GetParam();
  Coprocess program(p.path, false, true);
  ASSERT_TRUE(program.send(p.first));
  ASSERT_EQ(program.reply(p.first_answer.size()), p.first_answer);
  EXPECT_LT(processor_seconds_in_half_a_second(program.pid()), idle_limit);
  ASSERT_TRUE(program.send(p.second));
  EXPECT_EQ(program.reply(p.second_answer.size()), p.second_answer);
  expect_a_clean_end(program, p);
}

TEST_P(Waits, OnAFullNonBlockingOutputTakesNoProcessorTime) {
  const Program& p = GetParam();
  Coprocess program(p.path, false, true);
  ASSERT_TRUE(program.send(p.first));
  ASSERT_EQ(program.reply(p.first_answer.size()), p.first_answer);
  const size_t filler = program.send_to_full_output(p.second);
  ASSERT_GT(filler, 0U);
  EXPECT_LT(processor_seconds_in_half_a_second(program.pid()), idle_limit);
  EXPECT_EQ(program.reply(filler + p.second_answer.size()),
            std::string(filler, '.') + p.second_answer);
  expect_a_clean_end(program, p);
}

// The resident memory after the long case is held to that after the first
// case, plus the fixed storage, plus 4 MiB (the bound of the cost check's
// short cases).
TEST_P(Waits, ALongCaseGivesItsMemoryBackBeforeTheNextIsAwaited) {
  if (testsupport::address_sanitized) {
    GTEST_SKIP() << "the address sanitizer holds freed memory back, to catch its use";
  }
  const Program& p = GetParam();
  const Case long_run = long_case(p);
  Coprocess program(p.path, false);
  ASSERT_TRUE(program.send(p.first));
  ASSERT_EQ(program.reply(p.first_answer.size()), p.first_answer);
  const long short_run = resident_kib(program.pid());
  ASSERT_TRUE(program.send(long_run.input));
  // Not ASSERT_EQ: a failure would print 48 MB.
  ASSERT_TRUE(program.reply(long_run.answer.size()) == long_run.answer);
  // The answer is out, so the program is waiting for the next case.
  EXPECT_LT(resident_kib(program.pid()), short_run + p.fixed_kib + 4096)
      << "KiB resident after the first case: " << short_run;
  expect_a_clean_end(program, p);
}

INSTANTIATE_TEST_SUITE_P(Programs, Waits, testing::ValuesIn(programs()),
                         [](const testing::TestParamInfo<Program>& info) {
                           return info.param.name;
                         });

}  // namespace
