// Reading of decimal numbers from input that arrives a chunk at a time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "avx2.hpp"

namespace quickcount {

// start_reading: makes the input of read_int and read_ints the one fdio::start
// named, dropping whatever was buffered from an input before. More is read,
// with fdio::read_some, only when a read cannot finish without it.
void start_reading();

// read_int: reads one number as the conversion "%d" does: skips white space
// (space, \t, \n, \v, \f, \r), takes an optional sign and then the longest run
// of decimal digits. The first byte that cannot continue the number stays
// unread for the next call. Returns true and sets value when at least one
// digit was read; a number beyond the 32-bit range reads as the nearest end
// of it. Returns false, leaving value alone, when the input ends or a byte that
// is not a digit comes first; the white space and a sign before it stay read.
// The input ends where fdio::read_some returns 0: at its end, or once a read
// or write has failed (fdio then writes nothing more, so no answer comes of a
// number that a failed read cut short).
bool read_int(int32_t& value);

// read_ints: accepts n >= 0 and room for n values. Reads numbers as read_int
// does into values[0], values[1], ... until n are read or one read fails.
// Returns how many were read, and leaves the input where n calls of read_int
// would have left it. Takes the path chosen once when the program starts:
// read_ints_avx2 where the processor has it, read_ints_scalar elsewhere.
int64_t read_ints(int32_t* values, int64_t n);

// read_ints_scalar: read_ints by read_int, one number after another: the
// reference, and the path on every other processor.
int64_t read_ints_scalar(int32_t* values, int64_t n);

// read_ints_avx2: read_ints on 32 bytes at a time, in a build for x86-64 on a
// processor for which reader_has_avx2() is true (elsewhere it is read_ints_scalar).
// A plain number (a sign, 1 to 16 digits) that ends inside the chunk is read
// in vector registers; anything else, by read_int.
int64_t read_ints_avx2(int32_t* values, int64_t n);

// reader_has_avx2: true when this build has the vector reader and the processor has
// AVX2 and BMI1 (and the system saves the vector registers).
bool reader_has_avx2();

}  // namespace quickcount
