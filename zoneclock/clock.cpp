#include "clock.hpp"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <string>
#include <system_error>

namespace zoneclock {
namespace {

// A token of at most 7 bytes packed into one word, a byte each, with its
// length in the top byte, so that two such tokens have the same key only when
// they are equal. No table entry is longer than 5 bytes, so longer tokens
// never need a key.
constexpr uint64_t pack(std::string_view token) {
  uint64_t key = uint64_t{token.size()} << 56;
  for (size_t k = 0; k < token.size(); ++k) {
    key |= uint64_t{static_cast<unsigned char>(token[k])} << (8 * k);
  }
  return key;
}

constexpr size_t longest_entry = 5;
static_assert(std::all_of(x.begin(), x.end(),
                          [](std::string_view entry) { return entry.size() <= longest_entry; }));
constexpr size_t slots = 128;
static_assert(table_end < slots);  // so a probe always meets an empty slot

constexpr size_t slot_of(uint64_t key) {
  return (key * 0x9E3779B97F4A7C15ULL) >> 57;
}

struct Slot {
  uint64_t key;  // 0 for an empty slot: a packed key always holds a length
  int index;
};

// Open-addressed table from each distinct non-empty entry to its first index,
// so a lookup returns what a scan of x in table order would return.
constexpr std::array<Slot, slots> build_index() {
  std::array<Slot, slots> table{};
  for (int i = 0; i < table_end; ++i) {
    const uint64_t key = pack(x[static_cast<size_t>(i)]);
    size_t at = slot_of(key);
    while (table[at].key != 0 && table[at].key != key) {
      at = (at + 1) % slots;
    }
    if (table[at].key == 0) {  // keeps the first of equal entries
      table[at] = {key, i};
    }
  }
  return table;
}

// Each entry read once as hours with strtod (the C library's "%lf" reading)
// and kept as minutes: every table offset is a whole number of minutes, so
// integer minutes give exactly what the double-precision steps would.
std::array<std::optional<int64_t>, 66> parse_minutes() {
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
}

const std::array<std::optional<int64_t>, 66> minutes = parse_minutes();

}  // namespace

int zone_index(std::string_view token) {
  static constexpr std::array<Slot, slots> index = build_index();
  if (token.size() > longest_entry) {  // no entry is that long, nor could pack take it
    return table_end;
  }
  // Keys are equal only for equal tokens, and the table holds fewer keys than
  // slots: the probe ends at the token's key or at an empty slot.
  const uint64_t key = pack(token);
  for (size_t at = slot_of(key); index[at].key != 0; at = (at + 1) % slots) {
    if (index[at].key == key) {
      return index[at].index;
    }
  }
  return table_end;
}

std::optional<int64_t> entry_minutes(int i) {
  return minutes[static_cast<size_t>(i)];
}

bool read_int(std::string_view& s, int32_t& value) {
  const char* first = s.data();
  const char* const last = s.data() + s.size();
  if (first != last && *first == '+') {  // from_chars takes a '-' but no '+'
    ++first;
    if (first != last && *first == '-') {
      return false;
    }
  }
  const auto [end, error] = std::from_chars(first, last, value);
  if (error == std::errc::invalid_argument) {
    return false;
  }
  if (error == std::errc::result_out_of_range) {  // end is past every digit
    value = *first == '-' ? INT32_MIN : INT32_MAX;
  }
  s.remove_prefix(static_cast<size_t>(end - s.data()));
  return true;
}

void split_time(std::string_view token, int32_t& h, int32_t& m) {
  if (!read_int(token, h) || token.empty() || token.front() != ':') {
    return;
  }
  token.remove_prefix(1);
  read_int(token, m);
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
