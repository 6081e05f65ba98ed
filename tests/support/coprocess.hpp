// Drives a built program as a coprocess: input written a piece at a time, each
// answer awaited before the next piece goes out, input kept open throughout.
// A program that holds a finished answer while it waits for more input makes
// these tests hit their deadlock limit instead of hanging.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>
#include <string_view>

#include "emulator.hpp"
#include "run_program.hpp"

namespace testsupport {

// Generous: the limit only turns a deadlock into a failure, it times nothing.
inline constexpr std::chrono::seconds deadlock_limit{10};

class Coprocess {
 public:
  // Starts exe, through the build's emulator if it has one (program_command),
  // with its stdin and stdout on two pipes or, with on_terminal, both on one
  // new pseudo-terminal in its usual line-by-line mode with echo turned off;
  // stderr goes to a temporary file. With nonblocking (pipes only), the
  // program's ends of the pipes are in non-blocking mode, as a shell may
  // leave them. SIGPIPE is ignored in the caller (a write to a program that
  // has ended fails instead) and left at its default in the program.
  Coprocess(const std::string& exe, bool on_terminal, bool nonblocking = false)
      : terminal_(on_terminal) {
    signal(SIGPIPE, SIG_IGN);
    err_path_ = temp_path("err");
    int child_in = -1;
    int child_out = -1;
    if (terminal_) {
      to_ = posix_openpt(O_RDWR | O_NOCTTY);
      if (to_ < 0 || grantpt(to_) != 0 || unlockpt(to_) != 0) {
        return;
      }
      child_in = open(ptsname(to_), O_RDWR | O_NOCTTY);
      termios mode{};
      if (child_in < 0 || tcgetattr(child_in, &mode) != 0) {
        return;
      }
      mode.c_lflag &= ~static_cast<tcflag_t>(ECHO);
      tcsetattr(child_in, TCSANOW, &mode);
      eof_char_ = static_cast<char>(mode.c_cc[VEOF]);
      from_ = to_;
      child_out = child_in;
    } else {
      int in_pipe[2];
      int out_pipe[2];
      if (pipe(in_pipe) != 0 || pipe(out_pipe) != 0) {
        return;
      }
      child_in = in_pipe[0];
      to_ = in_pipe[1];
      from_ = out_pipe[0];
      child_out = out_pipe[1];
      if (nonblocking) {
        fcntl(child_in, F_SETFL, O_NONBLOCK);
        fcntl(child_out, F_SETFL, O_NONBLOCK);
      }
    }
    pid_ = fork();
    if (pid_ == 0) {
      signal(SIGPIPE, SIG_DFL);
      const int err_fd = open(err_path_.c_str(), O_WRONLY | O_TRUNC);
      if (err_fd < 0 || dup2(child_in, 0) < 0 || dup2(child_out, 1) < 0 || dup2(err_fd, 2) < 0) {
        _exit(126);
      }
      closefrom(3);
      exec_program(exe);
      _exit(127);
    }
    close(child_in);
    if (child_out != child_in) {
      close(child_out);
    }
    fcntl(to_, F_SETFL, O_NONBLOCK);
    if (from_ != to_) {
      fcntl(from_, F_SETFL, O_NONBLOCK);
    }
  }

  Coprocess(const Coprocess&) = delete;
  Coprocess& operator=(const Coprocess&) = delete;

  ~Coprocess() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    close_fds();
    std::remove(err_path_.c_str());
  }

  // pid: the program's process id, or -1 when it could not be started.
  pid_t pid() const { return pid_; }

  // await_sleep: waits, taking in no output, until the program sleeps (its
  // state in /proc is neither running nor in an uninterruptible wait: it
  // waits for input, or for room for its output) or has ended, or the
  // deadlock limit passes.
  void await_sleep() const {
    const std::string stat_path = "/proc/" + std::to_string(pid_) + "/stat";
    const auto deadline = std::chrono::steady_clock::now() + deadlock_limit;
    while (std::chrono::steady_clock::now() < deadline) {
      const std::string stat = slurp(stat_path);
      const char state = stat.empty() ? 'Z' : stat[stat.rfind(')') + 2];
      if (state != 'R' && state != 'D') {
        return;
      }
      usleep(1000);
    }
  }

  // send: writes bytes to the program's input, taking in its output
  // meanwhile, so that neither side can block the other. Returns false when
  // the program stopped reading for the deadlock limit or had ended.
  bool send(std::string_view bytes) {
    const auto deadline = std::chrono::steady_clock::now() + deadlock_limit;
    while (!bytes.empty()) {
      if (!wait_until(deadline, POLLOUT)) {
        return false;
      }
      const ssize_t n = write(to_, bytes.data(), bytes.size());
      if (n < 0 && errno != EAGAIN && errno != EINTR) {
        return false;
      }
      bytes.remove_prefix(n > 0 ? static_cast<size_t>(n) : 0);
    }
    return true;
  }

  // send_to_full_output: for a program on pipes whose output has all been
  // taken in. Makes its output pipe one page long and fills it, through a
  // second opening of that pipe, so that the program's next write finds no
  // room; then writes bytes (fewer than a page) to its input in one call,
  // taking in no output. Returns how many bytes of filler come before the
  // program's next output (reply hands them out first), or 0 when the pipe
  // could not be filled or the bytes not written.
  size_t send_to_full_output(std::string_view bytes) {
    const std::string pipe_path = "/proc/self/fd/" + std::to_string(from_);
    const int filler = open(pipe_path.c_str(), O_WRONLY | O_NONBLOCK);
    size_t filled = 0;
    if (filler >= 0 && fcntl(filler, F_SETPIPE_SZ, 4096) >= 0) {
      const std::string page(4096, '.');
      for (ssize_t n = 0; (n = write(filler, page.data(), page.size())) > 0;) {
        filled += static_cast<size_t>(n);
      }
    }
    if (filler >= 0) {
      close(filler);
    }
    const bool sent = write(to_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    return sent ? filled : 0;
  }

  // reply: waits until `size` bytes of output have arrived beyond those
  // already taken, the output ends, or the deadlock limit passes. Returns the
  // bytes that arrived, at most size of them; the rest stay for later calls.
  std::string reply(size_t size) {
    const auto deadline = std::chrono::steady_clock::now() + deadlock_limit;
    while (pending_.size() < size && !out_ended_ && wait_until(deadline, 0)) {
    }
    std::string got = pending_.substr(0, size);
    pending_.erase(0, got.size());
    return got;
  }

  // finish: ends the input (closes the pipe, or types the end-of-file
  // character at the start of a line on the terminal), takes the rest of
  // the output and waits for the program to end, killing it after the
  // deadlock limit. Returns all output not taken by reply, stderr and the
  // exit status.
  Outcome finish() {
    if (terminal_) {
      send(std::string_view(&eof_char_, 1));
    } else {
      close(to_);
      to_ = -1;
    }
    const auto deadline = std::chrono::steady_clock::now() + deadlock_limit;
    while (!out_ended_ && wait_until(deadline, 0)) {
    }
    Outcome result;
    int wstatus = 0;
    if (!out_ended_) {
      kill(pid_, SIGKILL);
    }
    if (waitpid(pid_, &wstatus, 0) == pid_) {
      result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    }
    pid_ = -1;
    result.out = pending_;
    pending_.clear();
    result.err = slurp(err_path_);
    return result;
  }

 private:
  // Waits until `events` is possible on the input side (0: no such wait),
  // taking in any output that arrives meanwhile. False at the deadline or,
  // when waiting for the input side, once the program has ended.
  bool wait_until(std::chrono::steady_clock::time_point deadline, short events) {
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) {
        return false;
      }
      pollfd fds[2] = {{from_, POLLIN, 0}, {to_, events, 0}};
      const int nfds = events != 0 && to_ != from_ ? 2 : 1;
      if (events != 0 && to_ == from_) {
        fds[0].events |= events;
      }
      if (poll(fds, static_cast<nfds_t>(nfds), static_cast<int>(left.count())) < 0) {
        if (errno == EINTR) {
          continue;
        }
        return false;
      }
      bool took = false;
      if ((fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0 && !out_ended_) {
        took = take_output();
      }
      const short ready = nfds == 2 ? fds[1].revents : fds[0].revents;
      if (events != 0 && (ready & events) != 0) {
        return true;
      }
      if (events != 0 && (out_ended_ || (ready & (POLLERR | POLLHUP)) != 0)) {
        return false;
      }
      if (events == 0 && (took || out_ended_)) {
        return true;
      }
    }
  }

  // Reads what output there is; true when any arrived or the output ended.
  bool take_output() {
    char buf[4096];
    const ssize_t n = read(from_, buf, sizeof buf);
    if (n > 0) {
      for (ssize_t k = 0; k < n; ++k) {
        // The terminal turns each line feed the program writes into CR LF.
        if (!(terminal_ && buf[k] == '\r')) {
          pending_ += buf[k];
        }
      }
      return true;
    }
    if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
      out_ended_ = true;  // a terminal reports EIO once the program has closed it
      return true;
    }
    return false;
  }

  void close_fds() {
    if (to_ >= 0) {
      close(to_);
    }
    if (from_ >= 0 && from_ != to_) {
      close(from_);
    }
    to_ = from_ = -1;
  }

  bool terminal_;
  int to_ = -1;    // the program's input: a pipe's write end, or the terminal's master
  int from_ = -1;  // its output: a pipe's read end, or the same master
  char eof_char_ = 4;
  pid_t pid_ = -1;
  std::string err_path_;
  std::string pending_;  // output taken in but not yet handed out
  bool out_ended_ = false;
};

}  // namespace testsupport
