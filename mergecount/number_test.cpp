#include "number.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "fdio.hpp"
#include "loop_run.hpp"
#include "run_program.hpp"

namespace {

using testsupport::LoopRun;

int32_t clamped(long long value) {
  return static_cast<int32_t>(std::clamp<long long>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

// Makes fd the input of the reads that follow, as count_blocks does; they
// write nothing, so the output named is never written.
void start(int fd) {
  mergecount::fdio::start(fd, STDOUT_FILENO);
  mergecount::start_reading();
}

// One of the paths of read_numbers.
using Read = std::size_t (*)(int32_t*, std::size_t);

// Every path read_numbers may take, and whether this build and processor
// have it.
struct Path {
  const char* name;
  Read read;
  bool here;
  const char* missing;  // why not, where not
};

// Names the path in the test's messages.
void PrintTo(const Path& path, std::ostream* out) {
  *out << path.name;
}

const Path every_path[] = {
    {"scalar", mergecount::read_numbers_scalar, true, ""},
    {"avx2", mergecount::read_numbers_avx2, mergecount::reader_has_avx2(),
     MERGECOUNT_AVX2 != 0 ? "this processor lacks AVX2 or BMI1" : "only in a build for x86-64"},
};

// The reader's tests, once on each path; the path's read is `read`.
class ReadNumber : public testing::TestWithParam<Path> {
 protected:
  void SetUp() override {
    if (!GetParam().here) {
      GTEST_SKIP() << GetParam().name << " path: " << GetParam().missing;
    }
  }
  const Read read = GetParam().read;
};
class ReadNumbers : public ReadNumber {};

// The numbers read reads from fd one after another, up to the first it
// cannot read, asked for 1, 3 or 64 at a time in turn.
std::vector<int32_t> numbers_from(int fd, Read read) {
  std::vector<int32_t> got;
  start(fd);
  std::array<int32_t, 64> block{};
  for (std::size_t round = 0;; ++round) {
    const std::size_t want = std::array<std::size_t, 3>{1, 3, 64}[round % 3];
    const std::size_t k = read(block.data(), want);
    got.insert(got.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(k));
    if (k < want) {
      break;
    }
  }
  EXPECT_FALSE(mergecount::fdio::failed());
  return got;
}

// The same from text in a file, read a whole chunk at a time. One file in
// memory serves every call, as the tests make them by the hundred thousand.
std::vector<int32_t> numbers_read(std::string_view text, Read read) {
  static const int file = memfd_create("numbers", 0);
  EXPECT_EQ(ftruncate(file, 0), 0);
  EXPECT_EQ(pwrite(file, text.data(), text.size(), 0), static_cast<ssize_t>(text.size()));
  EXPECT_EQ(lseek(file, 0, SEEK_SET), 0);
  return numbers_from(file, read);
}

// The same from text arriving in reads as `how` says.
std::vector<int32_t> numbers_read(std::string_view text, const LoopRun& how, Read read) {
  std::vector<int32_t> got;
  testsupport::run_loop(
      [&got, read](int input, int /*output*/) {
        got = numbers_from(input, read);
        return 0;
      },
      text, how);
  return got;
}

struct Scan {
  std::vector<int32_t> values;
  // How many of them came before the first that lay outside the 32-bit range.
  size_t in_range = 0;
};

// The numbers sscanf reads from text with "%lli", each from where the one
// before stopped, up to the first it cannot read, clamped to the 32-bit
// range: what the reader must give for any size.
Scan scanned_clamped(const std::string& text) {
  Scan scan;
  long long value = 0;
  int used = 0;
  bool in_range = true;
  for (const char* at = text.c_str(); std::sscanf(at, "%lli%n", &value, &used) == 1; at += used) {
    in_range = in_range && clamped(value) == value;
    scan.in_range += in_range ? 1 : 0;
    scan.values.push_back(clamped(value));
  }
  return scan;
}

// The same with "%i", which wraps past the 32-bit range: a reference only
// within it.
std::vector<int32_t> scanned_plain(const std::string& text) {
  std::vector<int32_t> values;
  int value = 0;
  int used = 0;
  for (const char* at = text.c_str(); std::sscanf(at, "%i%n", &value, &used) == 1; at += used) {
    values.push_back(value);
  }
  return values;
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

TEST_P(ReadNumber, AgreesWithTheCLibraryOnAdversarialStrings) {
  std::mt19937 rng(4242);
  int compared_in_range = 0;
  for (int trial = 0; trial < 150000; ++trial) {
    const std::string text = adversarial(rng);
    // Bare, the number runs into the end of the input; followed by more
    // numbers, it ends inside a chunk, where plain numbers take the fast way
    // and the bytes after them must not leak into the value. Where each read
    // stops shows in the reads after it. A 0 read first puts the bytes in the
    // chunk, as they are for every read but a chunk's first.
    for (const std::string& form : {text, text + " 98765432 1234567890123 0x5\n"}) {
      const std::string bytes = "0 " + form;
      const Scan want = scanned_clamped(bytes);
      const std::vector<int32_t> got = numbers_read(bytes, read);
      ASSERT_EQ(got, want.values) << '"' << form << '"';
      const std::vector<int32_t> plain = scanned_plain(bytes);
      ASSERT_GE(plain.size(), want.in_range) << '"' << form << '"';
      ASSERT_TRUE(std::equal(plain.begin(), plain.begin() + want.in_range, got.begin()))
          << '"' << form << '"';
      compared_in_range += want.in_range >= 2 ? 1 : 0;
    }
  }
  EXPECT_GE(compared_in_range, 100000);
}

// The digits of one more than the number whose digits in the base (lower
// case) are given.
std::string plus_one(std::string digits, int base) {
  const std::string set = "0123456789abcdef";
  for (size_t k = digits.size(); k-- > 0;) {
    const size_t d = set.find(digits[k]);
    if (d + 1 < static_cast<size_t>(base)) {
      digits[k] = set[d + 1];
      return digits;
    }
    digits[k] = '0';
  }
  return "1" + digits;
}

// The digits in the base of magnitudes just below, at and just past each
// point where a reading in 32 or 64 bits saturates or wraps (2^31, 2^32,
// 2^63, 2^64), of one far past them all, and in octal and hexadecimal of
// 2^31 - 1 and 2^31 behind many leading zeros.
std::vector<std::string> magnitudes_around_the_limits(int base) {
  std::vector<std::string> all;
  for (const int bits : {31, 32, 63}) {
    const uint64_t m = uint64_t{1} << bits;
    for (const uint64_t v : {m - 1, m, m + 1}) {
      all.push_back(digits_in_base(v, base, false));
    }
  }
  const std::string top = digits_in_base(std::numeric_limits<uint64_t>::max(), base, false);
  all.push_back(top);
  all.push_back(plus_one(top, base));
  all.push_back(plus_one(plus_one(top, base), base));
  all.push_back(testsupport::repeated(top, 5));
  for (const uint64_t v : {(uint64_t{1} << 31) - 1, uint64_t{1} << 31}) {
    if (base != 10) {  // a decimal number with a leading 0 is an octal one
      all.push_back(std::string(30, '0') + digits_in_base(v, base, false));
    }
  }
  return all;
}

// Numbers around every limit in decimal, octal and hexadecimal, with each
// sign and none, read against strtoll of the same text clamped to 32 bits:
// in one read, where those of up to 16 bytes take the fast way, and in
// reads of one byte and of odd sizes, which cut every number somewhere.
TEST_P(ReadNumber, NumbersBeyondTheRangeClampToItsEnds) {
  std::vector<std::string> tokens = {"1234567890123456", "9999999999999999", "-0xffffffffffff",
                                     "0777777777777777", "0000000000000000000000000000000000017"};
  for (const std::string prefix : {"", "0", "0x", "0X"}) {
    const int base = prefix.empty() ? 10 : prefix == "0" ? 8 : 16;
    for (std::string digits : magnitudes_around_the_limits(base)) {
      if (prefix == "0X") {
        std::transform(digits.begin(), digits.end(), digits.begin(),
                       [](char c) { return static_cast<char>(std::toupper(c)); });
      }
      for (const char* sign : {"", "+", "-"}) {
        tokens.push_back(sign + (prefix + digits));
      }
    }
  }
  std::string text = "0 ";
  std::vector<int32_t> want = {0};
  for (const std::string& token : tokens) {
    text += token + " ";
    want.push_back(clamped(std::strtoll(token.c_str(), nullptr, 0)));
  }
  for (const LoopRun& how : {LoopRun{}, LoopRun{{1}}, LoopRun{{3, 7, 2, 11, 5}}}) {
    const std::vector<int32_t> got = numbers_read(text, how, read);
    ASSERT_EQ(got.size(), want.size()) << how.pieces.size() << " piece sizes";
    for (size_t k = 1; k < got.size(); ++k) {
      EXPECT_EQ(got[k], want[k]) << tokens[k - 1] << ", " << how.pieces.size() << " piece sizes";
    }
  }
}

TEST_P(ReadNumber, NumbersAcrossAChunkEnd) {
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
    for (size_t start = chunk - t.size(); start <= chunk + 3; ++start) {
      std::string text(start, ' ');  // built in place: GCC 12 misreads "0" + a temporary
      text[0] = '0';
      text += t + " 1";
      ASSERT_EQ(numbers_read(text, read), scanned_clamped(text).values) << t << " at " << start;
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

TEST_P(ReadNumbers, LongStreamsInEveryBaseAndSeparator) {
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
  // In whole chunks from a file, and from a pipe in reads of odd sizes.
  for (const LoopRun& how : {LoopRun{}, LoopRun{{70001, 3, 9001, 1}}}) {
    std::vector<int32_t> got;
    const auto run = testsupport::run_loop(
        [&](int input, int /*output*/) {
          start(input);
          std::vector<int32_t> batch;
          while (got.size() < values.size()) {
            batch.resize(std::min<size_t>(values.size() - got.size(), 1 + rng() % 5000));
            if (read(batch.data(), batch.size()) != batch.size()) {
              return 1;
            }
            got.insert(got.end(), batch.begin(), batch.end());
          }
          int32_t extra = 0;
          return read(&extra, 1) != 0 || mergecount::fdio::failed() ? 1 : 0;
        },
        text, how);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(got, values);
  }
}

TEST_P(ReadNumbers, StopsAtTheFirstFailedReadAndSaysHowManyItRead) {
  std::vector<int32_t> got(5, -1);
  size_t read_count = 0;
  testsupport::run_loop(
      [&](int input, int /*output*/) {
        start(input);
        read_count = read(got.data(), got.size());
        return 0;
      },
      "1 2 0x3 x 4");
  EXPECT_EQ(read_count, 3U);
  EXPECT_EQ(got, (std::vector<int32_t>{1, 2, 3, -1, -1}));
}

TEST_P(ReadNumbers, WaitOnANonBlockingDescriptorForInputStillToCome) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  ASSERT_EQ(fcntl(ends[0], F_SETFL, O_NONBLOCK), 0);
  start(ends[0]);
  std::thread writer([&ends] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the first read finds nothing
    EXPECT_EQ(write(ends[1], "12 -7", 5), 5);
    close(ends[1]);
  });
  std::vector<int32_t> got(3);
  EXPECT_EQ(read(got.data(), 3), 2U);
  EXPECT_EQ(got, (std::vector<int32_t>{12, -7, 0}));
  EXPECT_FALSE(mergecount::fdio::failed());
  writer.join();
  close(ends[0]);
}

// Names each test by its path.
std::string path_name(const testing::TestParamInfo<Path>& info) {
  return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Paths, ReadNumber, testing::ValuesIn(every_path), path_name);
INSTANTIATE_TEST_SUITE_P(Paths, ReadNumbers, testing::ValuesIn(every_path), path_name);

}  // namespace
