#include "clock.hpp"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <unordered_map>

namespace zoneclock {

const std::array<std::string_view, 66> x = {
    "WET", "0",    "UTC", "0",    "GMT",  "0",    "BST",   "+1",   "IST",  "+1",   "WEST",
    "+1",  "CET",  "+1",  "CEST", "+2",   "EET",  "+2",    "EEST", "+3",   "MSK",  "+3",
    "MSD", "+4",   "AST", "-4",   "ADT",  "-3",   "NST",   "-3.5", "NDT",  "-2.5", "EST",
    "-5",  "EDT",  "-4",  "CST",  "-6",   "CDT",  "-5",    "MST",  "-7",   "MDT",  "-6",
    "PST", "-8",   "PDT", "-7",   "HST",  "-10",  "AKST",  "-9",   "AKDT", "-8",   "AEST",
    "+10", "AEDT", "+11", "ACST", "+9.5", "ACDT", "+10.5", "AWST", "+8",   "",     "",
};

namespace {

// First index of every non-empty entry, so a lookup returns what a scan of x
// in table order would return, without the scan.
const std::unordered_map<std::string_view, int>& first_index() {
  static const std::unordered_map<std::string_view, int> index = [] {
    std::unordered_map<std::string_view, int> built;
    for (int i = 0; i < table_end; ++i) {
      built.emplace(x[static_cast<size_t>(i)], i);  // keeps the first of equal entries
    }
    return built;
  }();
  return index;
}

// Each entry read once as hours with strtod (the C library's "%lf" reading)
// and kept as minutes: every table offset is a whole number of minutes, so
// integer minutes give exactly what the double-precision steps would.
const std::array<std::optional<int64_t>, 66>& minutes_table() {
  static const std::array<std::optional<int64_t>, 66> table = [] {
    std::array<std::optional<int64_t>, 66> built{};
    for (size_t i = 0; i < x.size(); ++i) {
      const std::string text(x[i]);
      char* end = nullptr;
      double hours = std::strtod(text.c_str(), &end);
      if (end != text.c_str()) {
        built[i] = static_cast<int64_t>(hours * 60.0);
      }
    }
    return built;
  }();
  return table;
}

// Reads an optional sign and decimal digits at the front of s, clamped to the
// 32-bit range. Returns false, leaving value alone, when no digit is there.
bool read_number(std::string_view& s, int32_t& value) {
  size_t at = 0;
  bool negative = false;
  if (at < s.size() && (s[at] == '+' || s[at] == '-')) {
    negative = s[at] == '-';
    ++at;
  }
  if (at == s.size() || s[at] < '0' || s[at] > '9') {
    return false;
  }
  constexpr int64_t limit = int64_t{1} << 31;  // |INT32_MIN|, past which we clamp
  int64_t magnitude = 0;
  for (; at < s.size() && s[at] >= '0' && s[at] <= '9'; ++at) {
    magnitude = std::min(magnitude * 10 + (s[at] - '0'), limit);
  }
  value = static_cast<int32_t>(negative ? -magnitude : std::min(magnitude, limit - 1));
  s.remove_prefix(at);
  return true;
}

}  // namespace

int zone_index(std::string_view token) {
  const auto& index = first_index();
  auto found = index.find(token);
  return found == index.end() ? table_end : found->second;
}

std::optional<int64_t> entry_minutes(int i) {
  return minutes_table()[static_cast<size_t>(i)];
}

void split_time(std::string_view token, int32_t& h, int32_t& m) {
  if (!read_number(token, h) || token.empty() || token.front() != ':') {
    return;
  }
  token.remove_prefix(1);
  read_number(token, m);
}

int64_t wrap_day(int64_t time) {
  int64_t r = time % 1440;
  return r < 0 ? r + 1440 : r;
}

int format_clock(int64_t time, char* out, int32_t& h, int32_t& m) {
  if (time == 0 || time == 720) {
    const std::string_view word = time == 0 ? "midnight\n" : "noon\n";
    std::copy(word.begin(), word.end(), out);
    return static_cast<int>(word.size());
  }
  h = static_cast<int32_t>(time / 60 % 12);
  if (h == 0) {
    h = 12;
  }
  m = static_cast<int32_t>(time % 60);
  char* p = out;
  if (h >= 10) {
    *p++ = '1';
  }
  *p++ = static_cast<char>('0' + h % 10);
  *p++ = ':';
  *p++ = static_cast<char>('0' + m / 10);
  *p++ = static_cast<char>('0' + m % 10);
  const std::string_view suffix = time <= 720 ? " a.m.\n" : " p.m.\n";
  p = std::copy(suffix.begin(), suffix.end(), p);
  return static_cast<int>(p - out);
}

}  // namespace zoneclock
