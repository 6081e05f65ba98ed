// An inversion count computed without sorting by partitions: for each value,
// the earlier values greater than it, kept in a Fenwick tree over the ranks of
// the values. The tests of both counters and quickcount's benchmark check
// their answers against it; not part of any program.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace testsupport {

// fenwick_count: accepts any values. Returns the number of pairs of positions
// i < j with values[i] > values[j]. O(n log n) time, O(n) memory.
inline int64_t fenwick_count(const std::vector<int32_t>& values) {
  std::vector<int32_t> sorted = values;
  std::sort(sorted.begin(), sorted.end());
  std::vector<int64_t> tree(values.size() + 1,
                            0);  // tree[i]: values seen with rank in (i - lowbit(i), i]
  int64_t pairs = 0;
  for (size_t seen = 0; seen < values.size(); ++seen) {
    // The rank of a value: how many values are less than or equal to it.
    const auto rank = static_cast<size_t>(
        std::upper_bound(sorted.begin(), sorted.end(), values[seen]) - sorted.begin());
    int64_t not_greater = 0;
    for (size_t i = rank; i > 0; i -= i & (~i + 1)) {
      not_greater += tree[i];
    }
    pairs += static_cast<int64_t>(seen) - not_greater;
    for (size_t i = rank; i <= values.size(); i += i & (~i + 1)) {
      tree[i] += 1;
    }
  }
  return pairs;
}

}  // namespace testsupport
