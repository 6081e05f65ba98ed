// quickcount: counts the inversions of blocks of integers.
//
// Input: blocks, each a count N followed by N decimal integers, ended by a
// count of 0, a count that cannot be read, or the end of input. Output: for
// each block, the number of pairs of positions i < j whose values stand in
// descending order, one per line.

#include <unistd.h>

#include "blocks.hpp"

int main() {
  int status = quickcount::count_blocks(STDIN_FILENO, STDOUT_FILENO);
  if (close(STDOUT_FILENO) != 0) {
    status = 1;
  }
  return status;
}
