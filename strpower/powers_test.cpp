#include "powers.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

namespace {

// Runs powers on input held in memory through streams that have no
// descriptor, as the in-process fuzz driver does. Returns its status and
// output.
std::pair<int, std::string> run_in_memory(std::string input) {
  std::FILE* in = fmemopen(input.data(), input.size(), "r");
  char* text = nullptr;
  size_t length = 0;
  std::FILE* out = open_memstream(&text, &length);
  if (in == nullptr || out == nullptr) {
    return {-1, ""};
  }
  const int status = strpower::powers(in, out);
  std::fclose(out);
  std::fclose(in);
  std::string written(text, length);
  std::free(text);
  return {status, written};
}

// Such streams are read with fread and written with fwrite; each call starts
// afresh after the last one ended, at the end of its input or at a stop line.
// 40,000 empty lines fill the output buffer from one input chunk.
TEST(Powers, MemoryStreamsOneCallAfterAnother) {
  const std::string across_chunks(200000, 'a');
  std::string zeros;
  for (int n = 0; n < 40000; ++n) {
    zeros += "0\n";
  }
  EXPECT_EQ(run_in_memory("abab\n" + across_chunks + "\n" + std::string(40000, '\n') + "xyz"),
            std::make_pair(0, "2\n200000\n" + zeros + "1\n"));
  EXPECT_EQ(run_in_memory("aa\n.\nbb\n"), std::make_pair(0, std::string("2\n")));
  EXPECT_EQ(run_in_memory("xyxyxy\n"), std::make_pair(0, std::string("3\n")));
}

}  // namespace
