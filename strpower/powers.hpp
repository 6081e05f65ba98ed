// The read-solve-print loop of strpower.
#pragma once

namespace strpower {

// powers: reads lines from the descriptor input up to its end or a line that
// is exactly ".", and writes for each the largest k such that it is one
// string repeated k times (0 for an empty line) to the descriptor output, one
// number per line. Reads with read(2) and writes with write(2), waiting on a
// descriptor in non-blocking mode and making a call again that a signal
// interrupted. Before each read of more input it writes out the answers it
// holds, so each is out as soon as its line feed has arrived. Returns 0 at a
// normal end; 1 when the input could not be read, a line did not fit in
// memory, or a write failed, which ends the run at once: nothing more is read
// or written. What follows the stop line is ignored, though up to one read's
// worth of it may have been taken from input. A line longer than the line
// buffer's start capacity grows it, and it shrinks back once that line is
// answered, before more input is read. Leaves both descriptors open, and
// the line buffer for the next call, which starts afresh.
int powers(int input, int output);

}  // namespace strpower
