// Descriptor I/O of the read-compute-print loop: input read as it arrives,
// output held and written out before any read that may wait, descriptors in
// non-blocking mode waited on, and the failed read or write that ends the
// run. Each program's folder holds this same text, but for its namespace.
#pragma once

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstddef>
#include <string_view>

namespace quickcount::fdio {

inline int in_fd = -1;   // the descriptor input is read from
inline int out_fd = -1;  // the descriptor output is written to
inline bool in_ended;    // input is never read again: it ended, or the run failed
inline bool io_failed;   // a read or write failed: nothing more is read or written
inline std::array<char, std::size_t{1} << 16> out_buf;  // output held, out_buf[0, out_len)
inline std::size_t out_len;

// start: accepts a descriptor open for reading and one open for writing.
// Makes them the input and output of the calls below, with no output held,
// the input not ended and no failure recorded. Leaves both open.
inline void start(int input, int output) {
  in_fd = input;
  out_fd = output;
  in_ended = io_failed = false;
  out_len = 0;
}

// fail: records that a read or write failed, so that the loop stops:
// nothing is read, written or held from then on.
inline void fail() {
  io_failed = in_ended = true;
}

// failed: true once a read or write has failed.
inline bool failed() {
  return io_failed;
}

// ended: true once read_some has returned 0, at the end of the input or
// after a failure: the input is not read again.
inline bool ended() {
  return in_ended;
}

// wait_ready: accepts a descriptor on which a read(2) or write(2) has just
// failed, with errno as the call left it, and the events the call waits for
// (POLLIN or POLLOUT). Returns true when the call should be made again: a
// signal interrupted it, or the descriptor is in non-blocking mode and was
// not ready, and is now (this waits in poll(2), with no time limit, using
// no processor time while it waits). False for any other error, or when the
// wait itself fails.
inline bool wait_ready(int fd, short events) {
  if (errno == EINTR) {
    return true;
  }
  if (errno != EAGAIN && errno != EWOULDBLOCK) {
    return false;
  }
  pollfd ready{fd, events, 0};
  while (poll(&ready, 1, -1) < 0) {
    if (errno != EINTR) {
      return false;
    }
  }
  return true;
}

// flush: writes out the output held, all of it, across short writes, and
// empties it. A write that fails or takes nothing records the failure; once
// one has, flush writes nothing.
inline void flush() {
  const char* from = out_buf.data();
  std::size_t left = out_len;
  out_len = 0;
  while (left > 0 && !io_failed) {
    const ssize_t put = write(out_fd, from, left);
    if (put > 0) {
      from += put;
      left -= static_cast<std::size_t>(put);
    } else if (put == 0 || !wait_ready(out_fd, POLLOUT)) {
      fail();
    }
  }
}

// read_some: accepts room for size > 0 bytes at buf. Writes out the output
// held first, since the read may wait, so that no finished answer waits for
// more input; then reads what has arrived, in one read(2) that waits only
// while nothing has. Returns how many bytes it read: 0 at the end of the
// input, or once a read or write has failed (a read that fails records it).
// After it has returned 0 it never reads again: a terminal is not asked
// twice for its end, and a failed run reads nothing more.
inline std::size_t read_some(char* buf, std::size_t size) {
  flush();
  if (in_ended) {
    return 0;
  }
  ssize_t got = 0;
  while ((got = read(in_fd, buf, size)) < 0 && wait_ready(in_fd, POLLIN)) {
  }
  if (got < 0) {
    fail();
  }
  in_ended = got <= 0;
  return got > 0 ? static_cast<std::size_t>(got) : 0;
}

// room: accepts a size n. Writes out the output held when fewer than n bytes
// are free after it, so that what follows goes out whole unless it is longer
// than the buffer. Returns where the output held ends: up to
// min(n, out_buf.size()) bytes may be written there, and kept with keep.
inline char* room(std::size_t n) {
  if (out_buf.size() - out_len < n) {
    flush();
  }
  return out_buf.data() + out_len;
}

// keep: accepts the end of bytes written where room said. Adds them to the
// output held; after a failure, drops them.
inline void keep(const char* end) {
  if (!io_failed) {
    out_len = static_cast<std::size_t>(end - out_buf.data());
  }
}

// put: accepts text of any length. Appends it to the output held, writing
// that out first when the text does not fit after it, and whenever the
// buffer fills. After a failure it appends nothing.
inline void put(std::string_view text) {
  room(text.size());
  while (!text.empty() && !io_failed) {
    if (out_len == out_buf.size()) {
      flush();
    }
    const std::size_t n = std::min(text.size(), out_buf.size() - out_len);
    std::copy_n(text.data(), n, out_buf.data() + out_len);
    out_len += n;
    text.remove_prefix(n);
  }
}

// finish: accepts the loop's own exit status. Writes out the output held.
// Returns status, or 1 when a read or write failed.
inline int finish(int status) {
  flush();
  return io_failed ? 1 : status;
}

}  // namespace quickcount::fdio
