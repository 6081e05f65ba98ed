// A library the fault-injection test preloads into a built program: it stands
// in front of read(2) on descriptor 0, write(2) on descriptor 1 and close(2)
// of descriptor 1, makes the real calls with syscall(2), and can make one of
// them fail. Set by the environment:
//   FAULT_CALL      read, write or close: the kind of call made to fail
//   FAULT_AT        k: the k-th call of that kind (from 1) fails ...
//   FAULT_MODE      ... once, or with "always" that one and every later one
//   FAULT_ERRNO     the errno of a failed call (EIO when unset)
//   FAULT_READ_MAX  the most bytes any read is asked for (unset: no cap)
//   FAULT_LOG       a file that gets a letter per call, in order: r w c for a
//                   call that went through, R W C for one made to fail, e for
//                   a read that returned 0 (the end of the input)
// Once descriptor 1 is closed its number means another file: calls on it then
// go through untouched and unlogged.
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

enum Kind { read_call, write_call, close_call, no_call };
Kind failing = no_call;
int64_t fail_at;
bool always;
int fail_errno = EIO;
size_t read_max;  // 0: no cap
int log_fd = -1;
int64_t seen[no_call];  // calls of each kind so far
bool out_closed;        // descriptor 1 has been closed

const char* env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

__attribute__((constructor)) void setup() {
  constexpr std::string_view names[] = {"read", "write", "close"};
  failing = static_cast<Kind>(std::find(names, names + no_call, env("FAULT_CALL")) - names);
  fail_at = std::atoll(env("FAULT_AT"));
  always = std::string_view(env("FAULT_MODE")) == "always";
  fail_errno = std::atoi(env("FAULT_ERRNO")) > 0 ? std::atoi(env("FAULT_ERRNO")) : EIO;
  read_max = std::strtoul(env("FAULT_READ_MAX"), nullptr, 10);
  if (*env("FAULT_LOG") != '\0') {
    log_fd = static_cast<int>(syscall(SYS_openat, AT_FDCWD, env("FAULT_LOG"),
                                      O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
  }
}

void note(char letter) {
  if (log_fd >= 0) {
    syscall(SYS_write, log_fd, &letter, 1);
  }
}

// Counts a call of kind k and logs it, but a read that goes through, which is
// logged once it has returned. True, with errno set, when it is to fail.
bool fails(Kind k) {
  const int64_t n = ++seen[k];
  const bool fail = k == failing && fail_at > 0 && (always ? n >= fail_at : n == fail_at);
  if (fail || k != read_call) {
    note((fail ? "RWC" : "rwc")[k]);
  }
  errno = fail ? fail_errno : errno;
  return fail;
}

}  // namespace

extern "C" ssize_t read(int fd, void* buf, size_t size) {
  if (fd == 0 && fails(read_call)) {
    return -1;
  }
  const size_t asked = fd == 0 && read_max > 0 ? std::min(size, read_max) : size;
  const ssize_t got = syscall(SYS_read, fd, buf, asked);
  if (fd == 0) {
    note(got == 0 ? 'e' : 'r');
  }
  return got;
}

// What a fortified build calls in place of read.
extern "C" ssize_t __read_chk(int fd, void* buf, size_t size, size_t /*buflen*/) {
  return read(fd, buf, size);
}

extern "C" ssize_t write(int fd, const void* buf, size_t size) {
  if (fd == 1 && !out_closed && fails(write_call)) {
    return -1;
  }
  return syscall(SYS_write, fd, buf, size);
}

// A close made to fail closes the descriptor all the same, as close(2) does.
extern "C" int close(int fd) {
  const bool out = fd == 1 && !out_closed;
  out_closed = out_closed || out;
  const int closed = static_cast<int>(syscall(SYS_close, fd));
  return out && fails(close_call) ? -1 : closed;
}
