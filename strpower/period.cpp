#include "period.hpp"

#include <bit>
#include <cstring>

namespace strpower {

size_t period(std::string_view line) {
  if (line.empty()) {
    return 0;
  }
  const char* s = line.data();
  size_t rest = line.size();  // the part of the length not yet split into factors
  size_t p = line.size();     // the shortest dividing period found so far
  // The line is a repetition of its first p characters, so it has period
  // d = p / q exactly when those p characters do: the first p - d of them
  // equal the ones d further on. Whether they do; p becomes d if so.
  auto test = [&](size_t q) {
    const size_t d = p / q;
    if (std::memcmp(s, s + d, p - d) != 0) {
      return false;
    }
    p = d;
    return true;
  };
  // Each prime factor is taken once per occurrence, in increasing order, by
  // trial division, which stops at q * q > rest: what is left then is 1 or a
  // prime larger than every q tried. After a test of a factor fails, p is as
  // it was, so that factor's other tests would compare the same characters
  // and fail again: both loops skip them.
  const int twos = std::countr_zero(rest);
  rest >>= twos;
  for (int k = 0; k < twos && test(2); ++k) {
  }
  // rest is odd now, so no even q divides it: q steps over them, and a prime
  // length costs about sqrt(L) / 2 divisions.
  for (size_t q = 3; q * q <= rest; q += 2) {
    for (bool holds = true; rest % q == 0;) {
      rest /= q;
      holds = holds && test(q);
    }
  }
  if (rest > 1) {
    test(rest);
  }
  return p;
}

}  // namespace strpower
