// Runs a program's read-compute-print loop in this process on real
// descriptors, as its main runs it on 0 and 1, under the outcomes of read(2),
// poll(2) and write(2) that a user's run can meet: reads that return a piece
// at a time, input and output in non-blocking mode, writes that take part of
// what they are given, and a signal that interrupts whatever call waits.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "emulator.hpp"

namespace testsupport {

// Where the loop's output goes.
enum class Sink {
  file,              // a file in memory: every write takes all it is given
  slow_pipe,         // a pipe that holds 4 KiB, read 512 bytes at a time with
                     // pauses: writes wait for room, and may take part
  nonblocking_pipe,  // the same pipe in non-blocking mode: a write that finds it
                     // full fails with EAGAIN, one that finds some room takes part
};

struct LoopRun {
  // The sizes of the reads the input arrives in, in turn, starting again
  // from the first after the last. A piece goes into a pipe only once the one
  // before has been read, so no read returns more than one piece. Empty: the
  // input is a file, and every read takes as much as the loop asks for.
  std::vector<size_t> pieces;
  // The input pipe in non-blocking mode, so that a read that finds nothing
  // fails with EAGAIN (a pipe even without pieces: the input goes in whole).
  bool nonblocking_input = false;
  Sink sink = Sink::file;
  // A timer's signal, caught by a handler installed without SA_RESTART,
  // arrives every 200 µs while the loop runs, so that a read, poll or write
  // it catches waiting fails with EINTR or takes part. Pieces then come with
  // a pause longer than that between them, so the loop waits for each.
  bool interrupted = false;
};

struct LoopOutcome {
  std::string out;  // every byte the loop wrote, in order
  int status = -1;  // what the loop returned
  int signals = 0;  // timer signals caught while the loop ran
};

namespace detail {

inline std::atomic<int> timer_signals{0};
static_assert(std::atomic<int>::is_always_lock_free, "counted in a signal handler");

extern "C" inline void count_timer_signal(int /*signal*/) {
  timer_signals.fetch_add(1, std::memory_order_relaxed);
}

inline constexpr useconds_t timer_interval_us = 200;

// Writes all of bytes to fd, across interruptions and partial writes. False
// once the reader has gone.
inline bool put_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno != EINTR) {
      return false;
    }
    bytes.remove_prefix(n > 0 ? static_cast<size_t>(n) : 0);
  }
  return true;
}

// Writes input into the pipe fd a piece at a time, each once the one before
// has been read, then closes it. Stops early, once done is set, when the
// loop has stopped reading.
inline void feed(int fd, std::string_view input, std::vector<size_t> pieces, useconds_t pause,
                 const std::atomic<bool>& done) {
  for (size_t k = 0; !input.empty() && !done; ++k) {
    const size_t n = std::min(std::max<size_t>(pieces[k % pieces.size()], 1), input.size());
    if (!put_all(fd, input.substr(0, n))) {
      break;
    }
    input.remove_prefix(n);
    int unread = 0;
    while (!done && ioctl(fd, FIONREAD, &unread) == 0 && unread > 0) {
      std::this_thread::yield();
    }
    if (pause > 0) {
      usleep(pause);
    }
  }
  close(fd);
}

// Reads the pipe fd to its end, 512 bytes at a time with a pause after each,
// into got.
inline void drain_slowly(int fd, std::string& got) {
  char buf[512];
  for (;;) {
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n > 0) {
      got.append(buf, static_cast<size_t>(n));
      usleep(50);
    } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
      return;
    }
  }
}

// A file in memory holding text, positioned at its start; -1 on failure.
inline int memory_file(std::string_view text) {
  const int fd = memfd_create("loop_run", 0);
  if (fd >= 0 && (!put_all(fd, text) || lseek(fd, 0, SEEK_SET) != 0)) {
    close(fd);
    return -1;
  }
  return fd;
}

// Everything written to the file fd, which it closes.
inline std::string take_file(int fd) {
  std::string got;
  char buf[4096];
  ssize_t n = 0;
  lseek(fd, 0, SEEK_SET);
  while ((n = read(fd, buf, sizeof buf)) > 0) {
    got.append(buf, static_cast<size_t>(n));
  }
  close(fd);
  return got;
}

}  // namespace detail

// without_timer_signals: why this build cannot interrupt a loop with the
// timer's signal, or nullptr when it can. qemu-i386 (7.2) mishandles a signal
// that lands in a process of several threads: calls then report the wrong
// errno, and joining a thread fails. Tests of interrupted calls skip
// themselves with this reason; the same code runs them on every other target.
inline const char* without_timer_signals() {
#if defined(__i386__)
  if (emulated()) {
    return "qemu-i386 mishandles signals in a process of several threads";
  }
#endif
  return nullptr;
}

// run_loop: accepts a loop function int(int input_fd, int output_fd), its
// input and how the input arrives and the output leaves. Runs the loop once,
// in this thread, with helper threads feeding its input and taking its
// output. Returns all it wrote, the status it returned (-1 when the
// descriptors could not be made) and the timer signals it caught. Leaves no
// descriptor or timer behind; SIGPIPE is ignored from then on, and the timer
// signal's handler stays.
template <typename Loop>
LoopOutcome run_loop(Loop loop, std::string_view input, const LoopRun& how = {}) {
  LoopOutcome result;
  signal(SIGPIPE, SIG_IGN);  // the feeder may write after the loop has stopped reading

  const bool piped_input = !how.pieces.empty() || how.nonblocking_input;
  int in_fd = -1;
  int feed_fd = -1;
  if (piped_input) {
    int ends[2];
    if (pipe(ends) != 0) {
      return result;
    }
    in_fd = ends[0];
    feed_fd = ends[1];
    if (how.nonblocking_input) {
      fcntl(in_fd, F_SETFL, O_NONBLOCK);
    }
  } else if ((in_fd = detail::memory_file(input)) < 0) {
    return result;
  }

  int out_fd = -1;
  int drain_fd = -1;
  if (how.sink == Sink::file) {
    out_fd = detail::memory_file("");
  } else {
    int ends[2];
    if (pipe(ends) == 0) {
      drain_fd = ends[0];
      out_fd = ends[1];
      fcntl(out_fd, F_SETPIPE_SZ, 4096);
      if (how.sink == Sink::nonblocking_pipe) {
        fcntl(out_fd, F_SETFL, O_NONBLOCK);
      }
    }
  }
  if (out_fd < 0) {
    close(in_fd);
    if (feed_fd >= 0) {
      close(feed_fd);
    }
    return result;
  }

  // The helper threads never take the timer's signal: they start with it
  // blocked, so that every signal lands in the loop's thread.
  sigset_t alarm_only;
  sigset_t before;
  sigemptyset(&alarm_only);
  sigaddset(&alarm_only, SIGALRM);
  pthread_sigmask(SIG_BLOCK, &alarm_only, &before);
  std::atomic<bool> done{false};
  std::thread feeder;
  std::thread drainer;
  if (piped_input) {
    const std::vector<size_t> pieces =
        how.pieces.empty() ? std::vector<size_t>{input.size()} : how.pieces;
    const useconds_t pause = how.interrupted ? 2 * detail::timer_interval_us : 0;
    feeder = std::thread(detail::feed, feed_fd, input, pieces, pause, std::cref(done));
  }
  if (drain_fd >= 0) {
    drainer = std::thread(detail::drain_slowly, drain_fd, std::ref(result.out));
  }
  pthread_sigmask(SIG_SETMASK, &before, nullptr);

  const itimerval every{{0, detail::timer_interval_us}, {0, detail::timer_interval_us}};
  const itimerval off{};
  if (how.interrupted) {
    struct sigaction action {};
    action.sa_handler = detail::count_timer_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a waiting call fails with EINTR
    sigaction(SIGALRM, &action, nullptr);
    detail::timer_signals = 0;
    setitimer(ITIMER_REAL, &every, nullptr);
  }
  result.status = loop(in_fd, out_fd);
  if (how.interrupted) {
    setitimer(ITIMER_REAL, &off, nullptr);
    result.signals = detail::timer_signals;
  }

  done = true;
  close(in_fd);
  if (feeder.joinable()) {
    feeder.join();
  }
  if (drain_fd >= 0) {
    close(out_fd);
    drainer.join();
    close(drain_fd);
  } else {
    result.out = detail::take_file(out_fd);
  }
  return result;
}

// The ways of running a loop that its tests hold to the same answers: a file
// read in whole chunks, one byte a read, pieces cut anywhere, writes
// interrupted while they wait, EAGAIN and short writes on the output, and on
// both sides, without and then with signals.
inline const std::vector<LoopRun> every_way = {
    {},
    {{1}},
    {{3, 1, 70000, 5}},
    {{}, false, Sink::slow_pipe, true},
    {{}, false, Sink::nonblocking_pipe, false},
    {{4096}, true, Sink::nonblocking_pipe, false},
    {{2, 9000}, true, Sink::nonblocking_pipe, true},
};

// runs_differing: accepts a loop function, its input, the output and status
// it must give, and the ways to run it. Runs it each way, but for the
// interrupted ones where without_timer_signals() says they cannot be.
// Returns a line for each run whose status or output differs, or nothing
// when none does.
template <typename Loop>
std::string runs_differing(Loop loop, std::string_view input, std::string_view want, int status,
                           const std::vector<LoopRun>& ways = every_way) {
  std::string differing;
  for (size_t k = 0; k < ways.size(); ++k) {
    if (ways[k].interrupted && without_timer_signals() != nullptr) {
      continue;
    }
    const LoopOutcome run = run_loop(loop, input, ways[k]);
    if (run.status != status || run.out != want) {
      const size_t same = static_cast<size_t>(
          std::mismatch(run.out.begin(), run.out.end(), want.begin(), want.end()).first -
          run.out.begin());
      differing += "way " + std::to_string(k) + ": status " + std::to_string(run.status) + ", " +
                   std::to_string(run.out.size()) + " bytes out of " + std::to_string(want.size()) +
                   ", the first " + std::to_string(same) + " right, " +
                   std::to_string(run.signals) + " signals\n";
    }
  }
  return differing;
}

}  // namespace testsupport
