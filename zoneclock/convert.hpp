// The read-convert-print loop of zoneclock.
#pragma once

namespace zoneclock {

// convert: reads a count of queries and then the queries from the descriptor
// input, and writes one line per query (after any reports of unknown zones)
// to the descriptor output, each query's lines as soon as the query is
// complete: before input is read again. Reads with read(2), one call at a
// time so that it never waits for more than has arrived, and writes with
// write(2), waiting on a descriptor in non-blocking mode and making a call
// again that a signal interrupted. Returns 0 when every counted query was
// complete; 1 when the input ended before that, could not be read or held a
// token too long for the memory there is (the query in progress then prints
// nothing; the answers before it are written), or when a write failed, which
// ends the run at once: nothing more is read or written. Leaves both
// descriptors open; every call starts afresh, whatever an earlier call left
// behind.
int convert(int input, int output);

}  // namespace zoneclock
