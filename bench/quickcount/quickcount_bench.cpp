// Times whole runs of quickcount beside sort_reference (one read into a buffer
// sized from the file, a minimal parser, std::sort per block) on generated
// inputs, each program run in turn in every iteration, and reports from one
// run:
//   qc_ms, ref_ms  the best time of one run of each program
//   vs_reference   qc_ms / ref_ms           (target on random_1m: <= 0.5)
//   vs_random      qc_ms / qc_ms of random_1m in the same run (target <= 2)
//   rss_kib        quickcount's peak resident memory (target < 16 MiB). The
//                  figure from wait4 also counts the benchmark's own pages at
//                  the fork; floor_kib, the same figure for /bin/true, shows
//                  that share.
// Best times rather than means, because the machine is shared. A run whose
// output differs from the count worked out when the input was generated is
// reported as an error.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "fenwick_count.hpp"
#include "hostile_orders.hpp"
#include "run_timed.hpp"

namespace {

struct Input {
  const char* name;
  std::vector<std::vector<int32_t>> (*blocks)();
};

std::vector<std::vector<int32_t>> random_1m() {
  std::mt19937 rng(1);
  std::vector<int32_t> v(1000000);
  for (auto& x : v) {
    x = static_cast<int32_t>(rng());  // the whole 32-bit range
  }
  return {v};
}

std::vector<std::vector<int32_t>> descending_1m() {
  std::vector<int32_t> v(1000000);
  for (size_t i = 0; i < v.size(); ++i) {
    v[i] = static_cast<int32_t>(v.size() - i);
  }
  return {v};
}

std::vector<std::vector<int32_t>> sixteen_values_1m() {
  std::mt19937 rng(2);
  std::vector<int32_t> values(16);
  for (auto& x : values) {
    x = static_cast<int32_t>(rng());
  }
  std::vector<int32_t> v(1000000);
  for (auto& x : v) {
    x = values[rng() % 16];
  }
  return {v};
}

std::vector<std::vector<int32_t>> blocks_of_5() {
  std::mt19937 rng(3);
  std::vector<std::vector<int32_t>> blocks(200000, std::vector<int32_t>(5));
  for (auto& block : blocks) {
    for (auto& x : block) {
      x = static_cast<int32_t>(rng());
    }
  }
  return blocks;
}

std::vector<std::vector<int32_t>> hostile_largest_1m() {
  return {testsupport::hostile_order(1000000, true)};
}

std::vector<std::vector<int32_t>> hostile_smallest_1m() {
  return {testsupport::hostile_order(1000000, false)};
}

// Hostile for the first 64 levels, then shuffled: the splits go badly long
// enough to hand nearly the whole block to the merge sort, which then meets
// random values, its slowest case.
std::vector<std::vector<int32_t>> hostile_start_1m() {
  return {testsupport::hostile_order(1000000, false, 64, 4)};
}

const Input inputs[] = {
    {"random_1m", random_1m},
    {"descending_1m", descending_1m},
    {"sixteen_values_1m", sixteen_values_1m},
    {"blocks_of_5", blocks_of_5},
    {"hostile_largest_1m", hostile_largest_1m},
    {"hostile_smallest_1m", hostile_smallest_1m},
    {"hostile_start_1m", hostile_start_1m},
};

std::string path_of(const Input& in, const char* kind) {
  return benchsupport::work_dir() + "/quickcount-" + in.name + "." + kind;
}

void append(std::string& text, int64_t v, char after) {
  char digits[24];
  text.append(digits, std::to_chars(digits, digits + sizeof digits, v).ptr);
  text += after;
}

// Writes each input and the counts quickcount should print for it.
void write_inputs() {
  for (const Input& in : inputs) {
    std::string text;
    std::string counts;
    for (const auto& block : in.blocks()) {
      append(text, static_cast<int64_t>(block.size()), '\n');
      for (int32_t v : block) {
        append(text, v, ' ');
      }
      text += '\n';
      append(counts, testsupport::fenwick_count(block), '\n');
    }
    text += "0\n";
    for (const auto& [kind, content] : {std::pair{"in", &text}, std::pair{"expected", &counts}}) {
      std::FILE* f = std::fopen(path_of(in, kind).c_str(), "wb");
      std::fwrite(content->data(), 1, content->size(), f);
      std::fclose(f);
    }
  }
}

double random_qc_seconds = 0;  // best time on random_1m, measured first

void run_input(benchmark::State& state, const Input& in) {
  const std::string input = path_of(in, "in");
  const std::string out = path_of(in, "out");
  const std::string expected = benchsupport::slurp(path_of(in, "expected"));
  double best_qc = 1e9;
  double best_ref = 1e9;
  long rss = 0;
  for (auto _ : state) {
    const auto qc = benchsupport::run_timed(QUICKCOUNT_PATH, input, out);
    if (qc.status != 0 || benchsupport::slurp(out) != expected) {
      state.SkipWithError("quickcount printed a wrong count or failed");
      return;
    }
    const auto ref = benchsupport::run_timed(REFERENCE_PATH, input, out);
    state.SetIterationTime(qc.seconds);
    best_qc = std::min(best_qc, qc.seconds);
    best_ref = std::min(best_ref, ref.seconds);
    rss = std::max(rss, qc.peak_rss_kib);
  }
  if (random_qc_seconds == 0) {
    random_qc_seconds = best_qc;
  }
  state.counters["qc_ms"] = best_qc * 1e3;
  state.counters["ref_ms"] = best_ref * 1e3;
  state.counters["vs_reference"] = best_qc / best_ref;
  state.counters["vs_random"] = best_qc / random_qc_seconds;
  state.counters["rss_kib"] = static_cast<double>(rss);
  state.counters["floor_kib"] = static_cast<double>(
      benchsupport::run_timed("/bin/true", "/dev/null", "/dev/null").peak_rss_kib);
}

}  // namespace

int main(int argc, char** argv) {
  // The inputs are made in a child process: the peak memory a child reports
  // includes the parent's pages at the fork, so the benchmark stays small.
  benchsupport::work_dir();  // made, or the run ends here, before the child
  const pid_t pid = fork();
  if (pid == 0) {
    write_inputs();
    _exit(0);
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "quickcount_bench: the inputs could not be written\n");
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  for (const Input& in : inputs) {
    benchmark::RegisterBenchmark(in.name, run_input, in)
        ->UseManualTime()
        ->Iterations(5)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
