// Runs a program's read-compute-print loop in-process on fuzzer bytes and
// checks the cheap things: the exit status is 0 or 1 and every output line
// has one of the program's forms.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace fuzzsupport {

// drive: feeds data to loop(input, output) through in-memory streams. Aborts,
// which libFuzzer reports as a finding, when the status is not 0 or 1, when
// the output does not end with a line feed, or when line_ok rejects a line.
template <typename Loop, typename LineOk>
void drive(const uint8_t* data, size_t size, Loop loop, LineOk line_ok) {
  static char empty = 0;
  std::FILE* input =
      size > 0 ? fmemopen(const_cast<uint8_t*>(data), size, "r") : fmemopen(&empty, 1, "r");
  if (input != nullptr && size == 0) {
    std::fgetc(input);  // an empty stream: fmemopen takes no size 0
  }
  char* text = nullptr;
  size_t length = 0;
  std::FILE* output = open_memstream(&text, &length);
  if (input == nullptr || output == nullptr) {
    std::abort();
  }
  const int status = loop(input, output);
  std::fclose(output);
  std::fclose(input);
  if (status != 0 && status != 1) {
    std::abort();
  }
  std::string_view rest(text, length);
  if (!rest.empty() && rest.back() != '\n') {
    std::abort();
  }
  while (!rest.empty()) {
    const size_t end = rest.find('\n');
    if (!line_ok(rest.substr(0, end))) {
      std::abort();
    }
    rest.remove_prefix(end + 1);
  }
  std::free(text);
}

// True when s is a count: "0" or decimal digits without a leading zero.
inline bool is_count(std::string_view s) {
  if (s.empty() || (s[0] == '0' && s.size() > 1)) {
    return false;
  }
  for (char c : s) {
    if (c < '0' || c > '9') {
      return false;
    }
  }
  return true;
}

// True when no run of digits in s is long enough to leave the 32-bit range,
// so that sscanf, which wraps such numbers, can be the reference.
inline bool numbers_in_range(std::string_view s) {
  size_t run = 0;
  for (char c : s) {
    run = (c >= '0' && c <= '9') ? run + 1 : 0;
    if (run > 9) {
      return false;
    }
  }
  return true;
}

}  // namespace fuzzsupport
