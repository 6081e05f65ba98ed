#include "period.hpp"

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
  // equal the ones d further on.
  auto try_factor = [&](size_t q) {
    size_t d = p / q;
    if (std::memcmp(s, s + d, p - d) == 0) {
      p = d;
    }
  };
  // Each prime factor is tried once per occurrence, in increasing order: 2,
  // then the odd q (an even q > 2 never divides what 2 left). Trial division
  // stops at q * q > rest: what is left then is 1 or a prime larger than
  // every q tried, so a prime length costs about sqrt(L) / 2 divisions.
  // Skipping the even q halves the divisions, which are most of the work on
  // short lines.
  while (rest % 2 == 0) {
    rest /= 2;
    try_factor(2);
  }
  for (size_t q = 3; q * q <= rest; q += 2) {
    while (rest % q == 0) {
      rest /= q;
      try_factor(q);
    }
  }
  if (rest > 1) {
    try_factor(rest);
  }
  return p;
}

}  // namespace strpower
