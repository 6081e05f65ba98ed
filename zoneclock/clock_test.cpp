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
      {"7x30", 7, 99},
      {"7.30", 7, 99},
      {"7;30", 7, 99},
      {"7-30", 7, 99},
      {"7+30", 7, 99},
      {"7::30", 7, 99},
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
  // 2^63 = 6,405,119,470,038,038 x 1440 + 1088
  EXPECT_EQ(zoneclock::wrap_day(INT64_MIN), 1440 - 1088);
  EXPECT_EQ(zoneclock::wrap_day(INT64_MAX), 1087);
}

}  // namespace
