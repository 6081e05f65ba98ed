// Reading of integers with base detection from a stream taken in large chunks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace mergecount {

// read_from: accepts an open stream and a function to call before each
// refill, or nullptr. Makes the stream the source of the reads that follow,
// dropping whatever was buffered from the source before (standard input
// until this is called). A stream with a file descriptor is read with one
// read(2) per refill, taking what has arrived, past stdio's own buffer; a
// memory stream with fread. before_read is called before every refill, which
// may wait for input: it should write out every answer the caller holds.
void read_from(std::FILE* in, void (*before_read)() = nullptr);

// read_failed: returns true once reading the source has failed (an error,
// not its end); the reads then see the end of the input.
bool read_failed();

// read_number: reads the next number as the C library's "%i" does. Skips white
// space (space, \t, \n, \v, \f, \r), takes an optional sign, then either "0x"
// or "0X" and hexadecimal digits, or a 0 and octal digits, or decimal digits,
// and stops before the first byte that cannot continue the number, leaving it
// for the next read. "0x" with no hexadecimal digit after it reads as 0 with
// the x taken. A number beyond the 32-bit signed range reads as the nearest
// end of that range. Returns false, leaving value as it was, when no number is
// there: the input ends, or a byte that cannot start a number comes first
// (how much of the input the failed read took is then unspecified).
bool read_number(int32_t& value);

// read_numbers: accepts room for count values. Reads up to count numbers into
// out[0..count) with read_number and returns how many it read, fewer than
// count only when a read failed.
std::size_t read_numbers(int32_t* out, std::size_t count);

// consumed: returns how many bytes of the current source the reads have taken.
uint64_t consumed();

}  // namespace mergecount
