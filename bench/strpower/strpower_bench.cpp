// Times whole runs of strpower on two generated inputs, beside the I/O floor
// and the prefix-function reference, and reports the ratios of one run:
//   vs_reference  strpower time / reference time   (target <= 0.4)
//   vs_io_floor   strpower time / I/O floor time   (target <= 3 on long lines)
//   rss_kib       strpower's peak resident memory, beside rss_limit_kib, the
//                 longest line plus 8 MiB (an upper bound: the figure from
//                 wait4 also counts the benchmark's own pages at the fork)
//   *_ms          the mean time of one run of each program
// A run whose output differs from the reference's is reported as an error.
#include <benchmark/benchmark.h>

#include <fstream>
#include <random>
#include <string>

#include "run_timed.hpp"

namespace {

struct Input {
  std::string path;
  size_t longest_line = 0;
};

std::string random_unit(std::mt19937& rng, size_t length) {
  std::string unit(length, 'a');
  for (char& c : unit) {
    c = static_cast<char>('a' + rng() % 4);
  }
  return unit;
}

// 20 lines of 2,000,000 characters: units of several lengths repeated, some
// lines with no shorter period, some with one character changed near the
// end, and one line of prime length 1,999,993.
Input long_lines() {
  Input in{benchsupport::work_dir() + "/strpower-long.txt", 2000000};
  std::mt19937 rng(1);
  std::ofstream out(in.path, std::ios::binary);
  const size_t units[] = {1, 2, 5, 16, 125, 1000, 3200, 40000, 250000, 1000000};
  for (size_t n = 0; n < 20; ++n) {
    std::string line;
    if (n == 19) {
      line = std::string(1999993, 'p');
    } else if (n >= 17) {
      line = random_unit(rng, 2000000);  // no shorter period
    } else {
      const std::string unit = random_unit(rng, units[n % std::size(units)]);
      while (line.size() < 2000000) {
        line += unit;
      }
      if (n % 2 == 1) {
        line[2000000 - 1 - n] ^= 1;  // one change near the end
      }
    }
    out << line << '\n';
  }
  return in;
}

// 200,000 random short lines, half of them a short unit repeated.
Input short_lines() {
  Input in{benchsupport::work_dir() + "/strpower-short.txt", 0};
  std::mt19937 rng(2);
  std::ofstream out(in.path, std::ios::binary);
  for (int n = 0; n < 200000; ++n) {
    std::string line;
    if (n % 2 == 0) {
      const std::string unit = random_unit(rng, 1 + rng() % 6);
      for (size_t k = 1 + rng() % 8; k > 0; --k) {
        line += unit;
      }
    } else {
      line = random_unit(rng, rng() % 40);
    }
    in.longest_line = std::max(in.longest_line, line.size());
    out << line << '\n';
  }
  return in;
}

void run_beside_yardsticks(benchmark::State& state, const Input& in) {
  const std::string out_path = in.path + ".out";
  const std::string ref_out_path = in.path + ".ref.out";
  double own = 0;
  double floor = 0;
  double ref = 0;
  long rss = 0;
  // One untimed round first, so that every program meets a warm page cache.
  benchsupport::run_timed(IO_FLOOR_PATH, in.path, out_path);
  benchsupport::run_timed(REFERENCE_PATH, in.path, ref_out_path);
  benchsupport::run_timed(STRPOWER_PATH, in.path, out_path);
  for (auto _ : state) {
    const auto t_floor = benchsupport::run_timed(IO_FLOOR_PATH, in.path, out_path);
    const auto t_ref = benchsupport::run_timed(REFERENCE_PATH, in.path, ref_out_path);
    const auto t_own = benchsupport::run_timed(STRPOWER_PATH, in.path, out_path);
    if (t_own.status != 0 || t_ref.status != 0 || t_floor.status != 0) {
      state.SkipWithError("a program failed");
      return;
    }
    state.SetIterationTime(t_own.seconds);
    own += t_own.seconds;
    floor += t_floor.seconds;
    ref += t_ref.seconds;
    rss = std::max(rss, t_own.peak_rss_kib);
  }
  if (benchsupport::slurp(out_path) != benchsupport::slurp(ref_out_path)) {
    state.SkipWithError("strpower and the reference disagree");
    return;
  }
  state.counters["vs_reference"] = own / ref;
  state.counters["vs_io_floor"] = own / floor;
  const double runs = static_cast<double>(state.iterations());
  state.counters["strpower_ms"] = own * 1000 / runs;
  state.counters["io_floor_ms"] = floor * 1000 / runs;
  state.counters["reference_ms"] = ref * 1000 / runs;
  state.counters["rss_kib"] = static_cast<double>(rss);
  state.counters["rss_limit_kib"] = static_cast<double>(in.longest_line / 1024 + 8192);
}

void BM_LongLines(benchmark::State& state) {
  static const Input in = long_lines();
  run_beside_yardsticks(state, in);
}

void BM_ShortLines(benchmark::State& state) {
  static const Input in = short_lines();
  run_beside_yardsticks(state, in);
}

BENCHMARK(BM_LongLines)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShortLines)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
