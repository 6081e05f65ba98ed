#include "blocks.hpp"

#include <gtest/gtest.h>

#include <string>

#include "in_memory.hpp"

namespace {

// Streams in memory, as the fuzz target uses, have no descriptor to read(2)
// or write(2): they are read and written through stdio instead, here with a
// block that spans several reads of input.
TEST(CountBlocks, ReadsAndWritesMemoryStreams) {
  std::string input = "3 3 2 1\n-1\n30000\n";
  for (int v = 30000; v > 0; --v) {
    input += std::to_string(v) + " ";
  }
  const auto run = testsupport::run_in_memory(quickcount::count_blocks, input + "\n2 1");
  EXPECT_EQ(run.status, 1);  // the last block is cut short
  EXPECT_EQ(run.out, "3\n0\n449985000\n");
}

}  // namespace
