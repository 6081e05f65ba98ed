// Reading of integers with base detection from fdio's input, taken in large
// chunks.
#pragma once

#include <cstddef>
#include <cstdint>

#include "avx2.hpp"

namespace mergecount {

// start_reading: drops whatever was buffered of the input before, so that
// the reads that follow take fdio's input from where it now stands; call it
// after fdio::start and before the first read. Each refill is one
// fdio::read_some, which first writes out the output held and then takes
// what has arrived, waiting only when nothing has.
void start_reading();

// read_number: reads the next number as the C library's "%i" does. Skips white
// space (space, \t, \n, \v, \f, \r), takes an optional sign, then either "0x"
// or "0X" and hexadecimal digits, or a 0 and octal digits, or decimal digits,
// and stops before the first byte that cannot continue the number, leaving it
// for the next read. "0x" with no hexadecimal digit after it reads as 0 with
// the x taken. A number beyond the 32-bit signed range reads as the nearest
// end of that range. Returns false, leaving value as it was, when no number is
// there: the input ends, or a byte that cannot start a number comes first
// (how much of the input such a call took is then unspecified). A number
// that runs into a failed read or write reads as what arrived of it:
// fdio::failed() then says so, and fdio drops whatever the caller makes of it.
bool read_number(int32_t& value);

// read_numbers: accepts room for count values. Reads up to count numbers into
// out[0..count) as read_number does and returns how many it read, fewer than
// count only when one of them could not be read. Takes the path chosen once
// when the program starts: read_numbers_avx2 where the processor has it,
// read_numbers_scalar elsewhere. read_number reads by it too.
std::size_t read_numbers(int32_t* out, std::size_t count);

// read_numbers_scalar: read_numbers a number at a time, plain ones 8 digits
// at a time: the reference, and the path on every other processor.
std::size_t read_numbers_scalar(int32_t* out, std::size_t count);

// read_numbers_avx2: read_numbers on 32 bytes at a time, in a build for
// x86-64 on a processor for which reader_has_avx2() is true (elsewhere it is
// read_numbers_scalar). A plain decimal number (a sign, then 1 to 16 digits,
// the first not 0) that ends inside the chunk is read in vector registers;
// anything else, by read_numbers_scalar.
std::size_t read_numbers_avx2(int32_t* out, std::size_t count);

// reader_has_avx2: true when this build has the vector reader and the
// processor has AVX2 and BMI1 (and the system saves the vector registers).
bool reader_has_avx2();

}  // namespace mergecount
