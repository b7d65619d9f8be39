// Keeps what in-process runs of the tool print off the test log: standard output and
// standard error go to the null device while the object lives.
#pragma once

#include <fcntl.h>

#include <array>
#include <cstdio>

#ifdef _WIN32
#include <io.h>  // dup, dup2, open and close under their POSIX names
#else
#include <unistd.h>
#endif

namespace vexal::test {

class QuietConsole {
 public:
  QuietConsole() {
    flush();
#ifdef _WIN32
    const int null_device = open("NUL", O_WRONLY);
#else
    const int null_device = open("/dev/null", O_WRONLY);
#endif
    for (int fd = 1; fd <= 2; ++fd) {
      saved_[fd - 1] = dup(fd);
      dup2(null_device, fd);
    }
    close(null_device);
  }
  ~QuietConsole() {
    flush();
    for (int fd = 1; fd <= 2; ++fd) {
      dup2(saved_[fd - 1], fd);
      close(saved_[fd - 1]);
    }
  }
  QuietConsole(const QuietConsole&) = delete;
  QuietConsole& operator=(const QuietConsole&) = delete;

 private:
  static void flush() {
    std::fflush(stdout);
    std::fflush(stderr);
  }

  std::array<int, 2> saved_{};
};

}  // namespace vexal::test
