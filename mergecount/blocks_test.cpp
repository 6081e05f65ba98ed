#include "blocks.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "loop_run.hpp"
#include "run_program.hpp"

namespace {

using testsupport::LoopRun;
using testsupport::Sink;

// Blocks in every base and a negative count, a block of 10,000 values that
// spans reads, and 40,000 short blocks whose answers fill the output buffer
// and the pipes, then a count of 0 with a block after it that is never read:
// the same answers however read(2), poll(2) and write(2) turn out, and each
// call starts afresh.
TEST(CountBlocks, SameAnswersWhateverTheSystemCallsDo) {
  std::string input = "5 9 1 0 5 4\n3 0x10 010 9\n-1\n10000\n";
  for (int v = 10000; v > 0; --v) {
    input += std::to_string(v) + " ";
  }
  input += "\n";
  input += testsupport::repeated("2 2 1\n", 20000);
  input += testsupport::repeated("-1\n", 20000);
  input += "0\n3 3 2 1\n";
  const std::string want = "6\n2\n0\n49995000\n" + testsupport::repeated("1\n", 20000) +
                           testsupport::repeated("0\n", 20000);
  EXPECT_EQ(testsupport::runs_differing(mergecount::count_blocks, input, want, 0), "");
}

// Signals that interrupt every wait for input, a piece at a time, and poll
// waiting on a non-blocking descriptor: not failures, and nothing is lost.
TEST(CountBlocks, ReadsAndPollsInterruptedBySignals) {
  if (const char* why = testsupport::without_timer_signals()) {
    GTEST_SKIP() << why;
  }
  for (const bool nonblocking : {false, true}) {
    const LoopRun how{{1, 2}, nonblocking, Sink::file, true};
    const auto run =
        testsupport::run_loop(mergecount::count_blocks, "3 3 2 1\n2 0x10 010\n-1\n1 5", how);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "3\n1\n0\n0\n");
    EXPECT_GT(run.signals, 0);
  }
}

// A count past the 32-bit range reads as its nearest end: a huge block, cut
// short here by the end of the input (status 1, no line), or a negative
// count, which gives 0 before the next block. Taken in 32 or 64 bits with
// wrapping, each of these counts would read as 0, which ends the input, or
// as a short block.
TEST(CountBlocks, CountsBeyondTheRangeClampToItsEnds) {
  for (const char* count :
       {"2147483648", "4294967296", "0x100000000", "040000000001", "18446744073709551616",
        "0X10000000000000001", "02000000000000000000000", "99999999999999999999999999",
        "-4294967296", "-0x100000000", "-18446744073709551616", "-0x10000000000000001"}) {
    const bool negative = count[0] == '-';
    const auto run =
        testsupport::run_loop(mergecount::count_blocks, std::string(count) + " 2 1 0\n");
    EXPECT_EQ(run.status, negative ? 0 : 1) << count;
    EXPECT_EQ(run.out, negative ? "0\n1\n" : "") << count;
  }
}

// A failed write ends the run at once: with more input there to be read, no
// read follows the write that failed; the next call starts afresh.
TEST(CountBlocks, AFailedWriteStopsTheReading) {
  const std::string input = testsupport::repeated("2 2 1\n", 40000);  // 240,000 bytes
  const int in = memfd_create("input", 0);
  ASSERT_GE(in, 0);
  ASSERT_EQ(write(in, input.data(), input.size()), static_cast<ssize_t>(input.size()));
  ASSERT_EQ(lseek(in, 0, SEEK_SET), 0);
  const int full = open("/dev/full", O_WRONLY);
  ASSERT_GE(full, 0);
  EXPECT_EQ(mergecount::count_blocks(in, full), 1);
  // The answers to the first read's blocks are written before the second.
  EXPECT_LE(lseek(in, 0, SEEK_CUR), 65536) << "bytes read";
  close(full);
  close(in);
  const auto next = testsupport::run_loop(mergecount::count_blocks, "3 3 2 1\n");
  EXPECT_EQ(next.status, 0);
  EXPECT_EQ(next.out, "3\n");
}

// Input whose last read fails (a socket whose other end went away leaving
// bytes unread gives what was sent, then fails with ECONNRESET): a number
// that ran to the end of the data, cut after its 0, its 0x or a digit, may
// have been cut by the failure, so its block prints nothing; the blocks
// before it print their lines, and the run ends with status 1.
TEST(CountBlocks, ANumberAFailedReadMayHaveCutGivesNoAnswer) {
  const std::string_view blocks = "3 0x57 5 4\n2 7 0x57\n";
  for (const auto& [sent, want] : std::vector<std::pair<size_t, std::string>>{
           {10, ""}, {16, "3\n"}, {17, "3\n"}, {18, "3\n"}, {20, "3\n0\n"}}) {
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    ASSERT_EQ(write(ends[1], blocks.data(), sent), static_cast<ssize_t>(sent));
    ASSERT_EQ(write(ends[0], "x", 1), 1);  // left unread when ends[1] closes
    close(ends[1]);
    const int out = memfd_create("output", 0);
    ASSERT_GE(out, 0);
    EXPECT_EQ(mergecount::count_blocks(ends[0], out), 1) << sent << " bytes";
    EXPECT_EQ(testsupport::detail::take_file(out), want) << sent << " bytes";
    close(ends[0]);
  }
}

}  // namespace
