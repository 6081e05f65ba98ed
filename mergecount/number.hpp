// Reading of integers with base detection from a descriptor taken in large
// chunks.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mergecount {

// read_from: accepts a descriptor open for reading and a function to call
// before each read of it, or nullptr. Makes fd the source of the reads that
// follow, dropping whatever was buffered from the source before; call it
// before the first read. Each refill is one read(2), which takes what has
// arrived and waits only when nothing has: made again after a signal, and on
// a descriptor in non-blocking mode once it is ready. before_read is called
// before every read(2), which may wait: it should write out every answer the
// caller holds, and return false when it could not, after which fd is not
// read again and the reads see the end of the input. Leaves fd open.
void read_from(int fd, bool (*before_read)() = nullptr);

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

}  // namespace mergecount
