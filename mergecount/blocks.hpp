// The read-count-print loop of mergecount.
#pragma once

#include <cstdio>

namespace mergecount {

// count_blocks: reads blocks (a count, then that many numbers, each read as
// "%i" reads it) from input until a count of 0, a count that cannot be read or
// the end of input, and writes each block's inversion count to output, one
// per line; a negative count gives 0. Each count is written before the input
// is next read, so none waits for more input. Returns 0 at such an end, 1
// when a block was cut short, the input could not be read, memory ran out
// (that block prints nothing) or output could not be written. Leaves output
// flushed and open; every call starts afresh.
int count_blocks(std::FILE* input, std::FILE* output);

}  // namespace mergecount
