// Runs a program's read-compute-print loop in-process on fuzzer bytes, on
// real descriptors as its main does, and checks the cheap things: the exit
// status is 0 or 1 and every output line has one of the program's forms.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "loop_run.hpp"

namespace fuzzsupport {

// drive: the first byte of data says how the rest reaches loop(input,
// output): in reads of 1 to 64 bytes (its low six bits, plus one), from a
// pipe in non-blocking mode when bit 6 is set, and with the output on a
// small non-blocking pipe, which takes part of a write and then fails with
// EAGAIN, when bit 7 is set. Aborts, which libFuzzer reports as a finding,
// when the status is not 0 or 1, when the output does not end with a line
// feed, or when line_ok rejects a line.
template <typename Loop, typename LineOk>
void drive(const uint8_t* data, size_t size, Loop loop, LineOk line_ok) {
  if (size == 0) {
    return;
  }
  testsupport::LoopRun how;
  how.pieces = {size_t{data[0] & 0x3fU} + 1};
  how.nonblocking_input = (data[0] & 0x40U) != 0;
  how.sink = (data[0] & 0x80U) != 0 ? testsupport::Sink::nonblocking_pipe : testsupport::Sink::file;
  const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  const testsupport::LoopOutcome run = testsupport::run_loop(loop, input, how);
  if (run.status != 0 && run.status != 1) {
    std::abort();
  }
  std::string_view rest = run.out;
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
