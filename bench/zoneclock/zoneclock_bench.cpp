// Times zoneclock on 1,000,000 generated queries beside the reference that
// reads one token at a time with a formatted read, in one run.
//   cmake --preset bench && cmake --build --preset bench
//   build/bench/bench/zoneclock/zoneclock_bench
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <string>

#include "run_timed.hpp"

namespace {

const char* const zones[] = {
    "WET", "UTC", "GMT", "BST",  "IST",  "WEST", "CET",  "CEST", "EET",  "EEST", "MSK",
    "MSD", "AST", "ADT", "NST",  "NDT",  "EST",  "EDT",  "CST",  "CDT",  "MST",  "MDT",
    "PST", "PDT", "HST", "AKST", "AKDT", "AEST", "AEDT", "ACST", "ACDT", "AWST",
};
const char* const odd_zones[] = {"XYZ", "Mars", "utc", "0", "+1", "-3.5", "+10.5"};

std::string make_input() {
  const std::string path = benchsupport::work_dir() + "/zoneclock-bench.in";
  std::mt19937 rng(12345);
  std::ofstream out(path, std::ios::binary);
  constexpr int queries = 1000000;
  out << queries << '\n';
  auto zone = [&rng]() -> const char* {
    if (rng() % 50 == 0) {
      return odd_zones[rng() % std::size(odd_zones)];
    }
    return zones[rng() % std::size(zones)];
  };
  for (int q = 0; q < queries; ++q) {
    switch (rng() % 20) {
      case 0:
        out << "noon";
        break;
      case 1:
        out << "midnight";
        break;
      default:
        out << 1 + rng() % 12 << ':' << (rng() % 6) << (rng() % 10)
            << (rng() % 2 != 0 ? " p.m." : " a.m.");
    }
    const char* from = zone();
    out << ' ' << from << ' ' << zone() << '\n';
  }
  return path;
}

const std::string& input() {
  static const std::string path = make_input();
  return path;
}

// Output goes to /dev/null here, so that the file system's work is not timed;
// compare_outputs checks what the two programs print.
void run(benchmark::State& state, const char* exe) {
  for (auto _ : state) {
    const auto t = benchsupport::run_timed(exe, input(), "/dev/null");
    if (t.status != 0) {
      state.SkipWithError("program failed");
    }
    state.SetIterationTime(t.seconds);
    state.counters["peak_rss_kib"] = static_cast<double>(t.peak_rss_kib);
  }
}

void compare_outputs(benchmark::State& state) {
  const std::string a = benchsupport::work_dir() + "/zoneclock-cmp.a";
  const std::string b = benchsupport::work_dir() + "/zoneclock-cmp.b";
  for (auto _ : state) {
    benchsupport::run_timed(PROGRAM_PATH, input(), a);
    benchsupport::run_timed(REFERENCE_PATH, input(), b);
    if (benchsupport::slurp(a) != benchsupport::slurp(b)) {
      state.SkipWithError("zoneclock and the reference differ");
    }
  }
}

}  // namespace

BENCHMARK(compare_outputs)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run, zoneclock, PROGRAM_PATH)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run, reference, REFERENCE_PATH)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
