// zoneclock's pieces on fuzzer-chosen tokens: the time split against sscanf
// (for numbers in the 32-bit range) and the zone lookup against a scan of the
// table in order.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "clock.hpp"
#include "drive.hpp"

namespace {

int scan(std::string_view token) {
  size_t i = 0;
  while (!zoneclock::x[i].empty() && zoneclock::x[i] != token) {
    ++i;
  }
  return static_cast<int>(i);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view token(reinterpret_cast<const char*>(data), size);
  if (zoneclock::zone_index(token) != scan(token)) {
    std::abort();
  }
  // Only what the program can take as a token: no white space, no NUL byte.
  bool token_bytes = true;
  for (char c : token) {
    token_bytes = token_bytes && c != '\0' && c != ' ' && (c < '\t' || c > '\r');
  }
  if (token_bytes && fuzzsupport::numbers_in_range(token)) {
    const std::string text(token);
    int h1 = 7;
    int m1 = 8;
    int32_t h2 = 7;
    int32_t m2 = 8;
    std::sscanf(text.c_str(), "%d:%d", &h1, &m1);  // NOLINT(cert-err34-c): the reference
    zoneclock::split_time(token, h2, m2);
    if (h1 != h2 || m1 != m2) {
      std::abort();
    }
  }
  return 0;
}
