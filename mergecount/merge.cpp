#include "merge.hpp"

#include <algorithm>
#include <array>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

#include "merge_avx2.hpp"

namespace mergecount {
namespace {

std::array<int32_t, capacity> temp;  // merge buffer within capacity
std::vector<int32_t> wide_temp;      // merge buffer for longer ranges, grown on demand

// Runs of this many values are sorted by insertion before merging starts:
// whole runs take less time with 4 than with 2, and as long as with 8,
// which is faster on blocks of 5 and slower on long blocks.
constexpr std::ptrdiff_t run_length = 4;

// Sorts a[0..len) by insertion and returns the number of shifts made, which
// is the number of inversions the run had.
int64_t insertion_sort(int32_t* a, std::ptrdiff_t len) {
  int64_t shifts = 0;
  for (std::ptrdiff_t k = 1; k < len; ++k) {
    const int32_t x = a[k];
    std::ptrdiff_t m = k;
    for (; m > 0 && a[m - 1] > x; --m) {
      a[m] = a[m - 1];
      ++shifts;
    }
    a[m] = x;
  }
  return shifts;
}

// The merge steps below are branch-free: the comparison selects the value
// and moves one head, so a run of random values costs no mispredictions.
// They check no head against the other end's: a merge takes them from both
// ends, and from each end fewer steps than either run is long (see
// finish_merge), so no read leaves a run, but a head may reach the place of
// a value the other end already took. That value always loses the
// comparison, and the value the step places is one still to be placed: a
// left value the back took was greater than a right value not yet placed,
// hence than every right value the front can still offer; a right value the
// back took was no less than every left value the front can still offer,
// which wins on equality; the front's taken values lose at the back the same
// way. Both heads of one end never stand on taken values at once: the two
// ends have together placed fewer values than the runs hold.

// Places the smaller of the two front heads (the left one on equality) and
// moves that head forward.
inline void step_from_front(const int32_t*& left, const int32_t*& right, int32_t* out) {
  const int32_t a = *left;
  const int32_t b = *right;
  const std::size_t take_right = static_cast<std::size_t>(b < a);
  *out = std::min(a, b);
  right += take_right;
  left += take_right ^ 1U;
}

// Places the larger of the values just before the back heads left_end and
// right_end (the right one on equality) and moves that head back. A back
// head points one past the value it offers, so that it stays inside its run
// (or at its start) even once every value of the run is placed.
inline void step_from_back(const int32_t*& left_end, const int32_t*& right_end, int32_t* out) {
  const int32_t a = left_end[-1];
  const int32_t b = right_end[-1];
  const std::size_t take_left = static_cast<std::size_t>(a > b);
  *out = std::max(a, b);
  left_end -= take_left;
  right_end -= take_left ^ 1U;
}

// Inversions found by a two-ended merge of a left run of nl values with a
// right run that took the same number of steps from the front and from the
// back, given how many left values the front placed (left_front), how many
// right values it placed (right_front), how many left values the back placed
// (left_from_back), and index_sum, the sum over the steps of (left values
// placed from the back so far) - (left values placed from the front so far).
//
// Every placed right value counts the left values greater than it: from the
// front, the left values not yet placed from the front (nl - i); from the
// back, the left values already placed from the back (ia). The front's left
// steps saw i = 0, 1, ..., and the back's left steps ia = 0, 1, ..., so those
// sums drop out in closed form and the loop only has to add up indexes.
int64_t two_ended_count(int64_t nl, int64_t left_front, int64_t right_front, int64_t left_from_back,
                        int64_t index_sum) {
  return right_front * nl + left_front * (left_front - 1) / 2 -
         left_from_back * (left_from_back - 1) / 2 + index_sum;
}

// A merge of the sorted runs left_run[0..nl) and right_run[0..nr), both at
// least 1 long, into out_run[0..nl+nr), worked from both ends.
struct Merge {
  const int32_t* left_run;
  std::ptrdiff_t nl;
  const int32_t* right_run;
  std::ptrdiff_t nr;
  const int32_t* left;  // the front heads
  const int32_t* right;
  const int32_t* left_end;  // the back heads, one past the values they offer
  const int32_t* right_end;
  int32_t* out;  // where the front and the back place next
  int32_t* out_back;
  int64_t spans = 0;  // sum over the steps taken of right_end - left
};

Merge start_merge(const int32_t* left_run, std::ptrdiff_t nl, const int32_t* right_run,
                  std::ptrdiff_t nr, int32_t* out_run) {
  return {left_run,      nl,
          right_run,     nr,
          left_run,      right_run,
          left_run + nl, right_run + nr,
          out_run,       out_run + nl + nr - 1};
}

// One step from each end. Before step k (from 0), the span right_end - left
// from the front's left head to the back's right head is its first length
// less k, plus (left values placed from the back) - (left values placed from
// the front), so adding up the spans gives index_sum with one subtraction
// and one add per step.
inline void step_both_ends(Merge& m) {
  m.spans += m.right_end - m.left;
  step_from_front(m.left, m.right, m.out++);
  step_from_back(m.left_end, m.right_end, m.out_back--);
}

// Finishes a merge: steps from both ends up to min(nl, nr) in all, then a
// guarded loop through what is left in the middle. Before step k each end
// has taken k values, so a front head is at most k < nl (or nr) values into
// its run and a back head at least nl - k > 0 (or nr - k) from its start:
// every read is inside its run. The 2 * min(nl, nr) values placed are the
// first and the last of the merge, which do not overlap, so afterwards no
// front head is past its back head. Returns the inversions between the two
// runs.
int64_t finish_merge(Merge m) {
  const std::ptrdiff_t steps = std::min(m.nl, m.nr);
  for (std::ptrdiff_t k = 0; k < steps; ++k) {
    step_both_ends(m);
  }
  const int32_t* const run_end = m.left_run + m.nl;
  const int64_t s = steps;
  const int64_t first_span = (m.right_run + m.nr) - m.left_run;
  const int64_t index_sum = m.spans - s * first_span + s * (s - 1) / 2;
  int64_t count = two_ended_count(m.nl, m.left - m.left_run, m.right - m.right_run,
                                  run_end - m.left_end, index_sum);
  while (m.left < m.left_end && m.right < m.right_end) {
    if (*m.left <= *m.right) {
      *m.out++ = *m.left++;
    } else {
      count += run_end - m.left;
      *m.out++ = *m.right++;
    }
  }
  // Right values left over are less than every left value the front has not
  // placed.
  count += int64_t{run_end - m.left} * (m.right_end - m.right);
  m.out = std::copy(m.left, m.left_end, m.out);
  std::copy(m.right, m.right_end, m.out);
  return count;
}

// Merges the sorted runs src[0..nl) and src[nl..nl+nr) into dst stably and
// returns the inversions between them.
int64_t merge(const int32_t* src, int32_t* dst, std::ptrdiff_t nl, std::ptrdiff_t nr) {
  return finish_merge(start_merge(src, nl, src + nl, nr, dst));
}

// The merge buffer for a range of len values, or nullptr when it cannot be
// had: no memory for it, or more values than a vector can hold, as on a
// 32-bit machine.
int32_t* buffer_for(std::ptrdiff_t len) {
  if (len <= static_cast<std::ptrdiff_t>(capacity)) {
    return temp.data();
  }
  try {
    wide_temp.resize(static_cast<std::size_t>(len));
  } catch (const std::bad_alloc&) {
    return nullptr;
  } catch (const std::length_error&) {
    return nullptr;
  }
  return wide_temp.data();
}

// Joins runs that do not interleave: the left run src[0..nl) wholly before
// the right one src[nl..nl+nr) (no inversions between them), or wholly after
// it (every pair an inversion). Returns the inversions, or -1, doing
// nothing, when the runs interleave. Both runs are sorted, so comparing the
// left's last with the right's first, and the left's first with the right's
// last, tells each case. Costs two comparisons, and makes ordered and
// reversed stretches of a block cost only copies.
int64_t join_whole(const int32_t* src, int32_t* dst, std::ptrdiff_t nl, std::ptrdiff_t nr) {
  const int32_t* right = src + nl;
  if (src[nl - 1] <= right[0]) {
    std::copy(src, right + nr, dst);
    return 0;
  }
  if (src[0] > right[nr - 1]) {
    std::copy(src, right, std::copy(right, right + nr, dst));
    return static_cast<int64_t>(nl) * nr;
  }
  return -1;
}

// Merges each pair of neighbouring runs of width w in src[0..len) (the last
// run may be shorter, or alone) into dst[0..len). Returns the inversions
// between the runs of each pair.
int64_t merge_pass(const int32_t* src, int32_t* dst, std::ptrdiff_t len, std::ptrdiff_t w) {
  int64_t count = 0;
  std::ptrdiff_t k = 0;
  for (; k + w < len; k += 2 * w) {
    const std::ptrdiff_t nr = std::min(w, len - k - w);
    const int64_t whole = join_whole(src + k, dst + k, w, nr);
    count += whole >= 0 ? whole : merge(src + k, dst + k, w, nr);
  }
  k = std::min(k, len);
  std::copy(src + k, src + len, dst + k);
  return count;
}

// Gives back a buffer grown for a long range.
void give_back_buffer() {
  if (!wide_temp.empty()) {
    wide_temp = std::vector<int32_t>();
  }
}

// The path getResult takes, chosen once when the program starts (a branch
// rather than a pointer, so that the scalar path is still inlined). A build
// for measuring can force one with MERGECOUNT_FORCE_SCALAR or
// MERGECOUNT_FORCE_AVX2 (the CMake cache variable MERGECOUNT_PATH).
#if defined(MERGECOUNT_FORCE_SCALAR)
const bool vector_merge = false;
#elif defined(MERGECOUNT_FORCE_AVX2)
const bool vector_merge = true;
#else
const bool vector_merge = haveAvx2();
#endif

}  // namespace

int64_t getResult(int32_t* arr, int32_t lo, int32_t hi) {
  return vector_merge ? getResultAvx2(arr, lo, hi) : getResultScalar(arr, lo, hi);
}

// Bottom-up merge sort: runs of run_length sorted by insertion, then passes
// that each merge neighbouring runs from one array into the other (the range
// and the buffer swap roles every pass), the count summed over all of it.
int64_t getResultScalar(int32_t* arr, int32_t lo, int32_t hi) {
  const std::ptrdiff_t len = std::ptrdiff_t{hi} - lo;
  if (len < 2) {
    return 0;
  }
  int32_t* const a = arr + lo;
  int32_t* dst = buffer_for(len);
  if (dst == nullptr) {
    return -1;
  }
  int64_t count = 0;
  const std::ptrdiff_t whole_runs = len - len % run_length;
  for (std::ptrdiff_t k = 0; k < whole_runs; k += run_length) {
    count += insertion_sort(a + k, run_length);
  }
  count += insertion_sort(a + whole_runs, len - whole_runs);
  int32_t* src = a;
  for (std::ptrdiff_t w = run_length; w < len; w *= 2) {
    count += merge_pass(src, dst, len, w);
    std::swap(src, dst);
  }
  if (src != a) {
    std::copy(src, src + len, a);
  }
  give_back_buffer();
  return count;
}

#if MERGECOUNT_AVX2
// Shorter ranges go to the scalar path, which sorts them faster: the vector
// path's split by sign and its halves' last keys cost more than the vectors
// save (64 random values take about as long either way).
constexpr std::ptrdiff_t vector_shortest = 64;

int64_t getResultAvx2(int32_t* arr, int32_t lo, int32_t hi) {
  const std::ptrdiff_t len = std::ptrdiff_t{hi} - lo;
  if (len < vector_shortest) {
    return getResultScalar(arr, lo, hi);
  }
  int32_t* const buf = buffer_for(len);
  if (buf == nullptr) {
    return -1;
  }
  const int64_t count = avx2::sortCount(arr + lo, buf, len);
  give_back_buffer();
  return count;
}

bool haveAvx2() {
  return avx2::supported();
}
#else
int64_t getResultAvx2(int32_t* arr, int32_t lo, int32_t hi) {
  return getResultScalar(arr, lo, hi);
}

bool haveAvx2() {
  return false;
}
#endif

int64_t getResult2(int32_t* arr, int32_t lo, int32_t hi) {
  int64_t count = 0;
  bool exchanged = true;
  while (exchanged) {
    exchanged = false;
    for (int64_t j = lo; j + 2 <= hi; ++j) {
      if (arr[j + 1] < arr[j]) {
        std::swap(arr[j], arr[j + 1]);
        ++count;
        exchanged = true;
      }
    }
  }
  return count;
}

}  // namespace mergecount
