// The merge sort behind getResultAvx2, eight keys to a 256-bit vector, for
// x86-64 processors with AVX2. Its pieces are declared here so that the
// tests can hold each one to its contract; the program calls sortCount only.
//
// A key is a value of one sign's half shifted left one place,
// (uint32_t)v << 1, whose free low bit, the tag, says which run of a merge
// the key comes from: 0 the left one, 1 the right one. Within a half, keys
// order as their values do, and among equal values the left run's first.
#pragma once

#include <cstddef>
#include <cstdint>

#include "avx2.hpp"

#if MERGECOUNT_AVX2
namespace mergecount::avx2 {

// supported: true when the processor has AVX2 and POPCNT and the system
// saves the vector registers, so that the functions below can run.
bool supported();

// sortCount: accepts a[0..len), len >= 0, and a buffer buf[0..len) apart
// from it. Returns the inversions of a[0..len) and leaves it sorted
// ascending; buf is left holding scratch. Touches nothing else.
int64_t sortCount(int32_t* a, int32_t* buf, std::ptrdiff_t len);

// mergeEight: accepts keys[0..8) and keys[8..16), each ascending. Leaves the
// lower eight of the sixteen in keys[0..8) and the upper eight in
// keys[8..16), by the network that merges two vectors, each eight ascending
// or, where lower_descending or upper_descending says, descending (not both
// descending; the merge passes use the three other ways).
void mergeEight(uint32_t* keys, bool lower_descending, bool upper_descending);

// sortSixteens: accepts keys[0..len), len a multiple of 16, tags ignored.
// Sorts each run of 16, keys[16j..16j+16), by the networks in registers and
// leaves run j's keys tagged j % 2, as the first merge pass wants them.
// Returns the inversions within the runs, counted by value.
int64_t sortSixteens(uint32_t* keys, std::ptrdiff_t len);

// mergePass: accepts src[0..len), ascending runs of width w, run j's keys
// tagged j % 2 (w and len multiples of 16; the last run may be shorter),
// and dst[0..len) apart from it. Merges each pair of neighbouring runs into
// dst, the merged run j tagged j % 2, and returns the pairs of a value of a
// pair's left run greater than one of its right run. Touches nothing else.
int64_t mergePass(const uint32_t* src, uint32_t* dst, std::ptrdiff_t len, std::ptrdiff_t w);

}  // namespace mergecount::avx2
#endif
