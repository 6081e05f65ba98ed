// The counting sort of quickcount: sorts a block of values while adding up its
// inversions, the pairs of positions i < j whose values stand in descending
// order (equal values never form one).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace quickcount {

// Longest block held in the storage fixed when the program starts.
inline constexpr int32_t capacity = 1'000'000;

// The values of the current block; sort leaves the range it is given ascending.
extern std::span<int32_t> p;
// Work area of the partition step, indexed like p and at least as long.
extern std::span<int32_t> scratch;
// Inversions found so far in the current block.
extern int64_t count;

// sort: accepts positions with lo >= hi (an empty range: nothing happens) or
// 0 <= lo < hi <= p.size() <= scratch.size(). Adds the number of inversions of
// p[lo, hi) to count and leaves p[lo, hi) sorted ascending. Overwrites
// scratch[lo, hi); touches nothing else.
//
// A stable three-way partition sort around the middle element of each range,
// counting the pairs across the groups as it partitions. It recurses into the
// shorter side only, and a range whose partitions keep going badly (more than
// log2 of the block length splits that each take off less than an eighth) is
// finished by a merge sort that counts the same pairs, so no order of the
// values makes it quadratic or deep.
//
// Its partition step is one of the two below, chosen once when the program
// starts: split_avx2 where have_avx2() says the processor runs it, else
// split_scalar. Both split every range the same way.
void sort(int32_t lo, int32_t hi);

// sort_scalar, sort_avx2: sort's contract, each range split by split_scalar
// or by split_avx2 (the latter only where have_avx2() is true).
void sort_scalar(int32_t lo, int32_t hi);
void sort_avx2(int32_t lo, int32_t hi);

// split_scalar: accepts from[0, n) and to[0, n), two areas apart, and
// 0 <= middle < n. Splits from by the pivot from[middle], stably: leaves in
// to the values less than the pivot, in their order, then as many places as
// from has copies of the pivot (holding anything), then the greater values,
// in their order; from is left holding anything. Returns the number of
// smaller values, and in equal the number of copies. Adds to count the
// inversions across the groups: the pairs of positions i < j of from, in two
// different groups, with from[i] > from[j]. Touches nothing else.
std::ptrdiff_t split_scalar(int32_t* from, int32_t* to, std::ptrdiff_t n, std::ptrdiff_t middle,
                            std::ptrdiff_t& equal);

// split_avx2: split_scalar's contract, eight values at a time in 256-bit
// vectors. Only to be called where have_avx2() is true; in a build for any
// target but x86-64 it is split_scalar.
std::ptrdiff_t split_avx2(int32_t* from, int32_t* to, std::ptrdiff_t n, std::ptrdiff_t middle,
                          std::ptrdiff_t& equal);

// have_avx2: true when this is an x86-64 build and the processor runs
// split_avx2's instructions (AVX2 and POPCNT, the vector registers saved by
// the system); false everywhere else.
bool have_avx2();

}  // namespace quickcount
