// The read-count-print loop of quickcount.
#pragma once

namespace quickcount {

// count_blocks: reads blocks (a count, then that many decimal values) from
// the descriptor input until a count of 0, a count that cannot be read or the
// end of input, and writes each block's inversion count to the descriptor
// output, one per line; a negative count gives 0. Reads and writes through
// fdio, so each count is written out before input is read again, and no
// finished answer waits for more input. Returns 0 at such an end; 1 when a
// block was cut short (by the end of input, something not a number, or a
// length the memory cannot hold: that block prints nothing, the counts before
// it are written), or when a read or write failed, which ends the run at
// once: nothing more is read or written, and a block or number the failed
// read cut short prints nothing. What follows the end is ignored, though up
// to one read's worth of it may have been taken from input. Leaves both
// descriptors open; every call starts afresh, with no storage beyond the
// fixed arrays kept.
int count_blocks(int input, int output);

}  // namespace quickcount
