#include "period.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>

namespace {

using strpower::period;

// The shortest dividing period by trying every divisor of the length in
// increasing order and checking the whole line against it.
size_t brute_period(std::string_view line) {
  for (size_t d = 1; d <= line.size(); ++d) {
    if (line.size() % d != 0) {
      continue;
    }
    bool repeats = true;
    for (size_t i = d; i < line.size() && repeats; ++i) {
      repeats = line[i] == line[i - d];
    }
    if (repeats) {
      return d;
    }
  }
  return 0;
}

std::string repeat(std::string_view unit, size_t times) {
  std::string line;
  for (size_t t = 0; t < times; ++t) {
    line += unit;
  }
  return line;
}

TEST(Period, ExampleLines) {
  const struct {
    std::string_view line;
    size_t p;
  } cases[] = {
      {"abcd", 4},
      {"aaaa", 1},
      {"ababab", 2},
      {"abababab", 2},
      {"abcabcabcabc", 3},
      {"aabaab", 3},
      {"xyzxyzxy", 8},
      {"a", 1},
      {"ab ab ", 3},
      {"", 0},
      {"abaaba", 3},
      {"abababa", 7},
      {".", 1},
      {"\r\r", 1},
      {"aaaaaaaaaaab", 12},
      {"baaaaaaaaaaa", 12},
      {std::string_view("ab\0ab\0", 6), 3},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(period(c.line), c.p) << c.line;
  }
}

TEST(Period, PrimeLengths) {
  for (size_t p : {2, 3, 5, 7, 11, 13, 101, 997, 65521, 1999993}) {
    std::string same(p, 'a');
    EXPECT_EQ(period(same), 1U) << p;
    same.back() = 'b';
    EXPECT_EQ(period(same), p) << p;
  }
}

TEST(Period, LengthsWithManyFactorsAgainstBruteForce) {
  // Nested repetitions whose length has a prime factor many times over, with
  // the change put at every level's boundary.
  for (size_t length : {1024, 729, 720, 2310, 4096, 5040}) {
    for (size_t d = 1; d <= length; ++d) {
      if (length % d != 0) {
        continue;
      }
      std::string line = repeat(std::string(d - 1, 'a') + "b", length / d);
      EXPECT_EQ(period(line), brute_period(line)) << length << " " << d;
      line[length - 1] = 'c';
      EXPECT_EQ(period(line), brute_period(line)) << length << " " << d;
    }
  }
}

TEST(Period, RandomRepetitionsAgainstBruteForce) {
  std::mt19937 rng(20240505);
  const std::string_view alphabets[] = {"a", "ab", "abc", std::string_view("\0\n", 2),
                                        "abcdefghijklmnopqrstuvwxyz"};
  int checked = 0;
  for (int round = 0; round < 20000; ++round) {
    std::string_view alphabet = alphabets[rng() % std::size(alphabets)];
    auto pick = [&] { return alphabet[rng() % alphabet.size()]; };
    std::string unit(1 + rng() % 12, ' ');
    for (char& c : unit) {
      c = pick();
    }
    std::string line = repeat(unit, 1 + rng() % 40);
    if (rng() % 2 == 0) {
      line[rng() % line.size()] = pick();
    }
    ASSERT_EQ(period(line), brute_period(line)) << line;
    ++checked;
  }
  EXPECT_EQ(checked, 20000);
}

}  // namespace
