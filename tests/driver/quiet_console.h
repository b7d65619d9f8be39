// Keeps what in-process runs of the tool print off the test log: standard output and
// standard error go to a file in a temporary folder while the object lives. A file, as
// Wine passes every write to its null device through its server, which makes thousands
// of runs take seconds longer.
#pragma once

#include <fcntl.h>

#include <array>
#include <cstdio>

#ifdef _WIN32
#include <io.h>  // dup, dup2, open and close under their POSIX names
#else
#include <unistd.h>
#endif

#include "support/temp_dir.h"

namespace vexal::test {

class QuietConsole {
 public:
  QuietConsole() {
    flush();
    const int log = open(folder_.join("console.log").c_str(), O_WRONLY | O_CREAT, 0666);
    for (int fd = 1; fd <= 2; ++fd) {
      saved_[fd - 1] = dup(fd);
      dup2(log, fd);
    }
    close(log);
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

  TempDir folder_;
  std::array<int, 2> saved_{};
};

}  // namespace vexal::test
