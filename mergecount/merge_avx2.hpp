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

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define MERGECOUNT_AVX2 1  // this build has the vector path
#else
#define MERGECOUNT_AVX2 0
#endif

#if MERGECOUNT_AVX2
namespace mergecount::avx2 {

// supported: true when the processor has AVX2 and POPCNT and the system
// saves the vector registers, so that the functions below can run.
bool supported();

// sortCount: accepts a[0..len), len >= 0, and a buffer buf[0..len) apart
// from it. Returns the inversions of a[0..len) and leaves it sorted
// ascending; buf is left holding scratch. Touches nothing else.
int64_t sortCount(int32_t* a, int32_t* buf, std::ptrdiff_t len);

// mergeEight: accepts keys[0..8) and keys[8..16), each ascending. Leaves
// keys[0..16) ascending, by the network that merges two vectors.
void mergeEight(uint32_t* keys);

// sortSixteens: accepts keys[0..len), len a multiple of 16, tags ignored.
// Sorts each run of 16, keys[16j..16j+16), by the networks in registers and
// leaves run j's keys tagged j % 2, as the first merge pass wants them.
// Returns the inversions within the runs, counted by value.
int64_t sortSixteens(uint32_t* keys, std::ptrdiff_t len);

// mergeRuns: accepts two ascending runs side by side, keys[0..na) tagged 0
// and keys[na..na+nb) tagged 1, na and nb multiples of 16 (not 0), and
// out[0..na+nb) apart from them. Writes their merge to out, ascending, every
// key tagged `tag` (0 or 1), and returns the pairs of a value of the left run
// greater than a value of the right one. Touches nothing else.
int64_t mergeRuns(const uint32_t* keys, std::ptrdiff_t na, std::ptrdiff_t nb, uint32_t* out,
                  uint32_t tag);

}  // namespace mergecount::avx2
#endif
