#include "reader.hpp"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "fdio.hpp"
#include "loop_run.hpp"

namespace {

// Input for the reader: text sent down a packet socket in pieces of random
// length, each of which a read returns whole, so that numbers and white space
// are cut at every possible place; then an empty packet, which a read takes
// for the end of the input, and a last packet that the reader, told the input
// ended, must leave alone. The socket is made once; what the reader left of
// one text is taken out before the next is sent.
int sockets[2] = {-1, -1};
std::mt19937 piece_rng(7);
constexpr std::string_view after_the_end = "after the end";

// Takes out what the reader left of the text given to start. True when that
// ends with the packet after the end: the reader did not read past the end.
bool end_stayed_the_end() {
  char buf[64];
  ssize_t n = 0;
  while ((n = recv(sockets[0], buf, sizeof buf, MSG_DONTWAIT)) >= 0) {
    if (std::string_view(buf, static_cast<size_t>(n)) == after_the_end) {
      return true;
    }
  }
  return false;
}

// Starts the reader on text in pieces of 1 to longest bytes (0: in one
// piece). The text must fit in the socket's buffer: some hundreds of pieces.
void start(std::string_view text, size_t longest = 7) {
  if (sockets[0] < 0) {
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET, 0, sockets), 0);
  }
  end_stayed_the_end();  // left by a test that stopped without taking it out
  while (!text.empty()) {
    const size_t n =
        longest == 0
            ? text.size()
            : std::min(text.size(), std::uniform_int_distribution<size_t>(1, longest)(piece_rng));
    ASSERT_EQ(send(sockets[1], text.data(), n, MSG_DONTWAIT), static_cast<ssize_t>(n));
    text.remove_prefix(n);
  }
  ASSERT_EQ(send(sockets[1], "", 0, MSG_DONTWAIT), 0);
  ASSERT_EQ(send(sockets[1], after_the_end.data(), after_the_end.size(), MSG_DONTWAIT),
            static_cast<ssize_t>(after_the_end.size()));
  quickcount::fdio::start(sockets[0], -1);  // the reader writes nothing
  quickcount::start_reading();
}

struct Read {
  bool ok = false;
  int value = -77;
  bool operator==(const Read&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Read& r) {
  return os << "{ok " << r.ok << ", value " << r.value << "}";
}

// What fscanf("%d") does on a stream holding text, read repeatedly until two
// reads in a row fail: success and value of each read. Where each read
// stopped shows in what the next one finds, a failed one's too (the white
// space and a sign it took stay read, the byte it stopped at does not).
std::vector<Read> scanf_reads(const std::string& text) {
  std::vector<Read> reads;
  std::string copy = text;  // fmemopen wants a writable buffer
  FILE* f = fmemopen(copy.data(), copy.size(), "r");
  if (f == nullptr) {  // glibc refuses a buffer of size 0
    f = std::fopen("/dev/null", "r");
  }
  do {
    Read r;
    r.ok = std::fscanf(f, "%d", &r.value) == 1;  // NOLINT(cert-err34-c): the reference
    reads.push_back(r);
  } while (reads.back().ok || reads.size() < 2 || reads[reads.size() - 2].ok);
  std::fclose(f);
  return reads;
}

// read_int over and over until two reads in a row fail: the reads
// scanf_reads lists, if the reader reads as it should.
std::vector<Read> reader_reads() {
  std::vector<Read> reads;
  do {
    Read r;
    int32_t v = -77;
    r.ok = quickcount::read_int(v);
    r.value = v;
    reads.push_back(r);
  } while (reads.back().ok || reads.size() < 2 || reads[reads.size() - 2].ok);
  return reads;
}

// The same on text in pieces of 1 to longest bytes (0: in one piece), which
// the reader must not read past.
std::vector<Read> reader_reads(const std::string& text, size_t longest) {
  start(text, longest);
  std::vector<Read> reads = reader_reads();
  EXPECT_TRUE(end_stayed_the_end()) << '"' << text << '"';
  return reads;
}

// The same on text that reaches the reader through run_loop, in reads of the
// given sizes in turn: for texts too long to send as packets.
std::vector<Read> loop_reads(const std::string& text, std::vector<size_t> pieces) {
  std::vector<Read> reads;
  const auto loop = [&reads](int input, int output) {
    quickcount::fdio::start(input, output);
    quickcount::start_reading();
    reads = reader_reads();
    return 0;
  };
  testsupport::run_loop(loop, text, {std::move(pieces)});
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
    const std::vector<Read> want = scanf_reads(text);
    // In one chunk, where every number ends before the chunk does, and in
    // pieces that cut numbers, signs and white space anywhere.
    ASSERT_EQ(reader_reads(text, 0), want) << '"' << text << '"';
    ASSERT_EQ(reader_reads(text, 1 + i % 9), want) << '"' << text << '"';
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
    std::vector<size_t> pieces(8);
    for (size_t& piece : pieces) {
      piece = std::uniform_int_distribution<size_t>(1, 1 + i % 13)(piece_rng);
    }
    ASSERT_EQ(loop_reads(text, pieces), scanf_reads(text)) << '"' << text << '"';
  }
}

// Numbers just below, at and past 2^31 - 1, 2^31, 2^32, 2^63 and 2^64, of
// either sign, and longer: the nearest end of the 32-bit range. Whole, and
// cut across reads of one or three bytes; at the end of the input, and with a
// number glued after it, which the next read finds whole, so the first one
// stopped right after its last digit.
TEST(ReadInt, ClampsToTheThirtyTwoBitRange) {
  const struct {
    const char* text;
    int32_t value;
  } cases[] = {
      {"2147483646", INT32_MAX - 1},
      {"2147483647", INT32_MAX},
      {"2147483648", INT32_MAX},
      {"-2147483647", INT32_MIN + 1},
      {"-2147483648", INT32_MIN},
      {"-2147483649", INT32_MIN},
      {"4294967295", INT32_MAX},
      {"4294967296", INT32_MAX},
      {"4294967297", INT32_MAX},
      {"-4294967297", INT32_MIN},
      {"9223372036854775807", INT32_MAX},
      {"9223372036854775808", INT32_MAX},
      {"-9223372036854775809", INT32_MIN},
      {"18446744073709551615", INT32_MAX},
      {"18446744073709551616", INT32_MAX},
      {"18446744073709551617", INT32_MAX},
      {"-18446744073709551616", INT32_MIN},
      {"+99999999999999999999999", INT32_MAX},
      {"-99999999999999999999999", INT32_MIN},
      {"000000000000000000000002147483647", INT32_MAX},
      {"-000000000000000000000002147483648", INT32_MIN},
  };
  for (const auto& c : cases) {
    for (const bool glued : {false, true}) {
      for (const size_t piece : {0, 1, 3}) {
        const std::string text = std::string(c.text) + (glued ? "-5" : "");
        start(text, piece);
        int32_t value = 0;
        EXPECT_TRUE(quickcount::read_int(value)) << text << ", pieces of " << piece;
        EXPECT_EQ(value, c.value) << text << ", pieces of " << piece;
        int32_t next = 0;
        EXPECT_EQ(quickcount::read_int(next), glued) << text << ", pieces of " << piece;
        EXPECT_EQ(next, glued ? -5 : 0) << text << ", pieces of " << piece;
        EXPECT_TRUE(end_stayed_the_end()) << text << ", pieces of " << piece;
      }
    }
  }
}

// Runs of white space and of digits over several chunks: leading zeros, and
// a number of 200,001 digits that clamps.
TEST(ReadInt, RunsLongerThanAChunk) {
  const std::string zeros(200000, '0');
  const std::string blanks(150000, '\v');
  const std::string text = blanks + "-" + zeros + "12" + blanks + zeros + "7 1" + zeros + "-3";
  const std::vector<Read> want = {{true, -12}, {true, 7},    {true, INT32_MAX},
                                  {true, -3},  {false, -77}, {false, -77}};
  EXPECT_EQ(loop_reads(text, {1 << 16, 3, 40000, 1}), want);
}

// A NUL ends a number and stays unread, so what follows it is never read;
// and once a read has said the input ended none is made again (at a terminal
// it would wait for a second end-of-file).
TEST(ReadInt, NulIsNotWhiteSpaceAndTheEndStaysTheEnd) {
  start(std::string("5\0 6", 4));
  int32_t value = 0;
  ASSERT_TRUE(quickcount::read_int(value));
  EXPECT_EQ(value, 5);
  EXPECT_FALSE(quickcount::read_int(value));
  EXPECT_FALSE(quickcount::read_int(value));
  EXPECT_EQ(value, 5);
  EXPECT_TRUE(end_stayed_the_end());
  start(" 8 ");
  ASSERT_TRUE(quickcount::read_int(value));
  EXPECT_FALSE(quickcount::read_int(value));
  EXPECT_FALSE(quickcount::read_int(value));
  EXPECT_EQ(value, 8);
  EXPECT_TRUE(end_stayed_the_end());
}

// Every path read_ints may take, and whether this build and processor have it.
struct Path {
  const char* name;
  int64_t (*read)(int32_t*, int64_t);
  bool here;
  const char* missing;  // why not, where not
};

// Names the path in the test's messages.
void PrintTo(const Path& path, std::ostream* out) {
  *out << path.name;
}

const Path every_path[] = {
    {"scalar", quickcount::read_ints_scalar, true, ""},
    {"avx2", quickcount::read_ints_avx2, quickcount::reader_has_avx2(),
     QUICKCOUNT_AVX2 != 0 ? "this processor lacks AVX2 or BMI1" : "only in a build for x86-64"},
};

class ReadIntsPath : public testing::TestWithParam<Path> {
 protected:
  void SetUp() override {
    if (!GetParam().here) {
      GTEST_SKIP() << GetParam().name << " path: " << GetParam().missing;
    }
  }
};

TEST_P(ReadIntsPath, StopsAtTheFirstFailure) {
  const auto read = GetParam().read;
  start("1 -2 +3 4x 5");
  std::vector<int32_t> values(8, -9);
  EXPECT_EQ(read(values.data(), 8), 4);
  EXPECT_EQ(values, (std::vector<int32_t>{1, -2, 3, 4, -9, -9, -9, -9}));
  EXPECT_TRUE(end_stayed_the_end());
  start("1 2 3");
  EXPECT_EQ(read(values.data(), 2), 2);
  EXPECT_EQ(read(values.data(), 0), 0);
  EXPECT_EQ(read(values.data(), 5), 1);
  EXPECT_EQ(values[0], 3);
  EXPECT_TRUE(end_stayed_the_end());
}

// A long text, mostly plain numbers: every white space byte in runs of 1 to
// 40, signs, leading zeros (runs of up to 27 digits), values at and past the
// ends of the range, numbers glued as "5-3" and "5+3"; then something no
// number starts with, and numbers after it that must stay unread.
std::string long_text(std::mt19937& rng) {
  static const char* const stoppers[] = {"x", "-", "+", "--5", "+-5", "- 5", ".5", "\xff"};
  std::string text;
  const size_t length = 1 + rng() % 200000;
  while (text.size() < length) {
    const uint32_t r = rng();
    text += r % 3 == 0 ? "-" : r % 17 == 0 ? "+" : "";
    text += std::string(r % 23 == 0 ? rng() % 12 : 0, '0');
    const uint64_t magnitude = r % 5 == 0    ? rng() % 1000
                               : r % 41 == 0 ? (uint64_t{rng()} << 32 | rng()) >> (rng() % 64)
                                             : uint64_t{rng()} >> (rng() % 8);
    text += std::to_string(magnitude);
    const size_t blanks = r % 13 == 0 ? 1 + rng() % 40 : r % 29 == 0 ? 0 : 1;
    for (size_t k = 0; k < blanks; ++k) {
      text += " \t\n\v\f\r  "[rng() % 8];
    }
  }
  return text + stoppers[rng() % std::size(stoppers)] + " 1 2";
}

// The values strtol reads one after another from text, each clamped to the
// 32-bit range, up to the first place where it finds no number.
std::vector<int32_t> strtol_values(const std::string& text) {
  std::vector<int32_t> values;
  const char* at = text.c_str();
  for (;;) {
    char* end = nullptr;
    const long long v = std::strtoll(at, &end, 10);  // saturates at the 64-bit ends
    if (end == at) {
      return values;
    }
    values.push_back(static_cast<int32_t>(std::clamp<long long>(v, INT32_MIN, INT32_MAX)));
    at = end;
  }
}

// Each path against strtol on long texts that arrive in reads of random
// sizes, from 1 byte to whole chunks, so that the chunk ends anywhere:
// inside a number, a sign or white space, or right after one. The numbers are
// read in blocks of 0 to 40, as blocks are: each must start where the last
// stopped, and the block with the stopper reads only the numbers before it.
TEST_P(ReadIntsPath, AgreesWithStrtolOnLongTexts) {
  const auto read = GetParam().read;
  std::mt19937 rng(31);
  for (int i = 0; i < 24; ++i) {
    const std::string text = long_text(rng);
    const std::vector<int32_t> want = strtol_values(text);
    std::vector<size_t> pieces(16);
    for (size_t& piece : pieces) {
      piece = rng() % 4 == 0 ? 1 << 16 : 1 + rng() % (i % 2 == 0 ? 40 : 5000);
    }
    std::vector<int32_t> got;
    const auto loop = [&](int input, int output) {
      quickcount::fdio::start(input, output);
      quickcount::start_reading();
      std::vector<int32_t> block(40);
      for (;;) {
        const auto n = static_cast<int64_t>(rng() % 41);
        const int64_t k = read(block.data(), n);
        got.insert(got.end(), block.begin(), block.begin() + k);
        if (k < n) {
          return 0;
        }
      }
    };
    testsupport::run_loop(loop, text, {pieces});
    ASSERT_EQ(got.size(), want.size()) << "text " << i;
    ASSERT_TRUE(got == want) << "text " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, ReadIntsPath, testing::ValuesIn(every_path),
                         [](const testing::TestParamInfo<Path>& info) { return info.param.name; });

}  // namespace
