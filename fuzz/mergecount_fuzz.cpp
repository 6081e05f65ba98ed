// Whole mergecount loop on arbitrary bytes: every line is a count.
#include <cstdint>

#include "blocks.hpp"
#include "drive.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzsupport::drive(data, size, mergecount::count_blocks, fuzzsupport::is_count);
  return 0;
}
