// A working folder with config.ini and a game on the fake file system, shared by the
// tests of the installation state.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "support/fake_file_system.h"
#include "support/status_print.h"

namespace vexal::test {

inline constexpr const char* kCwd = "C:\\tools\\mb";
inline constexpr const char* kConfig = "C:\\tools\\mb\\config.ini";

inline const std::string kPathLines = "[PATH]\nvexal=C:\\GAME\nvexalcd=E:\\CD\nallowcdmod=1\n";

struct InstallWorld {
  FakeFileSystem fs{kCwd};

  explicit InstallWorld(const std::string& config = kPathLines) { fs.add_file(kConfig, config); }
};

}  // namespace vexal::test
