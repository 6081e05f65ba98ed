// The partition step of quickcount's sort, eight values to a 256-bit vector,
// for x86-64 processors with AVX2. The sort calls it through split_avx2
// (sort.hpp) where the processor has AVX2; everywhere else it splits with
// the scalar code.
#pragma once

#include <cstddef>
#include <cstdint>

#include "avx2.hpp"

#if QUICKCOUNT_AVX2
namespace quickcount::avx2 {

// supported: true when the processor has AVX2 and POPCNT and the system
// saves the vector registers, so that split below can run.
bool supported();

// split: accepts from[0, n) and to[0, n), two areas apart, n >= 0, and a
// pivot. Leaves in to the values of from less than the pivot, in their
// order, then as many places as from has copies of the pivot (holding
// anything), then the greater values, in their order; from is left holding
// anything. Returns the number of smaller values, and in equal the number
// of copies. Adds to pairs the inversions across the groups: the pairs of
// positions i < j of from, in two different groups, with from[i] > from[j].
// Touches nothing else.
std::ptrdiff_t split(int32_t* from, int32_t* to, std::ptrdiff_t n, int32_t pivot,
                     std::ptrdiff_t& equal, int64_t& pairs);

}  // namespace quickcount::avx2
#endif
