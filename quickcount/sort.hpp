// The counting sort of quickcount: sorts a block of values while adding up its
// inversions, the pairs of positions i < j whose values stand in descending
// order (equal values never form one).
#pragma once

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
void sort(int32_t lo, int32_t hi);

}  // namespace quickcount
