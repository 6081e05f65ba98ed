#include "sort.hpp"

#include <algorithm>
#include <bit>
#include <cstddef>

#include "split_avx2.hpp"

namespace quickcount {

std::span<int32_t> p;
std::span<int32_t> scratch;
int64_t count;

namespace {

// Ranges up to this length are finished by small_sort.
constexpr ptrdiff_t small = 32;

// Sorts the n values at from, n <= small, into to, which is from itself or a
// separate area of n values, and adds their inversions to count: an insertion
// sort, in which each shift of a value past a greater one is one inversion.
void small_sort(const int32_t* from, int32_t* to, ptrdiff_t n) {
  if (from != to) {
    std::copy(from, from + n, to);
  }
  int64_t pairs = 0;
  for (ptrdiff_t i = 1; i < n; ++i) {
    const int32_t x = to[i];
    ptrdiff_t j = i;
    while (j > 0 && to[j - 1] > x) {
      to[j] = to[j - 1];
      --j;
    }
    to[j] = x;
    pairs += i - j;
  }
  count += pairs;
}

// Merges the ascending runs src[lo, mid) and src[mid, hi) into dst[lo, hi),
// adding to count the pairs of a value of the first run greater than one of
// the second. Works from both ends at once, as many steps at each end as the
// shorter run is long, then merges the middle left over from the front. In
// those steps an end, whenever it reads, has taken fewer values from either
// run than the run holds, so no read leaves its run and none needs a bound
// check. A head may pass the last unplaced value of its run, though: it then
// reads the value the other end already took, and that value always loses
// the comparison, as the front took it for being no greater than every
// value left in the other run and the back for being no smaller (ties go to
// the first run at the front, to the second at the back); so no value is
// placed twice. A pair is counted when the first of its two values is
// placed: the smaller one at the front, with every value of the first run
// still unplaced, or the greater one at the back, with every value of the
// second run still unplaced.
void merge(const int32_t* src, int32_t* dst, ptrdiff_t lo, ptrdiff_t mid, ptrdiff_t hi) {
  ptrdiff_t left = lo;
  ptrdiff_t right = mid;
  ptrdiff_t left_last = mid - 1;
  ptrdiff_t right_last = hi - 1;
  ptrdiff_t front = lo;
  ptrdiff_t back = hi - 1;
  int64_t pairs = 0;
  // Places the smaller of the two front values at the front.
  auto place_front = [&] {
    const int32_t a = src[left];
    const int32_t b = src[right];
    const ptrdiff_t take_right = b < a ? 1 : 0;
    dst[front++] = a ^ ((a ^ b) & static_cast<int32_t>(-take_right));
    pairs += (left_last - left + 1) & -take_right;
    right += take_right;
    left += 1 - take_right;
  };
  for (ptrdiff_t steps = std::min(mid - lo, hi - mid); steps > 0; --steps) {
    place_front();
    const int32_t c = src[left_last];
    const int32_t d = src[right_last];
    const ptrdiff_t take_left = d < c ? 1 : 0;
    dst[back--] = d ^ ((c ^ d) & static_cast<int32_t>(-take_left));
    pairs += (right_last - right + 1) & -take_left;
    left_last -= take_left;
    right_last -= 1 - take_left;
  }
  while (left <= left_last && right <= right_last) {
    place_front();
  }
  std::copy(src + left, src + left_last + 1, dst + front);
  std::copy(src + right, src + right_last + 1, dst + front + (left_last + 1 - left));
  count += pairs;
}

// Sorts the n values at data by a bottom-up merge sort, adding their
// inversions to count, with other (n values) as the second buffer. Leaves the
// sorted values at out, which is data or other.
void merge_sort(int32_t* data, int32_t* other, ptrdiff_t n, int32_t* out) {
  for (ptrdiff_t lo = 0; lo < n; lo += small) {
    small_sort(data + lo, data + lo, std::min(small, n - lo));
  }
  int32_t* src = data;
  int32_t* dst = other;
  for (ptrdiff_t width = small; width < n; width *= 2) {
    for (ptrdiff_t lo = 0; lo < n; lo += 2 * width) {
      merge(src, dst, lo, std::min(lo + width, n), std::min(lo + 2 * width, n));
    }
    std::swap(src, dst);
  }
  if (src != out) {
    std::copy(src, src + n, out);
  }
}

// Moves from[begin, end) by pivot, keeping the order within each side: the
// values less than the pivot go to to[less], to[less + 1], ..., the others to
// from[k - less] for the value at k, never ahead of the value being read.
// Carries on the count of smaller values so far in less and the sum, over all
// values, of the smaller values before them in less_before.
void split_stretch(int32_t* from, int32_t* to, ptrdiff_t begin, ptrdiff_t end, int32_t pivot,
                   ptrdiff_t& less, int64_t& less_before) {
  ptrdiff_t smaller = less;
  int64_t sum = less_before;
  for (ptrdiff_t k = begin; k < end; ++k) {
    const int32_t x = from[k];
    const ptrdiff_t is_less = x < pivot ? 1 : 0;
    // Both writes always happen, and only the slot of x's side moves on. The
    // other write lands on the next free slot of the other side: a later
    // value of that side overwrites it, or it lies past that side's end,
    // where no value is read from (the slots of the pivot's copies, or the
    // work area the ranges are next sorted with).
    to[smaller] = x;
    from[k - smaller] = x;
    sum += smaller;
    smaller += is_less;
  }
  less = smaller;
  less_before = sum;
}

// Splits the n values at from by pivot, the value at middle: the smaller
// values, in order, to the front of to, and the others, in order, to the front
// of from. Adds to count the pairs of a value not less than the pivot before a
// smaller one. Returns the number of smaller values, and in less_in_front how
// many of them stood before middle.
ptrdiff_t split_less(int32_t* from, int32_t* to, ptrdiff_t n, ptrdiff_t middle, int32_t pivot,
                     ptrdiff_t& less_in_front) {
  ptrdiff_t less = 0;
  int64_t less_before = 0;
  split_stretch(from, to, 0, middle, pivot, less, less_before);
  less_in_front = less;
  split_stretch(from, to, middle, n, pivot, less, less_before);
  // less_before is the smaller-smaller pairs plus the pairs of a smaller
  // value before one not smaller: one addition per value, not a masked one.
  // Products of lengths are taken in 64 bits, which ptrdiff_t need not have.
  const int64_t smaller = less;
  const int64_t in_order = less_before - smaller * (smaller - 1) / 2;
  count += smaller * (n - smaller) - in_order;
  return less;
}

// Copies the m values at from, none less than pivot and the one at pivot_at
// the pivot itself, into to with the copies of the pivot taken out: the
// greater values keep their order behind as many free places as there are
// copies. Adds to count the pairs of a greater value before a copy of the
// pivot. Returns the number of copies.
ptrdiff_t set_aside_equal(const int32_t* from, int32_t* to, ptrdiff_t m, int32_t pivot,
                          ptrdiff_t pivot_at) {
  uint32_t equal = 0;
  for (ptrdiff_t k = 0; k < m; ++k) {
    equal += from[k] == pivot ? 1 : 0;
  }
  if (equal == 1) {
    // The usual case: the pivot is its only copy and stands at pivot_at, so
    // the other values are all greater, and the pivot_at before it are the
    // pairs; the rest is two copies around its place.
    count += pivot_at;
    std::copy(from + pivot_at + 1, from + m, std::copy(from, from + pivot_at, to + 1));
    return 1;
  }
  ptrdiff_t greater = 0;
  int64_t pairs = 0;
  for (ptrdiff_t k = 0; k < m; ++k) {
    const int32_t x = from[k];
    const ptrdiff_t is_equal = x == pivot ? 1 : 0;
    // A copy of the pivot is written over the first free place.
    to[(equal + greater) & (is_equal - 1)] = x;
    pairs += greater & -is_equal;
    greater += 1 - is_equal;
  }
  count += pairs;
  return equal;
}

// A partition step: split_scalar or split_avx2.
using Splitter = ptrdiff_t (*)(int32_t* from, int32_t* to, ptrdiff_t n, ptrdiff_t middle,
                               ptrdiff_t& equal);

// Sorts the values at positions [lo, hi) of scratch (in_scratch) or of p into
// p[lo, hi), adding their inversions to count; the same positions of the other
// array are the work area. budget is the number of bad splits, ones whose
// larger side keeps more than seven eighths of the range, still allowed before
// the range is handed to the merge sort. split partitions each range.
template <Splitter split>
void sort_range(bool in_scratch, ptrdiff_t lo, ptrdiff_t hi, int budget) {
  for (;;) {
    const ptrdiff_t n = hi - lo;
    int32_t* from = (in_scratch ? scratch.data() : p.data()) + lo;
    int32_t* to = (in_scratch ? p.data() : scratch.data()) + lo;
    if (n <= small) {
      small_sort(from, p.data() + lo, n);
      return;
    }
    if (budget == 0) {
      merge_sort(from, to, n, p.data() + lo);
      return;
    }
    const ptrdiff_t middle = n / 2;
    const int32_t pivot = from[middle];
    ptrdiff_t equal = 0;
    const ptrdiff_t less = split(from, to, n, middle, equal);
    const ptrdiff_t less_end = lo + less;
    const ptrdiff_t greater_start = less_end + equal;
    // The copies of the pivot are in their final place.
    std::fill(p.data() + less_end, p.data() + greater_start, pivot);
    // Both sides now lie in the array the values were split into.
    in_scratch = !in_scratch;
    if (std::max(less_end - lo, hi - greater_start) > n - n / 8) {
      --budget;  // a bad split: a full pass that took off less than an eighth
    }
    if (less_end - lo < hi - greater_start) {
      sort_range<split>(in_scratch, lo, less_end, budget);
      lo = greater_start;
    } else {
      sort_range<split>(in_scratch, greater_start, hi, budget);
      hi = less_end;
    }
  }
}

// Sorts p[lo, hi) as sort says, each range split by split.
template <Splitter split>
void sort_with(int32_t lo, int32_t hi) {
  if (lo >= hi) {
    return;
  }
  const auto length = static_cast<uint32_t>(hi - lo);
  sort_range<split>(false, lo, hi, static_cast<int>(std::bit_width(length)));
}

// The partition step sort takes, chosen once when the program starts. A build
// for measuring can force one with QUICKCOUNT_FORCE_SCALAR or
// QUICKCOUNT_FORCE_AVX2 (the CMake cache variable QUICKCOUNT_PATH).
#if defined(QUICKCOUNT_FORCE_SCALAR)
const bool vector_split = false;
#elif defined(QUICKCOUNT_FORCE_AVX2)
const bool vector_split = true;
#else
const bool vector_split = have_avx2();
#endif

}  // namespace

ptrdiff_t split_scalar(int32_t* from, int32_t* to, ptrdiff_t n, ptrdiff_t middle,
                       ptrdiff_t& equal) {
  const int32_t pivot = from[middle];
  ptrdiff_t less_in_front = 0;
  const ptrdiff_t less = split_less(from, to, n, middle, pivot, less_in_front);
  equal = set_aside_equal(from, to + less, n - less, pivot, middle - less_in_front);
  return less;
}

#if QUICKCOUNT_AVX2
ptrdiff_t split_avx2(int32_t* from, int32_t* to, ptrdiff_t n, ptrdiff_t middle, ptrdiff_t& equal) {
  return avx2::split(from, to, n, from[middle], equal, count);
}

bool have_avx2() {
  return avx2::supported();
}
#else
ptrdiff_t split_avx2(int32_t* from, int32_t* to, ptrdiff_t n, ptrdiff_t middle, ptrdiff_t& equal) {
  return split_scalar(from, to, n, middle, equal);
}

bool have_avx2() {
  return false;
}
#endif

void sort(int32_t lo, int32_t hi) {
  if (vector_split) {
    sort_with<split_avx2>(lo, hi);
  } else {
    sort_with<split_scalar>(lo, hi);
  }
}

void sort_scalar(int32_t lo, int32_t hi) {
  sort_with<split_scalar>(lo, hi);
}

void sort_avx2(int32_t lo, int32_t hi) {
  sort_with<split_avx2>(lo, hi);
}

}  // namespace quickcount
