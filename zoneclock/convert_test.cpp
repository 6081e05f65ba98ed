#include "convert.hpp"

#include <gtest/gtest.h>

#include "in_memory.hpp"

namespace {

// Streams in memory, such as the fuzz targets use, have no descriptor to
// read(2) or write(2): they are read and written through stdio instead.
TEST(Convert, ReadsAndWritesStreamsWithoutADescriptor) {
  const auto run = testsupport::run_in_memory(zoneclock::convert,
                                              "3\nnoon XYZ UTC\n9:30 a.m. EST CET\nmidnight UTC");
  EXPECT_EQ(run.status, 1);  // the third query is cut short
  EXPECT_EQ(run.out, "oops:  <<<XYZ>>>\nnoon\n3:30 p.m.\n");
}

}  // namespace
