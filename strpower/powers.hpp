// The read-solve-print loop of strpower.
#pragma once

#include <cstdio>

namespace strpower {

// powers: reads lines from input up to its end or a line that is exactly
// ".", and writes for each the largest k such that it is one string repeated
// k times (0 for an empty line) to output, one number per line. Returns 0 at
// a normal end, 1 when input could not be read, a line did not fit in memory,
// or output could not be written. Leaves output flushed and open and keeps
// its line buffer, grown or not, for the next call, which starts afresh.
int powers(std::FILE* input, std::FILE* output);

}  // namespace strpower
