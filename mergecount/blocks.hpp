// The read-count-print loop of mergecount.
#pragma once

namespace mergecount {

// count_blocks: reads blocks (a count, then that many numbers, each read as
// "%i" reads it) from the descriptor input until a count of 0, a count that
// cannot be read or the end of input, and writes each block's inversion count
// to the descriptor output, one per line; a negative count gives 0. Reads
// with read(2) and writes with write(2), waiting on a descriptor in
// non-blocking mode and making a call again that a signal interrupted. Each
// count is written before the input is next read, so none waits for more
// input. Returns 0 at such an end; 1 when a block was cut short, the input
// could not be read, memory ran out (that block prints nothing) or a write
// failed, which ends the run at once: nothing more is read or written. What
// follows the count of 0 is ignored, though up to one read's worth of it may
// have been taken from input. Leaves both descriptors open; every call starts
// afresh.
int count_blocks(int input, int output);

}  // namespace mergecount
