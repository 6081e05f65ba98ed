// Every program run with each of its reads of stdin, writes to stdout and its
// close of stdout made to fail in turn, once or from then on, by a library
// preloaded into it (fault_preload.cpp), with its input in a pipe that stays
// open. Each run must end at once with status 1, nothing on stderr, and on
// stdout a prefix of the answers of a run without a fault, ending at a line
// end; after the failed call it may only close stdout. Input that ends early
// must never be read again once a read has returned its end.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "emulator.hpp"
#include "run_program.hpp"

namespace {

using testsupport::repeated;
using namespace std::chrono_literals;

// A program and the inputs it is run on: a small one that goes through its
// cases and ends with the program's own stop, and a big one whose answers to
// one read's worth of input (64 KiB) fill the 64 KiB output buffer, so that
// writes come in the middle of it.
struct Program {
  std::string name;
  const char* path;
  std::string small, small_answers;
  std::string big, big_answers;
  std::string_view separators;  // a cut next to one of these leaves every token whole
};

std::vector<Program> programs() {
  return {
      {"zoneclock", ZONECLOCK_PATH, "3\nnoon UTC PST\n7:30 p.m. XYZ CET\n11:59 a.m. NST AWST\n",
       "4:00 a.m.\noops:  <<<XYZ>>>\n4:30 a.m.\n11:29 p.m.\n",
       "20000\n" + repeated("noon a b\n", 20000),
       repeated("oops:  <<<a>>>\noops:  b\nnoon\n", 20000), " \n"},
      {"quickcount", QUICKCOUNT_PATH, "3 57 5 4\n2 7 57\n0\n", "3\n0\n",
       repeated("-1", 100000) + " 0\n", repeated("0\n", 100000), " \n"},
      {"mergecount", MERGECOUNT_PATH, "3 0x57 5 4\n2 7 0x57\n0\n", "3\n0\n",
       repeated("-1", 100000) + " 0\n", repeated("0\n", 100000), " \n"},
      {"strpower", STRPOWER_PATH, "abab\naaa\n\nxyz\n.\n", "2\n3\n0\n1\n",
       repeated("\n", 100000) + ".\n", repeated("0\n", 100000), "\n"},
  };
}

// Names the program in a failure's message.
void PrintTo(const Program& p, std::ostream* os) {
  *os << p.name;
}

// What fault_preload does in a run: the kind of call that fails ("" for
// none), from its at-th call, once or always; and the cap on each read.
struct Fault {
  std::string call;
  int64_t at = 0;
  bool always = false;
  size_t read_max = 0;  // 0: no cap
};

struct FaultedRun {
  std::string out, err;
  std::string log;  // fault_preload's letter for each call
  int status = -1;  // exit status, or 128 + the signal that ended it
  bool hung = false;
};

// A run takes a few milliseconds, under 100 even with the sanitizers or
// coverage: the limit only turns a hang into a failure.
const auto limit = testsupport::emulated() ? 10s : 1s;

// run: starts the program at path with fault_preload set for fault, stdin a
// pipe already holding all of input and kept open unless end_input, stdout a
// file, stderr a pipe. Waits until it ends (stderr reaches its end), killing
// it once the limit has passed. Returns what it wrote, its log and how it
// ended. Leaves no file or descriptor behind.
FaultedRun run(const char* path, std::string_view input, const Fault& fault,
               bool end_input = false) {
  FaultedRun r;
  const std::string out_path = testsupport::temp_path("out");
  const std::string log_path = testsupport::temp_path("log");
  int in[2] = {-1, -1};
  int err[2] = {-1, -1};
  // All of the input fits in the pipe at once, so each read takes what the
  // cap lets it, and the counts of calls are the same in every run.
  const bool ready = pipe2(in, O_CLOEXEC) == 0 && pipe2(err, O_CLOEXEC) == 0 &&
                     fcntl(in[1], F_SETPIPE_SZ, std::max<size_t>(input.size(), 4096)) >=
                         static_cast<int>(input.size()) &&
                     write(in[1], input.data(), input.size()) == static_cast<ssize_t>(input.size());
  if (ready && end_input) {
    close(in[1]);
    in[1] = -1;
  }
  const pid_t pid = ready ? fork() : -1;
  if (pid == 0) {
    const int out_fd = open(out_path.c_str(), O_WRONLY | O_TRUNC);
    if (out_fd < 0 || dup2(in[0], 0) < 0 || dup2(out_fd, 1) < 0 || dup2(err[1], 2) < 0) {
      _exit(126);
    }
    // Under qemu-user a plain LD_PRELOAD would be seen by the emulator too.
    setenv(testsupport::emulated() ? "QEMU_SET_ENV" : "LD_PRELOAD",
           testsupport::emulated() ? "LD_PRELOAD=" FAULT_PRELOAD_PATH : FAULT_PRELOAD_PATH, 1);
    // GCC's AddressSanitizer runtime refuses to come after another library.
    const char* asan = std::getenv("ASAN_OPTIONS");
    const std::string options = asan != nullptr ? std::string(asan) + ":" : std::string();
    setenv("ASAN_OPTIONS", (options + "verify_asan_link_order=0").c_str(), 1);
    setenv("FAULT_CALL", fault.call.c_str(), 1);
    setenv("FAULT_AT", std::to_string(fault.at).c_str(), 1);
    setenv("FAULT_MODE", fault.always ? "always" : "once", 1);
    setenv("FAULT_READ_MAX", std::to_string(fault.read_max).c_str(), 1);
    setenv("FAULT_LOG", log_path.c_str(), 1);
    testsupport::exec_program(path);
    _exit(127);
  }
  for (const int fd : {in[0], err[1]}) {
    if (fd >= 0) {
      close(fd);
    }
  }
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (char buf[4096]; pid > 0;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd readable{err[0], POLLIN, 0};
    const int polled = left.count() > 0 ? poll(&readable, 1, static_cast<int>(left.count())) : 0;
    if (polled < 0 && errno == EINTR) {
      continue;
    }
    if (polled == 0) {
      r.hung = true;
      kill(pid, SIGKILL);
      break;
    }
    const ssize_t n = read(err[0], buf, sizeof buf);
    if (n > 0) {
      r.err.append(buf, static_cast<size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      break;
    }
  }
  int wstatus = 0;
  if (pid > 0 && waitpid(pid, &wstatus, 0) == pid) {
    r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  }
  for (const int fd : {in[1], err[0]}) {
    if (fd >= 0) {
      close(fd);
    }
  }
  r.out = testsupport::slurp(out_path);
  r.log = testsupport::slurp(log_path);
  std::remove(out_path.c_str());
  std::remove(log_path.c_str());
  if (!ready) {
    r.err = "the input does not fit in a pipe";
  }
  return r;
}

// log_breaks: true when the log has a read or write after a call made to
// fail (the close of stdout may follow), or a read after one that returned 0.
bool log_breaks(std::string_view log) {
  const size_t failed = log.find_first_of("RWC");
  if (failed != std::string_view::npos && log.find_first_not_of("cC", failed + 1) != log.npos) {
    return true;
  }
  const size_t ended = log.find('e');
  return ended != log.npos && log.find_first_of("reR", ended + 1) != log.npos;
}

// problems: accepts a run, the answers of the same run without a fault, the
// statuses it may end with and whether its output must be a prefix of them.
// Returns the rules it broke, a word each, or "" when it kept them all.
std::string problems(const FaultedRun& r, std::string_view answers, std::string_view statuses,
                     bool prefix) {
  std::string broke;
  if (r.hung) {
    broke += " hung";
  } else if (statuses.find(static_cast<char>('0' + std::min(r.status, 9))) == statuses.npos) {
    broke += " status-" + std::to_string(r.status);
  }
  if (!r.err.empty()) {
    broke += " stderr";
  }
  if (prefix && (!answers.starts_with(r.out) || (!r.out.empty() && r.out.back() != '\n'))) {
    broke += " output";
  }
  if (log_breaks(r.log)) {
    broke += " log";
  }
  return broke;
}

// The tail of text, at most 40 bytes, line feeds shown as \n.
std::string tail(std::string_view text) {
  std::string shown;
  for (const char c : text.substr(text.size() - std::min<size_t>(text.size(), 40))) {
    shown += c == '\n' ? std::string("\\n") : std::string(1, c);
  }
  return shown;
}

// Failed runs, grouped by their row and the rules they broke: the k of each,
// and the first one's output and log.
struct Failures {
  std::map<std::string, std::pair<std::string, std::string>> groups;
  void add(const std::string& row, int64_t k, const std::string& broke, const FaultedRun& r) {
    auto [at, added] = groups.try_emplace(row + ":" + broke);
    if (added) {
      at->second.second = " (first: out \"" + tail(r.out) + "\", log \"" + tail(r.log) + "\")";
    }
    at->second.first += " " + std::to_string(k);
  }
  std::string summary() const {
    std::string all;
    for (const auto& [what, ks] : groups) {
      all += what + " at k =" + ks.first + ks.second + "\n";
    }
    return all;
  }
};

class Faults : public testing::TestWithParam<Program> {};

TEST_P(Faults, EveryFailedCallEndsTheRunAtOnce) {
  const Program& p = GetParam();
  struct Row {
    const char* input_name;
    const std::string& input;
    const std::string& answers;
    std::vector<size_t> read_caps;
  };
  const Row rows[] = {{"small", p.small, p.small_answers, {1, 3, 0}},
                      {"big", p.big, p.big_answers, {0}}};
  Failures failures;
  std::map<std::string, int64_t> runs;
  for (const Row& row : rows) {
    for (const size_t cap : row.read_caps) {
      const FaultedRun clean = run(p.path, row.input, {"", 0, false, cap});
      const std::string how = std::string(row.input_name) + ", reads of " +
                              (cap > 0 ? std::to_string(cap) : std::string("any size"));
      ASSERT_EQ(clean.out, row.answers) << how;
      ASSERT_EQ(problems(clean, row.answers, "0", true), "") << how;
      ASSERT_EQ(clean.log.find('c'), clean.log.size() - 1) << how << ": stdout closed last, once";
      const int64_t calls[] = {std::count(clean.log.begin(), clean.log.end(), 'r') +
                                   std::count(clean.log.begin(), clean.log.end(), 'e'),
                               std::count(clean.log.begin(), clean.log.end(), 'w'), 1};
      const char* kinds[] = {"read", "write", "close"};
      for (size_t kind = 0; kind < 3; ++kind) {
        for (const bool always : {false, true}) {
          for (int64_t k = 1; k <= calls[kind]; ++k) {
            const FaultedRun r = run(p.path, row.input, {kinds[kind], k, always, cap});
            ++runs[kinds[kind]];
            const std::string broke = problems(r, row.answers, "1", true);
            if (!broke.empty()) {
              failures.add(how + ", " + kinds[kind] + (always ? " always" : " once"), k,
                           broke + (r.hung ? " (later k not run)" : ""), r);
            }
            if (r.hung) {
              break;  // each hang takes the whole limit
            }
          }
        }
      }
    }
  }
  std::printf("%s: %lld reads, %lld writes, %lld closes made to fail\n", p.name.c_str(),
              static_cast<long long>(runs["read"]), static_cast<long long>(runs["write"]),
              static_cast<long long>(runs["close"]));
  EXPECT_EQ(failures.summary(), "");
}

// The input ends after each of its prefixes, with no fault: once a read has
// returned the end, none follows. A prefix cut next to a separator holds
// only whole tokens (lines for strpower), so the output must be a prefix of
// the whole input's answers.
TEST_P(Faults, InputEndingEarlyIsNotReadPastItsEnd) {
  const Program& p = GetParam();
  Failures failures;
  for (const size_t cap : {1, 0}) {
    for (size_t cut = 0; cut < p.small.size(); ++cut) {
      const FaultedRun r =
          run(p.path, std::string_view(p.small).substr(0, cut), {"", 0, false, cap}, true);
      const bool whole = cut == 0 || p.separators.find(p.small[cut - 1]) != p.separators.npos ||
                         p.separators.find(p.small[cut]) != p.separators.npos;
      const std::string broke = problems(r, p.small_answers, "01", whole);
      if (!broke.empty()) {
        failures.add("reads of " + std::to_string(cap) + ", input ending after k bytes",
                     static_cast<int64_t>(cut), broke, r);
      }
    }
  }
  EXPECT_EQ(failures.summary(), "");
}

INSTANTIATE_TEST_SUITE_P(Programs, Faults, testing::ValuesIn(programs()),
                         [](const testing::TestParamInfo<Program>& info) {
                           return info.param.name;
                         });

}  // namespace
