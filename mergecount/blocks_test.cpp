#include "blocks.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "in_memory.hpp"

namespace {

// Memory streams on both sides, as the fuzz driver uses them.
TEST(CountBlocks, ReadsAndWritesMemoryStreams) {
  const auto run =
      testsupport::run_in_memory(mergecount::count_blocks, "3 3 2 1\n2 0x10 010\n-1\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "3\n1\n0\n");
}

// 200,000 bytes of answers into a pipe in non-blocking mode that holds
// 65,536 and is not read for a while: the writes wait, nothing is lost.
TEST(CountBlocks, WaitsOnAFullNonBlockingOutput) {
  std::string input;
  for (int k = 0; k < 100000; ++k) {
    input += "-1\n";
  }
  std::FILE* in = fmemopen(input.data(), input.size(), "r");
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  ASSERT_EQ(fcntl(ends[1], F_SETFL, O_NONBLOCK), 0);
  std::FILE* out = fdopen(ends[1], "w");
  ASSERT_NE(in, nullptr);
  ASSERT_NE(out, nullptr);
  std::string got;
  std::thread reader([&got, &ends] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    char buf[4096];
    ssize_t n = 0;
    while ((n = read(ends[0], buf, sizeof buf)) > 0) {
      got.append(buf, static_cast<std::size_t>(n));
    }
  });
  EXPECT_EQ(mergecount::count_blocks(in, out), 0);
  std::fclose(out);
  reader.join();
  close(ends[0]);
  std::fclose(in);
  EXPECT_EQ(got.size(), 200000U);
  EXPECT_EQ(got.find_first_not_of("0\n"), std::string::npos);
}

}  // namespace
