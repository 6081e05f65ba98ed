#include "clock.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

using zoneclock::x;

// The lookup as a plain scan of the table in order: the behaviour zone_index
// must keep.
int scan(std::string_view token) {
  int i = 0;
  while (!x[static_cast<size_t>(i)].empty() && x[static_cast<size_t>(i)] != token) {
    ++i;
  }
  return i;
}

TEST(ZoneIndex, MatchesTableScanForEveryEntryAndUnknownTokens) {
  for (std::string_view entry : x) {
    if (!entry.empty()) {
      EXPECT_EQ(zoneclock::zone_index(entry), scan(entry)) << entry;
    }
  }
  for (std::string_view token :
       {"XYZ", "utc", "Utc", "UTC ", "+1.0", "1", "-0", "WETT", "A", "p.m.", "noon"}) {
    EXPECT_EQ(zoneclock::zone_index(token), zoneclock::table_end) << token;
  }
  EXPECT_EQ(zoneclock::zone_index(std::string_view("UTC\0", 4)), zoneclock::table_end);
  EXPECT_EQ(zoneclock::zone_index(std::string(500, 'A')), zoneclock::table_end);
}

TEST(ZoneIndex, OffsetTextsStopAtTheirFirstOccurrence) {
  EXPECT_EQ(zoneclock::zone_index("0"), 1);
  EXPECT_EQ(zoneclock::zone_index("+1"), 7);
  EXPECT_EQ(zoneclock::zone_index("-3.5"), 29);
  EXPECT_EQ(zoneclock::zone_index("+8"), 63);
}

TEST(EntryMinutes, OffsetTextsAreNumbersAndNamesAreNot) {
  EXPECT_EQ(zoneclock::entry_minutes(1), 0);
  EXPECT_EQ(zoneclock::entry_minutes(29), -210);
  EXPECT_EQ(zoneclock::entry_minutes(61), 630);
  EXPECT_EQ(zoneclock::entry_minutes(49), -600);
  EXPECT_FALSE(zoneclock::entry_minutes(0).has_value());
  EXPECT_FALSE(zoneclock::entry_minutes(64).has_value());
  EXPECT_FALSE(zoneclock::entry_minutes(65).has_value());
}

TEST(SplitTime, ReadsWhatItCanAndKeepsTheRest) {
  struct Case {
    const char* token;
    int32_t h, m;
  };
  const Case cases[] = {
      {"9:05", 9, 5},
      {"12:00", 12, 0},
      {"-5:-70", -5, -70},
      {"+3:+4", 3, 4},
      {"7", 7, 99},
      {"7:", 7, 99},
      {"x:15", 88, 99},
      {":15", 88, 99},
      {"7x:15", 7, 99},
      {"7:15x", 7, 15},
      {"-", 88, 99},
      {"7:-", 7, 99},
      {"007:0009", 7, 9},
      {"2147483647:0", 2147483647, 0},
      {"2147483648:1", 2147483647, 1},
      {"-2147483648:1", -2147483648, 1},
      {"-99999999999999999999:99999999999999999999", -2147483648, 2147483647},
  };
  for (const Case& c : cases) {
    int32_t h = 88;
    int32_t m = 99;
    zoneclock::split_time(c.token, h, m);
    EXPECT_EQ(h, c.h) << c.token;
    EXPECT_EQ(m, c.m) << c.token;
  }
}

TEST(SplitTime, AgreesWithSscanfOnInRangeTokens) {
  const char* tokens[] = {"1:2",       "12:59", "-0:-0", "+12:+59", "3",     "a",    "3:b",
                          "0012:0030", "1:2:3", "4::5",  "+-1:2",   "--3:4", "5:+-6"};
  for (const char* token : tokens) {
    int h1 = 41, m1 = 42;
    int32_t h2 = 41, m2 = 42;
    std::sscanf(token, "%d:%d", &h1, &m1);  // NOLINT(cert-err34-c): the reference
    zoneclock::split_time(token, h2, m2);
    EXPECT_EQ(h1, h2) << token;
    EXPECT_EQ(m1, m2) << token;
  }
}

TEST(WrapDay, IsFloorModulo) {
  EXPECT_EQ(zoneclock::wrap_day(0), 0);
  EXPECT_EQ(zoneclock::wrap_day(1439), 1439);
  EXPECT_EQ(zoneclock::wrap_day(1440), 0);
  EXPECT_EQ(zoneclock::wrap_day(-1), 1439);
  EXPECT_EQ(zoneclock::wrap_day(-1440), 0);
  EXPECT_EQ(zoneclock::wrap_day(-1441), 1439);
  EXPECT_EQ(zoneclock::wrap_day(INT64_MIN), ((INT64_MIN % 1440) + 1440) % 1440);
}

TEST(FormatClock, MatchesPrintfForEveryMinuteOfTheDay) {
  for (int64_t t = 0; t < 1440; ++t) {
    char want[32];
    if (t == 0) {
      std::snprintf(want, sizeof want, "midnight\n");
    } else if (t == 720) {
      std::snprintf(want, sizeof want, "noon\n");
    } else {
      int hour = static_cast<int>(t / 60 % 12);
      std::snprintf(want, sizeof want, "%d:%02d %s\n", hour == 0 ? 12 : hour,
                    static_cast<int>(t % 60), t <= 720 ? "a.m." : "p.m.");
    }
    char got[16];
    int32_t h = -1;
    int32_t m = -1;
    int n = zoneclock::format_clock(t, got, h, m);
    EXPECT_EQ(std::string(got, static_cast<size_t>(n)), want) << t;
    if (t != 0 && t != 720) {
      EXPECT_EQ(h, t / 60 % 12 == 0 ? 12 : t / 60 % 12);
      EXPECT_EQ(m, t % 60);
    } else {
      EXPECT_EQ(h, -1);  // noon and midnight leave the fields alone
      EXPECT_EQ(m, -1);
    }
  }
}

}  // namespace
