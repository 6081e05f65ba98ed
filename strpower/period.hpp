// Shortest dividing period of a line, found over the prime factors of its length.
#pragma once

#include <cstddef>
#include <string_view>

namespace strpower {

// period: accepts a line of any length; every byte, NUL and blanks included,
// is a character like any other. Returns the length of the shortest string u
// that, written length / P times in a row, gives the line (so it divides the
// length), or 0 for an empty line. Reads the line only.
size_t period(std::string_view line);

}  // namespace strpower
