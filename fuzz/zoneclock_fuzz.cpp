// Whole zoneclock loop on arbitrary bytes: every line is a clock time or a
// report of an unknown zone.
#include <cstdint>
#include <string_view>

#include "convert.hpp"
#include "drive.hpp"

namespace {

bool is_token(std::string_view s) {
  for (char c : s) {
    if (c == ' ' || (c >= '\t' && c <= '\r')) {
      return false;
    }
  }
  return !s.empty();
}

bool is_clock(std::string_view s) {
  if (s == "midnight" || s == "noon") {
    return true;
  }
  const size_t colon = s.find(':');
  if (colon == std::string_view::npos || s.size() != colon + 8) {
    return false;
  }
  const std::string_view hour = s.substr(0, colon);
  const bool hour_ok = hour == "1" || hour == "2" || hour == "3" || hour == "4" || hour == "5" ||
                       hour == "6" || hour == "7" || hour == "8" || hour == "9" || hour == "10" ||
                       hour == "11" || hour == "12";
  const std::string_view rest = s.substr(colon + 1);
  return hour_ok && rest[0] >= '0' && rest[0] <= '5' && rest[1] >= '0' && rest[1] <= '9' &&
         (rest.substr(2) == " a.m." || rest.substr(2) == " p.m.");
}

bool line_ok(std::string_view line) {
  if (line.starts_with("oops:  <<<") && line.ends_with(">>>") && line.size() > 13) {
    return is_token(line.substr(10, line.size() - 13));
  }
  if (line.starts_with("oops:  ")) {
    return is_token(line.substr(7)) || is_clock(line);
  }
  return is_clock(line);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzsupport::drive(data, size, zoneclock::convert, line_ok);
  return 0;
}
