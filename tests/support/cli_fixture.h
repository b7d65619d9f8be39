// A temporary working folder for command-line tests: files to set up, config.ini to
// write, and runs of the real binary in that folder.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/cli_runner.h"
#include "support/temp_dir.h"

namespace vexal::test {

// The text with every "\r\n" read as "\n".
std::string without_carriage_returns(std::string text);

class CliTest : public ::testing::Test {
 protected:
  ~CliTest() override;

  const std::filesystem::path& root() const { return dir_.path(); }
  std::filesystem::path at(const std::string& relative) const { return root() / relative; }

  void write_file(const std::string& relative, const std::string& bytes) const {
    dir_.write_file(relative, bytes);
  }
  std::optional<std::string> read_file(const std::string& relative) const;
  bool exists(const std::string& relative) const;

  // config.ini with the PATH section for a game in game/ and a CD in cd/, then extra lines.
  void write_config(const std::string& extra = "", const std::string& allowcdmod = "1") const;
  // config.ini with Windows line ends read as plain line feeds.
  std::string config() const {
    return without_carriage_returns(read_file("config.ini").value_or(""));
  }

  RunResult run(const std::vector<std::string>& args) const { return run_tool_in(root(), args); }
  RunResult run_fs(const std::vector<std::string>& args) const {
    return run_fs_tool_in(root(), args);
  }

 private:
  TempDir dir_;
};

// What a run printed after its banner line, with "\r\n" read as "\n": a Windows build
// writes its console and its settings file in text mode.
std::string after_banner(const std::string& output);

}  // namespace vexal::test
