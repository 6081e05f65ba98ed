// Times whole program runs for the benchmarks: a program reads a generated
// input file on stdin and writes to a file, and the wall time and peak
// resident memory of the child are measured.
#pragma once

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace benchsupport {

struct Timing {
  double seconds = 0;     // wall time of the run
  long peak_rss_kib = 0;  // peak resident memory of the child, in KiB
  int status = -1;        // exit status, or 128 + signal number
};

// run_timed: runs exe with stdin from in_path and stdout into out_path.
// Returns the measured Timing; leaves out_path holding the output.
inline Timing run_timed(const std::string& exe, const std::string& in_path,
                        const std::string& out_path) {
  Timing t;
  auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    int in_fd = open(in_path.c_str(), O_RDONLY);
    int out_fd = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in_fd < 0 || out_fd < 0 || dup2(in_fd, 0) < 0 || dup2(out_fd, 1) < 0) {
      _exit(126);
    }
    execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int wstatus = 0;
  rusage usage{};
  if (pid > 0 && wait4(pid, &wstatus, 0, &usage) == pid) {
    t.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    t.peak_rss_kib = usage.ru_maxrss;
  }
  t.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return t;
}

inline std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Folder for generated inputs: $BENCH_DIR, or /tmp.
inline std::string work_dir() {
  const char* dir = std::getenv("BENCH_DIR");
  return dir != nullptr ? dir : "/tmp";
}

}  // namespace benchsupport
