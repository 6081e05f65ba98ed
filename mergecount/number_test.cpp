#include "number.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Read {
  bool ok = false;
  int32_t value = 0;
  uint64_t stop = 0;  // bytes taken, when ok
};

// One read_number on the given bytes, after a first read of a 0 placed
// before them, so that the bytes are already in the chunk as they are for
// every read but a chunk's first.
Read read_one(const std::string& text) {
  std::string bytes = "0 " + text;
  std::FILE* in = fmemopen(bytes.data(), bytes.size(), "r");
  EXPECT_NE(in, nullptr);
  mergecount::read_from(in);
  Read r;
  EXPECT_TRUE(mergecount::read_number(r.value));
  r.ok = mergecount::read_number(r.value);
  r.stop = r.ok ? mergecount::consumed() - 2 : 0;
  std::fclose(in);
  return r;
}

// The C library's reading of the same bytes with "%i", and with "%lli" whose
// value, clamped to 32 bits, is what the reader must give for any size.
Read c_library_i(const std::string& text) {
  Read r;
  int value = 0;
  int stop = 0;
  r.ok = std::sscanf(text.c_str(), "%i%n", &value, &stop) == 1;
  r.value = value;
  r.stop = r.ok ? static_cast<uint64_t>(stop) : 0;
  return r;
}

Read c_library_clamped(const std::string& text, bool& in_range) {
  Read r;
  long long value = 0;
  int stop = 0;
  r.ok = std::sscanf(text.c_str(), "%lli%n", &value, &stop) == 1;
  in_range =
      value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max();
  r.value = static_cast<int32_t>(std::clamp<long long>(value, std::numeric_limits<int32_t>::min(),
                                                       std::numeric_limits<int32_t>::max()));
  r.stop = r.ok ? static_cast<uint64_t>(stop) : 0;
  return r;
}

std::string pick(std::mt19937& rng, const std::vector<std::string>& options) {
  return options[rng() % options.size()];
}

std::string digits_in_base(uint64_t magnitude, int base, bool upper) {
  const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::string s;
  do {
    s.insert(s.begin(), set[magnitude % static_cast<uint64_t>(base)]);
    magnitude /= static_cast<uint64_t>(base);
  } while (magnitude != 0);
  return s;
}

// A string built to probe the edges of "%i": white space of every kind,
// signs, the three bases with in-range values, "0x" with and without digits,
// 08 and 09, letters glued to digits, and bytes that start no number.
std::string adversarial(std::mt19937& rng) {
  std::string s;
  const int blanks = static_cast<int>(rng() % 4);
  for (int k = 0; k < blanks; ++k) {
    s += pick(rng, {" ", "\t", "\n", "\v", "\f", "\r"});
  }
  if (rng() % 20 == 0) {
    s += pick(rng, {"+-", "--", "-+", "- ", "+\n"});
  } else {
    s += pick(rng, {"", "", "+", "-"});
  }
  // Magnitudes in range for either sign, biased to the ends of the range.
  uint64_t magnitude = rng();
  switch (rng() % 5) {
    case 0:
      magnitude %= 1000;
      break;
    case 1:
      magnitude = (uint64_t{1} << 31) - rng() % 3;
      break;
    default:
      magnitude %= uint64_t{1} << 31;
  }
  const bool upper = rng() % 2 == 0;
  switch (rng() % 9) {
    case 0:
    case 1:
    case 2:
      s += digits_in_base(magnitude, 10, false);
      break;
    case 3:
      s += (upper ? "0X" : "0x") + std::string(rng() % 3, '0') +
           digits_in_base(magnitude, 16, rng() % 2 == 0);
      break;
    case 4:
      s += std::string(1 + rng() % 3, '0') + digits_in_base(magnitude, 8, false);
      break;
    case 5:
      s += pick(rng, {"0x", "0X", "0xg", "0Xz", "0x ", "0x-1", "0xx1"});
      break;
    case 6:
      s += pick(rng, {"08", "09", "0789", "0", "00", "009", "0b1", "0.5"});
      break;
    case 7:
      s += pick(rng, {"x", "abc", ".", "e5", "+", "-", "", "\x01", "\xff"});
      break;
    default:
      s += std::string(20 + rng() % 30, '0') + digits_in_base(magnitude % 1000, 10, false);
  }
  s += pick(rng, {"", "", " ", "\n", "abc", "x", "g", "e9", ".", "-5", " 12", "\t0x1", "z9", "8",
                  "9", "ff"});
  return s;
}

TEST(ReadNumber, AgreesWithTheCLibraryOnAdversarialStrings) {
  std::mt19937 rng(4242);
  int compared_in_range = 0;
  for (int trial = 0; trial < 150000; ++trial) {
    const std::string text = adversarial(rng);
    // Bare, the number runs into the end of the input; followed by more
    // numbers, it ends inside a chunk, where plain decimal numbers take the
    // fast way and the bytes after them must not leak into the value.
    for (const std::string& form : {text, text + " 98765432 1234567890123 0x5\n"}) {
      bool in_range = false;
      const Read clamped = c_library_clamped(form, in_range);
      const Read got = read_one(form);
      ASSERT_EQ(got.ok, clamped.ok) << '"' << form << '"';
      if (!got.ok) {
        continue;
      }
      ASSERT_EQ(got.stop, clamped.stop) << '"' << form << '"';
      ASSERT_EQ(got.value, clamped.value) << '"' << form << '"';
      if (in_range) {
        const Read plain = c_library_i(form);
        ASSERT_TRUE(plain.ok) << '"' << form << '"';
        ASSERT_EQ(got.stop, plain.stop) << '"' << form << '"';
        ASSERT_EQ(got.value, plain.value) << '"' << form << '"';
        ++compared_in_range;
      }
    }
  }
  EXPECT_GE(compared_in_range, 100000);
}

TEST(ReadNumber, NumbersBeyondTheRangeClampToItsEnds) {
  struct Case {
    const char* text;
    int32_t value;
  };
  const Case cases[] = {
      {"2147483647", 2147483647},
      {"2147483648", 2147483647},
      {"-2147483648", -2147483648},
      {"-2147483649", -2147483648},
      {"0xffffffff", 2147483647},
      {"-0xffffffff", -2147483648},
      {"0x80000000", 2147483647},
      {"-0x80000000", -2147483648},
      {"037777777777", 2147483647},
      {"-020000000000", -2147483648},
      {"99999999999999999999999999", 2147483647},
      {"-99999999999999999999999999 ", -2147483648},
      {"1234567890123456 ", 2147483647},
      {"0000000000000000000000000000000000017", 15},
  };
  for (const Case& c : cases) {
    const Read got = read_one(c.text);
    EXPECT_TRUE(got.ok) << c.text;
    EXPECT_EQ(got.value, c.value) << c.text;
  }
}

TEST(ReadNumber, NumbersAcrossAChunkEnd) {
  const char* tokens[] = {"-2147483648",
                          "+2147483647",
                          "0x7fffffff",
                          "0X",
                          "0x",
                          "017",
                          "08",
                          "9",
                          "0x1g",
                          "123456789012345",
                          "-0",
                          "0xABCdef",
                          "00000000000000000000000000000042"};
  constexpr size_t chunk = 65536;
  for (const char* token : tokens) {
    const std::string t = token;
    bool in_range = false;
    const Read alone = c_library_clamped(t + " 1", in_range);
    for (size_t start = chunk - t.size() - 2; start <= chunk + 1; ++start) {
      const std::string text = std::string(start, ' ') + t + " 1";
      const Read got = read_one(text);
      ASSERT_TRUE(got.ok) << t << " at " << start;
      EXPECT_EQ(got.value, alone.value) << t << " at " << start;
      EXPECT_EQ(got.stop, start + alone.stop) << t << " at " << start;
    }
  }
}

// Formats a value as "%i" input in the given base (10, 16 or 8).
std::string formatted(int32_t value, int base, std::mt19937& rng) {
  const uint64_t magnitude = value < 0 ? uint64_t{0} - static_cast<uint64_t>(int64_t{value})
                                       : static_cast<uint64_t>(value);
  std::string sign = value < 0 ? "-" : (rng() % 4 == 0 ? "+" : "");
  switch (base) {
    case 16:
      return sign + (rng() % 2 == 0 ? "0x" : "0X") + digits_in_base(magnitude, 16, rng() % 2 == 0);
    case 8:
      return sign + "0" + digits_in_base(magnitude, 8, false);
    default:
      return sign + digits_in_base(magnitude, 10, false);
  }
}

TEST(ReadNumbers, LongStreamsInEveryBaseAndSeparator) {
  std::mt19937 rng(99);
  const char* separators[] = {" ", "\n", "\t", "\r\n", "  \v", "\f"};
  std::vector<int32_t> values(300000);
  std::string text;
  for (int32_t& v : values) {
    v = rng() % 10 == 0 ? (rng() % 2 == 0 ? std::numeric_limits<int32_t>::min()
                                          : std::numeric_limits<int32_t>::max())
                        : static_cast<int32_t>(rng() >> (rng() % 32));
    v = rng() % 2 == 0 ? v : -(v / 2);
    const int base = rng() % 3 == 0 ? 16 : (rng() % 2 == 0 ? 8 : 10);
    text += formatted(v, base, rng);
    text += separators[rng() % std::size(separators)];
  }
  std::FILE* in = fmemopen(text.data(), text.size(), "r");
  ASSERT_NE(in, nullptr);
  mergecount::read_from(in);
  std::vector<int32_t> got(values.size());
  size_t done = 0;
  while (done < got.size()) {
    const size_t batch = std::min<size_t>(got.size() - done, 1 + rng() % 5000);
    ASSERT_EQ(mergecount::read_numbers(got.data() + done, batch), batch);
    done += batch;
  }
  EXPECT_EQ(got, values);
  int32_t extra = 0;
  EXPECT_FALSE(mergecount::read_number(extra));
  EXPECT_EQ(mergecount::consumed(), text.size());
  std::fclose(in);
}

TEST(ReadNumbers, StopsAtTheFirstFailedReadAndSaysHowManyItRead) {
  std::string text = "1 2 0x3 x 4";
  std::FILE* in = fmemopen(text.data(), text.size(), "r");
  ASSERT_NE(in, nullptr);
  mergecount::read_from(in);
  std::vector<int32_t> got(5, -1);
  EXPECT_EQ(mergecount::read_numbers(got.data(), got.size()), 3U);
  EXPECT_EQ(got, (std::vector<int32_t>{1, 2, 3, -1, -1}));
  std::fclose(in);
}

TEST(ReadNumbers, WaitOnANonBlockingDescriptorForInputStillToCome) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  ASSERT_EQ(fcntl(ends[0], F_SETFL, O_NONBLOCK), 0);
  std::FILE* in = fdopen(ends[0], "r");
  ASSERT_NE(in, nullptr);
  mergecount::read_from(in);
  std::thread writer([&ends] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the first read finds nothing
    EXPECT_EQ(write(ends[1], "12 -7", 5), 5);
    close(ends[1]);
  });
  std::vector<int32_t> got(3);
  EXPECT_EQ(mergecount::read_numbers(got.data(), 3), 2U);
  EXPECT_EQ(got, (std::vector<int32_t>{12, -7, 0}));
  EXPECT_FALSE(mergecount::read_failed());
  writer.join();
  std::fclose(in);
}

}  // namespace
