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
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

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

// work_dir: the folder for generated inputs, $BENCH_DIR or /tmp. Makes the
// folder when it does not exist yet; when it cannot be made or written to,
// says so on stderr and ends the benchmark with status 1.
inline const std::string& work_dir() {
  static const std::string dir = [] {
    const char* named = std::getenv("BENCH_DIR");
    std::string path = named != nullptr && *named != '\0' ? named : "/tmp";
    std::error_code error;
    std::filesystem::create_directories(path, error);
    if (error || access(path.c_str(), W_OK) != 0) {
      std::fprintf(stderr, "benchmark: cannot make or write to the folder %s (BENCH_DIR)\n",
                   path.c_str());
      std::exit(1);
    }
    return path;
  }();
  return dir;
}

}  // namespace benchsupport
