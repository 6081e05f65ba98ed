// End-to-end tests whose inputs are generated: every zone pair, every minute
// of the day and tokens one byte away from a table entry against an
// independent computation, the count's reading, unwritable output, memory,
// and the program driven one query at a time as a coprocess and at a
// terminal.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "coprocess.hpp"
#include "run_program.hpp"

namespace {

struct Zone {
  const char* name;
  const char* offset;  // hours from universal time, as the table writes them
};

// Typed in again from the published zone list, not taken from the program.
const Zone zones[] = {
    {"WET", "0"},      {"UTC", "0"},   {"GMT", "0"},    {"BST", "+1"},   {"IST", "+1"},
    {"WEST", "+1"},    {"CET", "+1"},  {"CEST", "+2"},  {"EET", "+2"},   {"EEST", "+3"},
    {"MSK", "+3"},     {"MSD", "+4"},  {"AST", "-4"},   {"ADT", "-3"},   {"NST", "-3.5"},
    {"NDT", "-2.5"},   {"EST", "-5"},  {"EDT", "-4"},   {"CST", "-6"},   {"CDT", "-5"},
    {"MST", "-7"},     {"MDT", "-6"},  {"PST", "-8"},   {"PDT", "-7"},   {"HST", "-10"},
    {"AKST", "-9"},    {"AKDT", "-8"}, {"AEST", "+10"}, {"AEDT", "+11"}, {"ACST", "+9.5"},
    {"ACDT", "+10.5"}, {"AWST", "+8"},
};

int minutes(const char* offset) {
  return static_cast<int>(std::strtod(offset, nullptr) * 60.0);
}

// The 12-hour reading of each minute of the day, "12:00 a.m." first, found by
// running a clock forward from midnight rather than by dividing.
std::vector<std::string> clock_readings() {
  std::vector<std::string> readings;
  int hour = 12;
  int minute = 0;
  bool pm = false;
  for (int t = 0; t < 1440; ++t) {
    char text[32];
    std::snprintf(text, sizeof text, "%d:%02d %s", hour, minute, pm ? "p.m." : "a.m.");
    readings.emplace_back(text);
    if (++minute == 60) {
      minute = 0;
      hour = hour % 12 + 1;
      pm = hour == 12 ? !pm : pm;
    }
  }
  return readings;
}
const std::vector<std::string> readings = clock_readings();

// The line printed for any minute count: its time of day, as a word at
// midnight and noon.
std::string clock_line(int t) {
  t = (t % 1440 + 1440) % 1440;
  return t == 0 ? "midnight\n" : t == 720 ? "noon\n" : readings[static_cast<size_t>(t)] + "\n";
}

// Expects a run that ended well with the output want; on a difference shows
// where it starts, as a whole-text diff of these outputs would take too long.
void expect_output(const testsupport::Outcome& run, const std::string& want) {
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  const size_t at = static_cast<size_t>(
      std::mismatch(run.out.begin(), run.out.end(), want.begin(), want.end()).first -
      run.out.begin());
  EXPECT_TRUE(run.out == want) << "from byte " << at << " got \"" << run.out.substr(at, 60)
                               << "\"\nwanted \"" << want.substr(at, 60) << '"';
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
        want += clock_line((t.hour % 12) * 60 + t.minute + (t.pm ? 720 : 0) - minutes(from.offset) +
                           minutes(to.offset));
      }
    }
  }
  expect_output(testsupport::run_program(PROGRAM_PATH, input), want);
}

TEST(ZoneclockEndToEnd, EveryMinuteOfTheDayAgainstARunningClock) {
  std::string input = "2880\n";
  std::string want;
  for (int t = 0; t < 1440; ++t) {
    input += readings[static_cast<size_t>(t)] + " UTC UTC\n";
    want += clock_line(t);
    input += readings[static_cast<size_t>(t)] + " UTC NST\n";
    want += clock_line(t - 210);
  }
  expect_output(testsupport::run_program(PROGRAM_PATH, input), want);
}

// A zone lookup as a scan of the table above in order, each zone's name and
// then its offset text: false when no entry equals the token. A name found
// sets off to its zone's offset; an offset text found leaves off alone, as
// the entry after it, a name or the table's end, is no number.
bool look_up(std::string_view token, int& off) {
  for (const Zone& zone : zones) {
    if (token == zone.name) {
      off = minutes(zone.offset);
      return true;
    }
    if (token == zone.offset) {
      return true;
    }
  }
  return false;
}

// Every table entry with one byte changed, added or dropped at each place
// (so "+10.0", "+10.55" and "+1.5" beside "+10.5"), as either zone of a
// query: the reports and times printed are those of an in-order table scan.
TEST(ZoneclockEndToEnd, TokensOneByteFromATableEntryAgainstATableScan) {
  // The bytes of the table's entries, and three that are in none.
  constexpr char table_bytes[] = "ABCDEGHIKMNPSTUW0123456789+-.x\0\xff";
  const std::string_view bytes(table_bytes, sizeof table_bytes - 1);
  std::string queries;
  std::string want;
  size_t count = 0;
  int off = 0;
  auto query = [&](const std::string& from, const std::string& to) {
    queries += "noon " + from + " " + to + "\n";
    int t = 720;
    if (!look_up(from, off)) {
      want += "oops:  <<<" + from + ">>>\n";
    }
    t -= off;
    if (!look_up(to, off)) {
      want += "oops:  " + to + "\n";
    }
    want += clock_line(t + off);
    ++count;
  };
  // Beside NST, the time printed shows whether the token set an offset.
  auto both_ways = [&](const std::string& token) {
    query(token, "NST");
    query("NST", token);
  };
  for (const Zone& zone : zones) {
    for (const std::string entry : {zone.name, zone.offset}) {
      for (size_t at = 0; at <= entry.size(); ++at) {
        const std::string head = entry.substr(0, at);
        if (at < entry.size() && entry.size() > 1) {
          both_ways(head + entry.substr(at + 1));
        }
        for (char b : bytes) {
          both_ways(head + b + entry.substr(at));
          if (at < entry.size()) {
            both_ways(head + b + entry.substr(at + 1));
          }
        }
      }
    }
  }
  expect_output(testsupport::run_program(PROGRAM_PATH, std::to_string(count) + "\n" + queries),
                want);
}

TEST(ZoneclockEndToEnd, UnwritableOutputAtSeveralSizesIsStatusOne) {
  const auto input_for = [](size_t bytes) {
    return std::to_string(bytes / 10) + "\n" +
           testsupport::repeated("1:00 a.m. UTC UTC\n", bytes / 10);
  };
  EXPECT_EQ(testsupport::runs_not_failing_on_full_output(PROGRAM_PATH, input_for), "");
}

// A failed write ends the run at once while input keeps coming: stdout on
// /dev/full, or on a pipe nobody reads with SIGPIPE ignored. From the second
// time on, the count is read as a time token: every query is complete.
TEST(ZoneclockEndToEnd, FailedWriteEndsTheRunWithInputStillComing) {
  for (const bool broken_pipe : {false, true}) {
    const auto run =
        testsupport::run_on_endless_input(PROGRAM_PATH, "2000000000 noon UTC UTC\n", broken_pipe);
    EXPECT_EQ(run.status, 1) << (broken_pipe ? "a pipe nobody reads" : "/dev/full");
    EXPECT_EQ(run.err, "");
  }
}

// Counts just below, at and past each point where a count could wrap, with
// three complete queries after them: a count read as the nearest end of the
// 32-bit range asks for more queries than there are (status 1), where a
// wrapped one would ask for none, or two, or one.
TEST(ZoneclockEndToEnd, CountsAroundEverySaturationPoint) {
  const struct {
    const char* count;
    int answers, status;
  } counts[] = {
      {"2", 2, 0},
      {"3", 3, 0},
      {"4", 3, 1},
      {"2147483646", 3, 1},
      {"2147483647", 3, 1},
      {"2147483648", 3, 1},
      {"2147483650", 3, 1},
      {"4294967295", 3, 1},
      {"4294967296", 3, 1},
      {"4294967298", 3, 1},
      {"9223372036854775807", 3, 1},
      {"9223372036854775808", 3, 1},
      {"9223372036854775810", 3, 1},
      {"18446744073709551615", 3, 1},
      {"18446744073709551616", 3, 1},
      {"18446744073709551618", 3, 1},
      {"+4294967298", 3, 1},
      {"99999999999999999999999999999999999999", 3, 1},
      {"000000000000000000000000000000000000002", 2, 0},
      {"000000000000000000000000000004294967298", 3, 1},
      {"-2147483647", 0, 0},
      {"-2147483648", 0, 0},
      {"-2147483649", 0, 0},
      {"-4294967294", 0, 0},
      {"-4294967295", 0, 0},
      {"-9223372036854775809", 0, 0},
      {"-18446744073709551614", 0, 0},
      {"-18446744073709551615", 0, 0},
  };
  for (const auto& c : counts) {
    const auto run =
        testsupport::run_program(PROGRAM_PATH, std::string(c.count) + " noon UTC UTC\n" +
                                                   "1:05 a.m. UTC UTC\n" + "midnight UTC UTC\n");
    const std::string all = "noon\n1:05 a.m.\nmidnight\n";
    const size_t lines[] = {0, 5, 15, 24};
    EXPECT_EQ(run.status, c.status) << c.count;
    EXPECT_EQ(run.out, all.substr(0, lines[c.answers])) << c.count;
    EXPECT_EQ(run.err, "") << c.count;
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

TEST(ZoneclockEndToEnd, LongRunsOfBlanksAndLeadingZerosAreNotKept) {
  if (testsupport::address_sanitized) {
    GTEST_SKIP() << "the address sanitizer needs more address space than the limit";
  }
  // 16 MiB of address space, and 56 MiB that need not be kept: 8 MiB of
  // blanks before a count with 8 MiB of leading zeros, 8 MiB between the two
  // zones of a query and 32 MiB of blank lines between two queries.
  const std::string input = std::string(size_t{8} << 20, ' ') + std::string(size_t{8} << 20, '0') +
                            "2\nnoon UTC" + std::string(size_t{8} << 20, ' ') + "CET\n" +
                            std::string(size_t{32} << 20, '\n') + "noon CET UTC\n";
  const auto run = testsupport::run_program(PROGRAM_PATH, input, nullptr, rlim_t{16} << 20);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "1:00 p.m.\n11:00 a.m.\n");
  EXPECT_EQ(run.err, "");
}

// Tokens that fill the input window, of 65,536 bytes, exactly or all but a
// byte or two, or fill it twice over, or four times, starting at its front
// or near its end after an earlier query: the window grows while the token
// comes, and the token is reported whole. A zone after a long run of blanks
// is found all the same.
TEST(ZoneclockEndToEnd, TokensAcrossTheWindowsGrowth) {
  for (const size_t start : {size_t{21}, size_t{65536 - 2}, size_t{65536 - 3001}}) {
    for (const size_t length : {65535, 65536, 65537, 131071, 131072, 131073, 300000}) {
      std::string zone;
      for (size_t k = 0; k < length; ++k) {
        zone += static_cast<char>('A' + k % 23);  // a byte lost or moved shows
      }
      std::string input = "3\nnoon UTC CET\n";
      input += std::string(start - input.size() - 5, ' ') + "noon " + zone + " UTC\n";
      input += std::string(70000, '\n') + "3:45 p.m. UTC CET";
      const auto run = testsupport::run_program(PROGRAM_PATH, input);
      // The unknown source zone keeps CET's offset.
      const std::string want = "1:00 p.m.\noops:  <<<" + zone + ">>>\n11:00 a.m.\n4:45 p.m.\n";
      EXPECT_EQ(run.status, 0) << length << " bytes from byte " << start;
      EXPECT_TRUE(run.out == want) << length << " bytes from byte " << start;
      EXPECT_EQ(run.err, "") << length << " bytes from byte " << start;
    }
  }
}

TEST(ZoneclockEndToEnd, TokenTooLongForTheMemoryKeepsTheAnswersBefore) {
  if (const char* why = testsupport::without_address_limit()) {
    GTEST_SKIP() << why;
  }
  const std::string input =
      "2\nnoon UTC CET\nnoon " + std::string(size_t{32} << 20, 'Z') + " UTC\n";
  const auto run = testsupport::run_program(PROGRAM_PATH, input, nullptr, rlim_t{16} << 20);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, "1:00 p.m.\n");
}

// On a 32-bit machine a token can outgrow what the window's vector holds
// (max_size(), 2^31 - 1 bytes) before the memory runs out: that ends the run
// the same way, the answers before it written, status 1, nothing on stderr.
// The token is 1.2 GB of NUL bytes, from a sparse file.
TEST(ZoneclockEndToEnd, TokenPastWhatTheWindowHoldsOnThirtyTwoBits) {
  if (sizeof(void*) > 4) {
    GTEST_SKIP() << "only a 32-bit window reaches max_size() before the memory runs out";
  }
  const auto run = testsupport::run_program(PROGRAM_PATH, "2\nnoon UTC UTC\nnoon ", nullptr, 0,
                                            off_t{1200} * 1000 * 1000);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, "noon\n");
}

// Descriptors in non-blocking mode, which the program shares with whoever set
// the mode, are waited on: input that has not arrived yet is not its end, and
// a full output pipe is not a failed write.
TEST(ZoneclockEndToEnd, WaitsOnNonBlockingInputAndOutput) {
  testsupport::Coprocess program(PROGRAM_PATH, false, true);
  // 45,005 bytes in, which the input pipe holds whole, and 145,000 out, more
  // than the output pipe holds: the program finds its input empty, then its
  // output full, and sleeps each time.
  std::string input = "5000\n";
  std::string want;
  for (int q = 0; q < 5000; ++q) {
    input += "noon Q Z\n";
    want += "oops:  <<<Q>>>\noops:  Z\nnoon\n";
  }
  program.await_sleep();
  ASSERT_TRUE(program.send(input));
  program.await_sleep();
  EXPECT_TRUE(program.reply(want.size()) == want);  // not printed whole: 145,000 bytes
  const auto run = program.finish();
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, "");
}

// Sends the queries a piece at a time, input kept open, and awaits each
// answer before the next piece: a report comes with its answer, and a query
// split inside its tokens is answered once its last token is complete.
void converse(bool on_terminal) {
  const struct {
    std::vector<std::string_view> pieces;
    std::string_view answer;
  } steps[] = {
      {{"3\nnoon XYZ UTC\n"}, "oops:  <<<XYZ>>>\nnoon\n"},
      {{"9:3", "0 a.m. E", "ST CE", "T", "\n"}, "3:30 p.m.\n"},
      {{"midnight UTC Mars\n"}, "oops:  Mars\nmidnight\n"},
  };
  testsupport::Coprocess program(PROGRAM_PATH, on_terminal);
  ASSERT_GT(program.pid(), 0);
  for (const auto& step : steps) {
    for (std::string_view piece : step.pieces) {
      ASSERT_TRUE(program.send(piece));
    }
    ASSERT_EQ(program.reply(step.answer.size()), step.answer);
  }
  const auto run = program.finish();
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, "");
}

TEST(ZoneclockCoprocess, AnswersEachQueryOnPipes) {
  converse(false);
}

TEST(ZoneclockCoprocess, AnswersEachQueryAtATerminal) {
  converse(true);
}

}  // namespace
