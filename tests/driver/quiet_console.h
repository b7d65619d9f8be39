// Keeps what in-process runs of the tool print off the test log: standard output and
// standard error go to the null device while the object lives.
#pragma once

#include <fcntl.h>

#include <array>
#include <cstdio>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace vexal::test {

class QuietConsole {
 public:
  QuietConsole() {
    flush();
    const int null_device = open_null_device();
    for (int fd = 1; fd <= 2; ++fd) {
      saved_[fd - 1] = duplicate(fd);
      duplicate_to(null_device, fd);
    }
    close_fd(null_device);
  }
  ~QuietConsole() {
    flush();
    for (int fd = 1; fd <= 2; ++fd) {
      duplicate_to(saved_[fd - 1], fd);
      close_fd(saved_[fd - 1]);
    }
  }
  QuietConsole(const QuietConsole&) = delete;
  QuietConsole& operator=(const QuietConsole&) = delete;

 private:
  static void flush() {
    std::fflush(stdout);
    std::fflush(stderr);
  }
#ifdef _WIN32
  static int open_null_device() {
    return _open("NUL", _O_WRONLY);
  }
  static int duplicate(int fd) {
    return _dup(fd);
  }
  static void duplicate_to(int from, int to) {
    _dup2(from, to);
  }
  static void close_fd(int fd) {
    _close(fd);
  }
#else
  static int open_null_device() {
    return open("/dev/null", O_WRONLY);
  }
  static int duplicate(int fd) {
    return dup(fd);
  }
  static void duplicate_to(int from, int to) {
    dup2(from, to);
  }
  static void close_fd(int fd) {
    close(fd);
  }
#endif

  std::array<int, 2> saved_{};
};

}  // namespace vexal::test
