#include "convert.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Streams in memory, such as the fuzz targets use, have no descriptor to
// read(2) or write(2): they are read and written through stdio instead.
TEST(Convert, ReadsAndWritesStreamsWithoutADescriptor) {
  char text[] = "3\nnoon XYZ UTC\n9:30 a.m. EST CET\nmidnight UTC";
  std::FILE* input = fmemopen(text, sizeof text - 1, "r");
  char* written = nullptr;
  size_t size = 0;
  std::FILE* output = open_memstream(&written, &size);
  ASSERT_NE(input, nullptr);
  ASSERT_NE(output, nullptr);
  EXPECT_EQ(zoneclock::convert(input, output), 1);  // the third query is cut short
  std::fclose(input);
  std::fclose(output);
  EXPECT_EQ(std::string(written, size), "oops:  <<<XYZ>>>\nnoon\n3:30 p.m.\n");
  std::free(written);
}

}  // namespace
