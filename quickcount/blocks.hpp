// The read-count-print loop of quickcount.
#pragma once

#include <cstdio>

namespace quickcount {

// count_blocks: reads blocks (a count, then that many decimal values) from
// input until a count of 0, a count that cannot be read or the end of input,
// and writes each block's inversion count to output, one per line; a
// negative count gives 0. Each count is written out before input is read
// again, so no finished answer waits for more input. On streams with a
// descriptor it reads and writes that directly; other streams (in memory)
// go through fread and fwrite. Returns 0 at such an end, 1 when a block was
// cut short (by the end of input, something not a number, or a length the
// memory cannot hold: that block prints nothing), the input could not be read,
// or output could not be written. Leaves output flushed and open; every call
// starts afresh, with no storage beyond the fixed arrays kept.
int count_blocks(std::FILE* input, std::FILE* output);

}  // namespace quickcount
