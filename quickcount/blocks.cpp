// The read-count-print loop of quickcount over a pair of streams.

#include "blocks.hpp"

#include <array>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "reader.hpp"
#include "sort.hpp"

namespace quickcount {
namespace {

int32_t N;  // length of the current block

// Storage of p and scratch for blocks of up to capacity values.
std::array<int32_t, capacity> values;
std::array<int32_t, capacity> spare;
// Storage of p and scratch for a longer block, grown only as its values
// actually arrive, and given back once the block is counted.
std::vector<int32_t> long_values;
std::vector<int32_t> long_spare;

std::array<char, 1 << 16> out_buf;  // output waiting to be written
size_t out_len;
bool out_failed;
std::FILE* in;   // the stream blocks are read from
std::FILE* out;  // the stream counts are written to

size_t read_in(char* buf, size_t size) {
  return std::fread(buf, 1, size, in);
}

// Reads the N values of the block into p (nothing for N <= 0). False when the
// input ends, or something that is not a number comes, before all are read.
bool read_block() {
  p = values;
  scratch = spare;
  if (N <= capacity) {
    return N <= 0 || read_ints(values.data(), N) == N;
  }
  if (read_ints(values.data(), capacity) < capacity) {
    return false;
  }
  int32_t value = 0;
  for (int32_t i = capacity; i < N; ++i) {
    if (!read_int(value)) {
      return false;
    }
    if (long_values.empty()) {
      long_values.assign(values.begin(), values.end());
    }
    long_values.push_back(value);
  }
  long_spare.resize(long_values.size());
  p = long_values;
  scratch = long_spare;
  return true;
}

void release_long_storage() {
  p = values;
  scratch = spare;
  long_values = std::vector<int32_t>();
  long_spare = std::vector<int32_t>();
}

void flush_out() {
  if (!out_failed && out_len > 0 && std::fwrite(out_buf.data(), 1, out_len, out) != out_len) {
    out_failed = true;
  }
  out_len = 0;
}

// Appends count and a line feed to the output.
void print_count() {
  constexpr size_t longest_line = 21;  // "-9223372036854775808\n"
  if (out_buf.size() - out_len < longest_line) {
    flush_out();
  }
  char* end = std::to_chars(out_buf.data() + out_len, out_buf.data() + out_buf.size(), count).ptr;
  *end++ = '\n';
  out_len = static_cast<size_t>(end - out_buf.data());
}

// Writes what is left. Returns the exit status: status, or 1 when any output
// could not be written.
int finish(int status) {
  flush_out();
  release_long_storage();
  if (std::fflush(out) != 0 || out_failed) {
    return 1;
  }
  return status;
}

}  // namespace

int count_blocks(std::FILE* input, std::FILE* output) {
  in = input;
  out = output;
  out_len = 0;
  out_failed = false;
  start_reading(read_in);

  while (read_int(N) && N != 0) {
    if (!read_block()) {
      return finish(1);
    }
    count = 0;
    sort(0, N);
    print_count();
    release_long_storage();
  }
  return finish(0);
}

}  // namespace quickcount
