// Orders of the values 0..n-1 that defeat a partition sort taking the middle
// element of each range as its pivot: at every level the pivot is the largest
// (or the smallest) value of its range, so each partition splits off only the
// pivot and the nesting grows as long as the block. Used by the tests and the
// benchmark of quickcount; not part of the program.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <numeric>
#include <random>
#include <vector>

namespace testsupport {

// hostile_order: accepts n >= 0 and levels >= 0. Returns a permutation of
// 0..n-1 such that, for a stable partition around the element at position
// m / 2 of each range of length m, that element is the largest of its range
// (middle_largest) or the smallest (otherwise) at each of the first `levels`
// levels, by default all of them. The positions left after those levels hold
// the remaining values in an order shuffled by seed.
//
// Because every split leaves all other values in one group in their old
// order, the range of each level is the previous one with its middle element
// taken out. The partitions are followed on positions alone: a Fenwick tree
// marks the positions still in the range and finds the middle one in
// O(log n), and each middle position receives the value its level needs.
inline std::vector<int32_t> hostile_order(int32_t n, bool middle_largest,
                                          int32_t levels = INT32_MAX, uint32_t seed = 1) {
  const auto size = static_cast<size_t>(n < 0 ? 0 : n);
  std::vector<int32_t> order(size);
  std::vector<bool> taken(size, false);
  std::vector<int32_t> tree(size + 1, 0);  // tree[i] counts positions left in (i - lowbit(i), i]
  for (size_t i = 1; i <= size; ++i) {
    tree[i] += 1;
    const size_t parent = i + (i & (~i + 1));
    if (parent <= size) {
      tree[parent] += tree[i];
    }
  }
  const size_t top = size == 0 ? 0 : std::bit_floor(size);
  size_t m = size;
  for (; m >= 1 && size - m < static_cast<size_t>(levels); --m) {
    // The position with m / 2 positions of the range before it.
    auto rank = static_cast<int32_t>(m / 2 + 1);
    size_t pos = 0;
    for (size_t step = top; step > 0; step >>= 1) {
      if (pos + step <= size && tree[pos + step] < rank) {
        pos += step;
        rank -= tree[pos];
      }
    }
    order[pos] = static_cast<int32_t>(middle_largest ? m - 1 : size - m);
    taken[pos] = true;
    for (size_t i = pos + 1; i <= size; i += i & (~i + 1)) {
      tree[i] -= 1;
    }
  }
  // The m positions still in the range, in order, get the m values not used.
  std::vector<int32_t> rest(m);
  std::iota(rest.begin(), rest.end(), static_cast<int32_t>(middle_largest ? 0 : size - m));
  std::shuffle(rest.begin(), rest.end(), std::mt19937(seed));
  size_t next = 0;
  for (size_t i = 0; i < size; ++i) {
    if (!taken[i]) {
      order[i] = rest[next++];
    }
  }
  return order;
}

}  // namespace testsupport
