// Writes one of the cost check's inputs (.ci/cost) on standard output, the
// same every time: the values come from seeded generators, the same seeds
// and forms as the benchmarks' inputs, so that the figures of the two agree.
//   make_input KIND > FILE
// KIND: random_1m, descending_1m, hostile_largest_1m, hostile_smallest_1m,
// hostile_start_1m, blocks_of_5 (blocks of decimal values for both
// counters), random_1m.hex, random_1m.oct (random_1m written as mergecount
// reads hexadecimal and octal), queries_1m (zoneclock), long_lines,
// short_lines (strpower). Exits 1 on another KIND or a failed write.
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "hostile_orders.hpp"

namespace {

using Blocks = std::vector<std::vector<int32_t>>;

Blocks random_values(uint32_t seed, size_t blocks, size_t length) {
  std::mt19937 rng(seed);
  Blocks out(blocks, std::vector<int32_t>(length));
  for (auto& block : out) {
    for (auto& x : block) {
      x = static_cast<int32_t>(rng());  // the whole 32-bit range
    }
  }
  return out;
}

Blocks descending(int32_t n) {
  std::vector<int32_t> v(static_cast<size_t>(n));
  for (size_t i = 0; i < v.size(); ++i) {
    v[i] = static_cast<int32_t>(v.size() - i);
  }
  return {v};
}

// Each block as its count and its values, then the count 0 that ends the
// input; a value in base 16 or 8 carries the prefix mergecount reads.
std::string blocks_text(const Blocks& blocks, int radix) {
  std::string text;
  auto append = [&text, radix](int64_t v, char after) {
    const uint64_t magnitude =
        v < 0 ? uint64_t{0} - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
    if (v < 0) {
      text += '-';
    }
    if (magnitude != 0) {
      text += radix == 16 ? "0x" : radix == 8 ? "0" : "";
    }
    char digits[24];
    text.append(digits, std::to_chars(digits, digits + sizeof digits, magnitude, radix).ptr);
    text += after;
  };
  for (const auto& block : blocks) {
    append(static_cast<int64_t>(block.size()), '\n');
    for (int32_t v : block) {
      append(v, ' ');
    }
    text += '\n';
  }
  return text + "0\n";
}

// 1,000,000 queries, about one zone in fifty an unknown name or an offset.
std::string queries() {
  static const char* const zones[] = {
      "WET", "UTC", "GMT", "BST",  "IST",  "WEST", "CET",  "CEST", "EET",  "EEST", "MSK",
      "MSD", "AST", "ADT", "NST",  "NDT",  "EST",  "EDT",  "CST",  "CDT",  "MST",  "MDT",
      "PST", "PDT", "HST", "AKST", "AKDT", "AEST", "AEDT", "ACST", "ACDT", "AWST",
  };
  static const char* const odd_zones[] = {"XYZ", "Mars", "utc", "0", "+1", "-3.5", "+10.5"};
  std::mt19937 rng(12345);
  auto zone = [&rng]() -> std::string {
    if (rng() % 50 == 0) {
      return odd_zones[rng() % std::size(odd_zones)];
    }
    return zones[rng() % std::size(zones)];
  };
  constexpr int count = 1000000;
  std::string text = std::to_string(count) + "\n";
  for (int q = 0; q < count; ++q) {
    switch (rng() % 20) {
      case 0:
        text += "noon";
        break;
      case 1:
        text += "midnight";
        break;
      default: {
        const auto hour = 1 + rng() % 12;
        const auto tens = rng() % 6;
        const auto units = rng() % 10;
        text += std::to_string(hour) + ":" + std::to_string(tens) + std::to_string(units);
        text += rng() % 2 != 0 ? " p.m." : " a.m.";
      }
    }
    const std::string from = zone();
    text += " " + from + " " + zone() + "\n";
  }
  return text;
}

std::string random_unit(std::mt19937& rng, size_t length) {
  std::string unit(length, 'a');
  for (char& c : unit) {
    c = static_cast<char>('a' + rng() % 4);
  }
  return unit;
}

// 20 lines of 2,000,000 characters: units of several lengths repeated, some
// with one character changed near the end, three with no shorter period, and
// one of prime length 1,999,993.
std::string long_lines() {
  std::mt19937 rng(1);
  const size_t units[] = {1, 2, 5, 16, 125, 1000, 3200, 40000, 250000, 1000000};
  std::string text;
  for (size_t n = 0; n < 20; ++n) {
    std::string line;
    if (n == 19) {
      line = std::string(1999993, 'p');
    } else if (n >= 17) {
      line = random_unit(rng, 2000000);
    } else {
      const std::string unit = random_unit(rng, units[n % std::size(units)]);
      while (line.size() < 2000000) {
        line += unit;
      }
      if (n % 2 == 1) {
        line[2000000 - 1 - n] ^= 1;
      }
    }
    text += line + "\n";
  }
  return text;
}

// 200,000 short lines, half of them a short unit repeated.
std::string short_lines() {
  std::mt19937 rng(2);
  std::string text;
  for (int n = 0; n < 200000; ++n) {
    if (n % 2 == 0) {
      const std::string unit = random_unit(rng, 1 + rng() % 6);
      for (size_t k = 1 + rng() % 8; k > 0; --k) {
        text += unit;
      }
    } else {
      text += random_unit(rng, rng() % 40);
    }
    text += '\n';
  }
  return text;
}

std::string input(std::string_view kind) {
  if (kind == "random_1m") {
    return blocks_text(random_values(1, 1, 1000000), 10);
  }
  if (kind == "random_1m.hex") {
    return blocks_text(random_values(1, 1, 1000000), 16);
  }
  if (kind == "random_1m.oct") {
    return blocks_text(random_values(1, 1, 1000000), 8);
  }
  if (kind == "descending_1m") {
    return blocks_text(descending(1000000), 10);
  }
  if (kind == "blocks_of_5") {
    return blocks_text(random_values(3, 200000, 5), 10);
  }
  if (kind == "hostile_largest_1m") {
    return blocks_text({testsupport::hostile_order(1000000, true)}, 10);
  }
  if (kind == "hostile_smallest_1m") {
    return blocks_text({testsupport::hostile_order(1000000, false)}, 10);
  }
  if (kind == "hostile_start_1m") {  // hostile for 64 levels, then shuffled
    return blocks_text({testsupport::hostile_order(1000000, false, 64, 4)}, 10);
  }
  if (kind == "queries_1m") {
    return queries();
  }
  if (kind == "long_lines") {
    return long_lines();
  }
  if (kind == "short_lines") {
    return short_lines();
  }
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  const std::string text = argc == 2 ? input(argv[1]) : std::string();
  if (text.empty()) {
    std::fputs("usage: make_input KIND > FILE (see the top of bench/cost/make_input.cpp)\n",
               stderr);
    return 1;
  }
  const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
  return written && std::fclose(stdout) == 0 ? 0 : 1;
}
