// The read-count-print loop of quickcount.
#pragma once

namespace quickcount {

// count_blocks: reads blocks (a count, then that many decimal values) from
// the descriptor input until a count of 0, a count that cannot be read or the
// end of input, and writes each block's inversion count to the descriptor
// output, one per line; a negative count gives 0. Reads with read(2) and
// writes with write(2), waiting on a descriptor in non-blocking mode and
// making a call again that a signal interrupted. Each count is written out
// before input is read again, so no finished answer waits for more input.
// Returns 0 at such an end; 1 when a block was cut short (by the end of
// input, something not a number, or a length the memory cannot hold: that
// block prints nothing, the counts before it are written), the input could
// not be read, or a write failed, which ends the run at once: nothing more is
// read or written. What follows the end is ignored, though up to one read's
// worth of it may have been taken from input. Leaves both descriptors open;
// every call starts afresh, with no storage beyond the fixed arrays kept.
int count_blocks(int input, int output);

}  // namespace quickcount
