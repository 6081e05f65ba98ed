// End-to-end tests whose inputs are generated: every zone pair against an
// independent computation, and unwritable output.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "run_program.hpp"

namespace {

struct Zone {
  const char* name;
  double hours;
};

// Typed in again from the published zone list, not taken from the program.
const Zone zones[] = {
    {"WET", 0},     {"UTC", 0},   {"GMT", 0},    {"BST", 1},    {"IST", 1},   {"WEST", 1},
    {"CET", 1},     {"CEST", 2},  {"EET", 2},    {"EEST", 3},   {"MSK", 3},   {"MSD", 4},
    {"AST", -4},    {"ADT", -3},  {"NST", -3.5}, {"NDT", -2.5}, {"EST", -5},  {"EDT", -4},
    {"CST", -6},    {"CDT", -5},  {"MST", -7},   {"MDT", -6},   {"PST", -8},  {"PDT", -7},
    {"HST", -10},   {"AKST", -9}, {"AKDT", -8},  {"AEST", 10},  {"AEDT", 11}, {"ACST", 9.5},
    {"ACDT", 10.5}, {"AWST", 8},
};

std::string expected_line(int hour, int minute, bool pm, const Zone& from, const Zone& to) {
  int t = (hour % 12) * 60 + minute + (pm ? 720 : 0);
  t = static_cast<int>(std::trunc(t - from.hours * 60.0));
  t = static_cast<int>(std::trunc(t + to.hours * 60.0));
  t = (t + 1440) % 1440;
  if (t == 0) {
    return "midnight\n";
  }
  if (t == 720) {
    return "noon\n";
  }
  char line[32];
  int h = t / 60 % 12;
  std::snprintf(line, sizeof line, "%d:%02d %s\n", h == 0 ? 12 : h, t % 60,
                t <= 720 ? "a.m." : "p.m.");
  return line;
}

TEST(ZoneclockEndToEnd, EveryZonePairAgainstIndependentComputation) {
  const struct {
    int hour, minute;
    bool pm;
  } times[] = {{12, 0, false}, {12, 0, true}, {1, 5, false}, {11, 59, true}, {6, 30, true}};
  std::string input = std::to_string(std::size(zones) * std::size(zones) * std::size(times)) + "\n";
  std::string want;
  for (const Zone& from : zones) {
    for (const Zone& to : zones) {
      for (const auto& t : times) {
        char query[64];
        std::snprintf(query, sizeof query, "%d:%02d %s %s %s\n", t.hour, t.minute,
                      t.pm ? "p.m." : "a.m.", from.name, to.name);
        input += query;
        want += expected_line(t.hour, t.minute, t.pm, from, to);
      }
    }
  }
  const auto run = testsupport::run_program(PROGRAM_PATH, input);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, want);
}

TEST(ZoneclockEndToEnd, UnwritableOutputAtSeveralSizesIsStatusOne) {
  for (size_t bytes : testsupport::unwritable_output_sizes) {
    std::string input = std::to_string(bytes / 10) + "\n";
    for (size_t n = 0; n < bytes; n += 10) {
      input += "1:00 a.m. UTC UTC\n";  // prints "1:00 a.m.\n"
    }
    const auto run = testsupport::run_program(PROGRAM_PATH, input, "/dev/full");
    EXPECT_EQ(run.status, 1) << bytes << " bytes of output";
    EXPECT_EQ(run.err, "") << bytes << " bytes of output";
  }
}

TEST(ZoneclockEndToEnd, HugeCountWithShortInputEndsAtOnce) {
  const auto run = testsupport::run_program(PROGRAM_PATH, "2147483647 noon UTC UTC noon UTC");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "noon\n");
  EXPECT_EQ(run.err, "");
}

// The count's sign and digits split by a read of input at every point: blanks
// put the count's start at each position around 65,536, the size of the
// input buffer today, so a count cut in two by a refill reads whole.
TEST(ZoneclockEndToEnd, CountSplitAcrossAnInputRead) {
  std::string queries;
  std::string want;
  for (int q = 0; q < 12; ++q) {
    queries += " noon UTC UTC";
    want += "noon\n";
  }
  for (size_t start = 65536 - 16; start <= 65536 + 16; ++start) {
    const auto run =
        testsupport::run_program(PROGRAM_PATH, std::string(start, ' ') + "+12" + queries);
    EXPECT_EQ(run.status, 0) << start;
    EXPECT_EQ(run.out, want) << start;
    EXPECT_EQ(run.err, "") << start;
  }
}

TEST(ZoneclockEndToEnd, LongRunsOfBlanksAreNotKept) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer needs more address space than the limit";
#endif
  // 16 MiB of address space, and 20 MB of blanks before the count, between
  // two queries and between two tokens of one query.
  const std::string blanks(20000000, ' ');
  const std::string input = blanks + "2 noon UTC CET" + blanks + "noon" + blanks + "UTC UTC";
  const auto run = testsupport::run_program(PROGRAM_PATH, input, nullptr, rlim_t{16} << 20);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "1:00 p.m.\nnoon\n");
  EXPECT_EQ(run.err, "");
}

TEST(ZoneclockEndToEnd, TokenSpanningManyInputChunks) {
  const std::string zone(300000, 'Z');
  const auto run = testsupport::run_program(PROGRAM_PATH, "1 noon " + zone + " UTC");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "oops:  <<<" + zone + ">>>\nnoon\n");
  EXPECT_EQ(run.err, "");
}

}  // namespace
