#include "reader.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

// Input for the reader: a string handed out in pieces of random length, so
// that numbers and white space are cut at every possible place, or, with a
// longest piece of 0, in pieces as long as the reader asks for.
std::string input;
size_t handed;
size_t longest_piece = 7;
std::mt19937 piece_rng(7);

size_t from_input(char* buf, size_t size) {
  const size_t piece = longest_piece == 0
                           ? size
                           : std::uniform_int_distribution<size_t>(1, longest_piece)(piece_rng);
  const size_t n = std::min({size, input.size() - handed, piece});
  std::memcpy(buf, input.data() + handed, n);
  handed += n;
  return n;
}

void start(const std::string& text, size_t piece = 7) {
  input = text;
  handed = 0;
  longest_piece = piece;
  quickcount::start_reading(from_input);
}

struct Read {
  bool ok = false;
  int value = -77;
  long stop = -1;  // bytes used up
  bool operator==(const Read&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Read& r) {
  return os << "{ok " << r.ok << ", value " << r.value << ", stop " << r.stop << "}";
}

// What fscanf("%d") does on a stream holding text, read repeatedly until a
// read fails: success, value and the stream position after each read.
std::vector<Read> scanf_reads(const std::string& text) {
  std::vector<Read> reads;
  std::string copy = text;  // fmemopen wants a writable buffer
  FILE* f = fmemopen(copy.data(), copy.size(), "r");
  if (f == nullptr) {  // glibc refuses a buffer of size 0
    f = std::fopen("/dev/null", "r");
  }
  for (;;) {
    Read r;
    r.ok = std::fscanf(f, "%d", &r.value) == 1;  // NOLINT(cert-err34-c): the reference
    r.stop = std::ftell(f);
    reads.push_back(r);
    if (!r.ok) {
      break;
    }
  }
  std::fclose(f);
  return reads;
}

std::vector<Read> reader_reads(const std::string& text, size_t piece) {
  std::vector<Read> reads;
  start(text, piece);
  for (;;) {
    Read r;
    int32_t v = -77;
    r.ok = quickcount::read_int(v);
    r.value = v;
    r.stop = static_cast<long>(quickcount::consumed());
    reads.push_back(r);
    if (!r.ok) {
      break;
    }
  }
  return reads;
}

// Random text whose digit runs stay short enough to be in range: digits,
// signs, every white space byte, letters glued to numbers, bytes above 127.
std::string random_text(std::mt19937& rng) {
  static const std::string alphabet =
      "0123456789000111+-+- \t\n\v\f\r  abxXeE.,_\x01\x7f\x80\xa0\xff";
  std::string text;
  const int length = std::uniform_int_distribution<int>(0, 24)(rng);
  int run = 0;
  for (int i = 0; i < length; ++i) {
    char c = alphabet[std::uniform_int_distribution<size_t>(0, alphabet.size() - 1)(rng)];
    const bool digit = c >= '0' && c <= '9';
    run = digit ? run + 1 : 0;
    if (run > 9) {
      c = ' ';
      run = 0;
    }
    text += c;
  }
  return text;
}

// White space, a sign or two, leading zeros, an in-range number and something
// glued after it.
std::string number_text(std::mt19937& rng) {
  static const char* const blanks[] = {"", " ", "\t", "\n", "\v", "\f", "\r", " \t\n\v\f\r"};
  static const char* const signs[] = {"", "", "-", "+", "+-", "-+", "--", "++", "- ", "+ "};
  static const char* const tails[] = {"", " ", "x", "a1", "-5", "+", ".5", "\n", "\xff", "e9"};
  std::string text = blanks[rng() % std::size(blanks)];
  const std::string sign = signs[rng() % std::size(signs)];
  text += sign;
  text += std::string(rng() % 4 == 0 ? rng() % 30 : 0, '0');
  const int64_t top = sign == "-" ? int64_t{1} << 31 : (int64_t{1} << 31) - 1;
  const int64_t magnitude = rng() % 3 == 0 ? std::uniform_int_distribution<int64_t>(0, top)(rng)
                                           : std::uniform_int_distribution<int64_t>(0, 999)(rng);
  if (rng() % 8 != 0) {  // sometimes no digits at all
    text += std::to_string(rng() % 16 == 0 ? top : magnitude);
  }
  text += tails[rng() % std::size(tails)];
  return text;
}

TEST(ReadInt, AgreesWithScanfOnRandomAndAdversarialTexts) {
  std::mt19937 rng(2024);
  int compared = 0;
  for (int i = 0; i < 120000; ++i) {
    const std::string text = i % 2 == 0 ? random_text(rng) : number_text(rng);
    // sscanf: success, value and where the number stopped (%n).
    int want_value = -77;
    int want_stop = -1;
    const bool want_ok =
        std::sscanf(text.c_str(), "%d%n", &want_value, &want_stop) >= 1;  // NOLINT(cert-err34-c)
    start(text, 0);  // whole: numbers ending inside the chunk take the short way
    int32_t value = -77;
    const bool ok = quickcount::read_int(value);
    ASSERT_EQ(ok, want_ok) << '"' << text << '"';
    if (ok) {
      ASSERT_EQ(value, want_value) << '"' << text << '"';
      ASSERT_EQ(static_cast<int>(quickcount::consumed()), want_stop) << '"' << text << '"';
    } else {
      ASSERT_EQ(value, -77) << '"' << text << '"';
    }
    // fscanf on a stream: the same, read after read, and where a failed
    // read leaves the stream (white space and a sign stay read).
    ASSERT_EQ(reader_reads(text, 1 + i % 9), scanf_reads(text)) << '"' << text << '"';
    ++compared;
  }
  EXPECT_GE(compared, 100000);
}

TEST(ReadInt, ReadsSequencesLikeScanf) {
  std::mt19937 rng(99);
  for (int i = 0; i < 3000; ++i) {
    std::string text;
    const int parts = std::uniform_int_distribution<int>(1, 12)(rng);
    for (int k = 0; k < parts; ++k) {
      // A space between parts keeps their digit runs apart, and in range.
      text += (k % 3 == 0 ? random_text(rng) : number_text(rng)) + " ";
    }
    ASSERT_EQ(reader_reads(text, 1 + i % 13), scanf_reads(text)) << '"' << text << '"';
  }
}

TEST(ReadInt, ClampsToTheThirtyTwoBitRange) {
  const struct {
    const char* text;
    int32_t value;
  } cases[] = {
      {"2147483647", INT32_MAX},
      {"2147483648", INT32_MAX},
      {"+99999999999999999999999", INT32_MAX},
      {"-2147483648", INT32_MIN},
      {"-2147483649", INT32_MIN},
      {"-99999999999999999999999", INT32_MIN},
      {"000000000000000000000002147483647", INT32_MAX},
      {"-000000000000000000000002147483648", INT32_MIN},
      {"4294967296", INT32_MAX},
      {"-4294967297", INT32_MIN},
      {"18446744073709551617", INT32_MAX},
  };
  for (const auto& c : cases) {
    // At the end of the input, and followed by more in the same chunk.
    for (const std::string& text : {std::string(c.text), std::string(c.text) + " 1"}) {
      start(text, 0);
      int32_t value = 0;
      EXPECT_TRUE(quickcount::read_int(value)) << text;
      EXPECT_EQ(value, c.value) << text;
      EXPECT_EQ(quickcount::consumed(), std::strlen(c.text)) << text;
    }
  }
}

TEST(ReadInt, RunsLongerThanAChunk) {
  const std::string zeros(200000, '0');
  const std::string blanks(150000, '\v');
  start(blanks + "-" + zeros + "12" + blanks + zeros + "7x", 1 << 16);
  int32_t value = 0;
  ASSERT_TRUE(quickcount::read_int(value));
  EXPECT_EQ(value, -12);
  ASSERT_TRUE(quickcount::read_int(value));
  EXPECT_EQ(value, 7);
  EXPECT_EQ(quickcount::consumed(), 2 * blanks.size() + 2 * zeros.size() + 4);
  EXPECT_FALSE(quickcount::read_int(value));
  EXPECT_EQ(value, 7);
}

TEST(ReadInt, NulIsNotWhiteSpaceAndTheEndStaysTheEnd) {
  start(std::string("5\0 6", 4));
  int32_t value = 0;
  ASSERT_TRUE(quickcount::read_int(value));
  EXPECT_EQ(value, 5);
  EXPECT_FALSE(quickcount::read_int(value));
  EXPECT_EQ(quickcount::consumed(), 1U);
  start(" 8 ");
  ASSERT_TRUE(quickcount::read_int(value));
  EXPECT_FALSE(quickcount::read_int(value));
  EXPECT_FALSE(quickcount::read_int(value));
  EXPECT_EQ(value, 8);
  EXPECT_EQ(quickcount::consumed(), 3U);
}

TEST(ReadInts, StopsAtTheFirstFailure) {
  start("1 -2 +3 4x 5");
  std::vector<int32_t> values(8, -9);
  EXPECT_EQ(quickcount::read_ints(values.data(), 8), 4);
  EXPECT_EQ(values, (std::vector<int32_t>{1, -2, 3, 4, -9, -9, -9, -9}));
  start("1 2 3");
  EXPECT_EQ(quickcount::read_ints(values.data(), 2), 2);
  EXPECT_EQ(quickcount::read_ints(values.data(), 0), 0);
  EXPECT_EQ(quickcount::read_ints(values.data(), 5), 1);
  EXPECT_EQ(values[0], 3);
}

}  // namespace
