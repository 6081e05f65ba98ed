// The read-solve-print loop of strpower.
#pragma once

#include <cstdio>

namespace strpower {

// powers: reads lines from input up to its end or a line that is exactly
// ".", and writes for each the largest k such that it is one string repeated
// k times (0 for an empty line) to output, one number per line. Before each
// read of more input it writes out the answers it holds, so each is out as
// soon as its line feed has arrived; the input is read with read(2) and the
// output written with write(2) on their descriptors, or with fread and fwrite
// for streams without one. Returns 0 at a normal end, 1 when input could not
// be read, a line did not fit in memory, or output could not be written.
// Leaves output flushed and open, reads nothing after the stop line or the
// end of input, and keeps its line buffer, grown or not, for the next call,
// which starts afresh.
int powers(std::FILE* input, std::FILE* output);

}  // namespace strpower
