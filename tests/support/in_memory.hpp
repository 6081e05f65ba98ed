// Runs a program's read-compute-print loop in this process on streams held
// in memory, as the fuzz targets do: such streams have no descriptor, so the
// loop reads and writes them through stdio.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include "run_program.hpp"

namespace testsupport {

// run_in_memory: accepts a loop function int(FILE* input, FILE* output) and
// its input. Runs it with input on an fmemopen stream and output on an
// open_memstream. Returns what it wrote and the status it returned
// (Outcome::err stays empty; status -1 when the streams could not be made).
template <typename Loop>
Outcome run_in_memory(Loop loop, std::string input) {
  Outcome result;
  std::FILE* in = fmemopen(input.data(), input.size(), "r");
  char* text = nullptr;
  size_t length = 0;
  std::FILE* out = open_memstream(&text, &length);
  if (in != nullptr && out != nullptr) {
    result.status = loop(in, out);
  }
  if (out != nullptr) {
    std::fclose(out);
    result.out.assign(text, length);
    std::free(text);
  }
  if (in != nullptr) {
    std::fclose(in);
  }
  return result;
}

}  // namespace testsupport
