// Inversion counting by merge sort, and the quadratic counter kept beside it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mergecount {

// Block length the fixed storage holds; longer blocks use storage grown for them.
inline constexpr std::size_t capacity = 1'000'004;

// getResult: accepts an array and a half-open range lo..hi of it with
// 0 <= lo < hi. Returns the range's inversion count, the number of position
// pairs i < j in the range with arr[i] > arr[j], and leaves the range sorted
// ascending. Values outside the range are untouched. Works in a merge buffer
// of its own: `temp` for ranges up to capacity, a buffer grown to the range's
// length for longer ones, given back before it returns. Returns -1, with the
// range untouched, when that buffer cannot be had: no memory for it, or more
// values than a vector can hold.
//
// It is one of the two paths below, chosen once when the program starts:
// getResultAvx2 where haveAvx2() says the processor runs it, else
// getResultScalar.
int64_t getResult(int32_t* arr, int32_t lo, int32_t hi);

// getResultScalar: getResult's contract, by scalar merges, on any processor.
int64_t getResultScalar(int32_t* arr, int32_t lo, int32_t hi);

// getResultAvx2: getResult's contract, by merges of eight values at a time
// in 256-bit vectors (ranges shorter than 64 values by the scalar path,
// which is faster there). Only to be called where haveAvx2() is true; in a
// build for any target but x86-64 it is getResultScalar.
int64_t getResultAvx2(int32_t* arr, int32_t lo, int32_t hi);

// haveAvx2: true when this is an x86-64 build and the processor runs
// getResultAvx2's instructions (AVX2 and POPCNT, the vector registers saved
// by the system); false everywhere else.
bool haveAvx2();

// getResult2: the same contract as getResult, by repeated passes of
// neighbour exchanges, each exchange adding 1 to the count. Quadratic time;
// needs no buffer.
int64_t getResult2(int32_t* arr, int32_t lo, int32_t hi);

}  // namespace mergecount
