#include "powers.hpp"

#include <gtest/gtest.h>

#include <string>

#include "in_memory.hpp"

namespace {

// Such streams are read with fread and written with fwrite; each call starts
// afresh after the last one ended, at the end of its input or at a stop line.
// 40,000 empty lines fill the output buffer from one input chunk.
TEST(Powers, MemoryStreamsOneCallAfterAnother) {
  const std::string across_chunks(200000, 'a');
  std::string zeros;
  for (int n = 0; n < 40000; ++n) {
    zeros += "0\n";
  }
  const auto run = [](const std::string& input) {
    const auto result = testsupport::run_in_memory(strpower::powers, input);
    return std::to_string(result.status) + ":" + result.out;
  };
  EXPECT_EQ(run("abab\n" + across_chunks + "\n" + std::string(40000, '\n') + "xyz"),
            "0:2\n200000\n" + zeros + "1\n");
  EXPECT_EQ(run("aa\n.\nbb\n"), "0:2\n");
  EXPECT_EQ(run("xyxyxy\n"), "0:3\n");
}

}  // namespace
