// The read-convert-print loop of zoneclock.
#pragma once

#include <cstdio>

namespace zoneclock {

// convert: reads a count of queries and then the queries from input, and
// writes one line per query (after any reports of unknown zones) to output,
// each query's lines as soon as the query is complete: before input is read
// again. Reads input with one read(2) at a time, or with fread when it has no
// descriptor. Returns 0 when every counted query was complete, 1 when the
// input ended before that, could not be read or held a token too long for the
// memory there is (the query in progress then prints nothing), or output could
// not be written. Leaves output flushed and open; every call starts afresh,
// whatever an earlier call left behind.
int convert(std::FILE* input, std::FILE* output);

}  // namespace zoneclock
