// mergecount: counts the inversions of blocks of integers by merge sort.
//
// Input: blocks, each a count N followed by N integers, every number read as
// "%i" reads it (decimal, hexadecimal after 0x, octal after a leading 0, with
// an optional sign), ended by a count of 0, a count that cannot be read or the
// end of input. Output: per block, the number of position pairs i < j with
// a[i] > a[j], one per line.

#include <unistd.h>

#include "blocks.hpp"

int main() {
  int status = mergecount::count_blocks(STDIN_FILENO, STDOUT_FILENO);
  if (close(STDOUT_FILENO) != 0) {
    status = 1;
  }
  return status;
}
