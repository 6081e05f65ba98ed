// Reference for strpower: the same answer per line from the prefix function
// (the longest proper border of every prefix), lines read with std::getline.
// A line of length L whose longest border is b repeats its first L - b
// characters exactly when L - b divides L.
#include <iostream>
#include <string>
#include <vector>

int main() {
  std::ios::sync_with_stdio(false);
  std::cin.tie(nullptr);
  std::string line;
  std::vector<size_t> border;
  while (std::getline(std::cin, line) && line != ".") {
    const size_t n = line.size();
    if (n == 0) {
      std::cout << "0\n";
      continue;
    }
    border.assign(n, 0);
    for (size_t i = 1; i < n; ++i) {
      size_t b = border[i - 1];
      while (b > 0 && line[i] != line[b]) {
        b = border[b - 1];
      }
      border[i] = line[i] == line[b] ? b + 1 : 0;
    }
    const size_t p = n - border[n - 1];
    std::cout << (n % p == 0 ? n / p : 1) << '\n';
  }
  return 0;
}
