// A temporary working folder for command-line tests: files to set up, config.ini to
// write, and runs of the real binaries in that folder.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/cli_runner.h"
#include "support/temp_dir.h"

namespace vexal::test {

class CliTest : public ::testing::Test {
 protected:
  ~CliTest() override;

  const std::filesystem::path& root() const { return dir_.path(); }
  std::filesystem::path at(const std::string& relative) const { return root() / relative; }
  void write_file(const std::string& relative, const std::string& bytes) const {
    dir_.write_file(relative, bytes);
  }
  // Empty when the file cannot be read.
  std::string read_file(const std::string& relative) const { return dir_.read_file(relative); }

  // config.ini with the PATH section for a game in game/ and a CD in cd/, then extra lines.
  void write_config(const std::string& extra = "", const std::string& allowcdmod = "1") const;

  RunResult run(const std::vector<std::string>& args, Program program = Program::builder) const {
    return StartedRun(root(), args, program).finish();
  }

 private:
  TempDir dir_;
};

// What a run printed after its banner line, which must be the tool's banner.
std::string after_banner(const std::string& output);

}  // namespace vexal::test
