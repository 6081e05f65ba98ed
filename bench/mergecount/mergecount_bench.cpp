// Times whole runs of mergecount beside sort_reference (one read into a buffer
// sized from the file, a minimal decimal parser, std::sort per block) on
// generated inputs, each written in decimal, hexadecimal and octal, every
// program run in turn in every iteration, and reports from one run:
//   mc_ms, ref_ms  the best time of one run of each program; the reference
//                  reads decimal only, so it runs on the decimal inputs
//   vs_reference   mc_ms / ref_ms          (target on random_1m/dec: <= 0.4)
//   vs_random      mc_ms / mc_ms of random_1m/dec, this run (target: <= 2)
//   vs_decimal     mc_ms / mc_ms of the same values in decimal, this run
//   rss_kib        mergecount's peak resident memory (target < 16 MiB); the
//                  figure from wait4 also counts the benchmark's own pages
//                  at the fork, and floor_kib, the same figure for
//                  /bin/true, shows that share
// Best times rather than means, because the machine is shared. A run whose
// output differs from the counts worked out when the input was written is
// reported as an error.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "run_timed.hpp"

namespace {

using Blocks = std::vector<std::vector<int32_t>>;

Blocks random_1m() {
  std::mt19937 rng(1);
  std::vector<int32_t> v(1000000);
  for (auto& x : v) {
    x = static_cast<int32_t>(rng());  // the whole 32-bit range
  }
  return {v};
}

Blocks descending_1m() {
  std::vector<int32_t> v(1000000);
  for (size_t i = 0; i < v.size(); ++i) {
    v[i] = static_cast<int32_t>(v.size() - i);
  }
  return {v};
}

Blocks sixteen_values_1m() {
  std::mt19937 rng(2);
  std::vector<int32_t> values(16);
  for (auto& x : values) {
    x = static_cast<int32_t>(rng());
  }
  std::vector<int32_t> v(1000000);
  for (auto& x : v) {
    x = values[rng() % values.size()];
  }
  return {v};
}

Blocks blocks_of_5() {
  std::mt19937 rng(3);
  Blocks blocks(200000, std::vector<int32_t>(5));
  for (auto& block : blocks) {
    for (auto& x : block) {
      x = static_cast<int32_t>(rng());
    }
  }
  return blocks;
}

struct Input {
  const char* name;
  Blocks (*blocks)();
};

const Input inputs[] = {
    {"random_1m", random_1m},
    {"descending_1m", descending_1m},
    {"sixteen_values_1m", sixteen_values_1m},
    {"blocks_of_5", blocks_of_5},
};

struct Base {
  const char* name;
  int radix;
  const char* prefix;
};

const Base bases[] = {{"dec", 10, ""}, {"hex", 16, "0x"}, {"oct", 8, "0"}};

// Inversions counted with a Fenwick tree over the values' ranks, independent
// of the merge sort under test.
int64_t fenwick_count(const std::vector<int32_t>& v) {
  std::vector<int32_t> sorted = v;
  std::sort(sorted.begin(), sorted.end());
  std::vector<int64_t> tree(v.size() + 1);
  int64_t count = 0;
  for (size_t seen = 0; seen < v.size(); ++seen) {
    const auto rank = static_cast<size_t>(std::upper_bound(sorted.begin(), sorted.end(), v[seen]) -
                                          sorted.begin());
    int64_t not_greater = 0;
    for (size_t i = rank; i > 0; i -= i & (~i + 1)) {
      not_greater += tree[i];
    }
    count += static_cast<int64_t>(seen) - not_greater;
    for (size_t i = rank; i < tree.size(); i += i & (~i + 1)) {
      ++tree[i];
    }
  }
  return count;
}

void append(std::string& text, int64_t v, const Base& base) {
  const uint64_t magnitude =
      v < 0 ? uint64_t{0} - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
  if (v < 0) {
    text += '-';
  }
  if (magnitude != 0) {
    text += base.prefix;
  }
  char digits[24];
  text.append(digits, std::to_chars(digits, digits + sizeof digits, magnitude, base.radix).ptr);
}

std::string path_of(const Input& in, const std::string& kind) {
  return benchsupport::work_dir() + "/mergecount-" + in.name + "." + kind;
}

void write_file(const std::string& path, const std::string& content) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(content.data(), 1, content.size(), f);
  std::fclose(f);
}

// Writes each input in every base and the counts mergecount should print.
void write_inputs() {
  for (const Input& in : inputs) {
    const Blocks blocks = in.blocks();
    std::string counts;
    for (const auto& block : blocks) {
      counts += std::to_string(fenwick_count(block)) + "\n";
    }
    write_file(path_of(in, "expected"), counts);
    for (const Base& base : bases) {
      std::string text;
      for (const auto& block : blocks) {
        append(text, static_cast<int64_t>(block.size()), base);
        text += '\n';
        for (int32_t v : block) {
          append(text, v, base);
          text += ' ';
        }
        text += '\n';
      }
      text += "0\n";
      write_file(path_of(in, base.name), text);
    }
  }
}

std::map<std::string, double> decimal_seconds;  // best mergecount time per input, decimal

void run_input(benchmark::State& state, const Input& in, const Base& base) {
  const std::string input = path_of(in, base.name);
  const std::string out = path_of(in, std::string("out.") + base.name);
  const std::string expected = benchsupport::slurp(path_of(in, "expected"));
  const bool decimal = base.radix == 10;
  double best_mc = 1e9;
  double best_ref = 1e9;
  long rss = 0;
  for (auto _ : state) {
    const auto mc = benchsupport::run_timed(MERGECOUNT_PATH, input, out);
    if (mc.status != 0 || benchsupport::slurp(out) != expected) {
      state.SkipWithError("mergecount printed a wrong count or failed");
      return;
    }
    state.SetIterationTime(mc.seconds);
    best_mc = std::min(best_mc, mc.seconds);
    rss = std::max(rss, mc.peak_rss_kib);
    if (decimal) {
      best_ref = std::min(best_ref, benchsupport::run_timed(REFERENCE_PATH, input, out).seconds);
    }
  }
  if (decimal) {
    decimal_seconds[in.name] = best_mc;
    state.counters["ref_ms"] = best_ref * 1e3;
    state.counters["vs_reference"] = best_mc / best_ref;
    if (decimal_seconds.count("random_1m") != 0) {
      state.counters["vs_random"] = best_mc / decimal_seconds["random_1m"];
    }
  } else if (decimal_seconds.count(in.name) != 0) {
    state.counters["vs_decimal"] = best_mc / decimal_seconds[in.name];
  }
  state.counters["mc_ms"] = best_mc * 1e3;
  state.counters["rss_kib"] = static_cast<double>(rss);
  state.counters["floor_kib"] =
      static_cast<double>(benchsupport::run_timed("/bin/true", input, out).peak_rss_kib);
}

}  // namespace

int main(int argc, char** argv) {
  write_inputs();
  malloc_trim(0);  // hand the inputs' memory back, so that the children start small
  for (const Input& in : inputs) {
    for (const Base& base : bases) {
      benchmark::RegisterBenchmark(
          (std::string(in.name) + "/" + base.name).c_str(),
          [&in, &base](benchmark::State& state) { run_input(state, in, base); })
          ->UseManualTime()
          ->Iterations(7)
          ->Unit(benchmark::kMillisecond);
    }
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
