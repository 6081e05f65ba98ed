// strpower: for each line of text, the largest k such that the line is one
// string written k times in a row.
//
// Input: lines, each ended by a line feed (the last one may lack it); every
// other byte belongs to the line. A line that is exactly "." ends the input.
// Output: one number per line, k, or 0 for an empty line.

#include <unistd.h>

#include "powers.hpp"

int main() {
  int status = strpower::powers(STDIN_FILENO, STDOUT_FILENO);
  if (close(STDOUT_FILENO) != 0) {
    status = 1;
  }
  return status;
}
