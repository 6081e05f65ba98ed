// Whole strpower loop on arbitrary bytes: every line is a count.
#include <cstdint>

#include "drive.hpp"
#include "powers.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzsupport::drive(data, size, strpower::powers, fuzzsupport::is_count);
  return 0;
}
