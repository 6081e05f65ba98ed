// zoneclock: converts 12-hour clock times from one time zone to another.
//
// Input: a count of queries, then per query a time token ("noon", "midnight",
// or "<hour>:<minute>" followed by a meridiem token), the zone the time is
// given in and the zone it is wanted in. Output: one converted time per line.

#include <unistd.h>

#include "convert.hpp"

int main() {
  int status = zoneclock::convert(STDIN_FILENO, STDOUT_FILENO);
  if (close(STDOUT_FILENO) != 0) {
    status = 1;
  }
  return status;
}
