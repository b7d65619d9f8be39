// Runs the real vexal_mod_builder (or vexal_fs) binary in a temporary working folder and
// captures what it prints. The environment can point the same tests at another build:
//   VEXAL_TEST_BINARY     vexal_mod_builder to run (default: the binary of this build)
//   VEXAL_TEST_FS_BINARY  vexal_fs to run (default: the binary of this build)
//   VEXAL_TEST_WRAPPER    a program to start it with (for example wine)
//   VEXAL_TEST_HOLDER     the program that starts it holding the file VEXAL_TEST_HOLD open
//   VEXAL_TEST_PATHS      "windows": paths are written as Z:\tmp\x instead of /tmp/x, the
//                         binary's too, exit statuses are the full 32-bit codes, and every
//                         console line must end in "\r\n" (read as "\n")
// Wine hands a Linux parent only the low 8 bits of an exit code, so for a Windows build
// the wrapper writes the full code, in decimal, into the file named in
// VEXAL_TEST_STATUS_FILE (in the Windows form).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace vexal::test {

struct RunResult {
  int status = -1;     // the exit status as the tool's platform reports it; -1 when killed
  std::string output;  // standard output
  std::string errors;  // standard error
};

enum class Program { builder, fs_tool };

// A run of a tool started without waiting for it, for runs at the same time.
class StartedRun {
 public:
  // A launcher (a program and its arguments, such as strace) starts the tool when given.
  StartedRun(const std::filesystem::path& folder, const std::vector<std::string>& args,
             Program program = Program::builder, const std::vector<std::string>& launcher = {});
  ~StartedRun();
  StartedRun(const StartedRun&) = delete;
  StartedRun& operator=(const StartedRun&) = delete;

  // Waits until the run's standard error holds the text; false when it does not within
  // a minute.
  bool wait_for_error_text(const std::string& text) const;
  // Waits for the run to end.
  RunResult finish();

 private:
  TempDir files_;  // what the run writes to its standard output and error, its exit code
  int pid_ = -1;   // -1 once the run has ended
  RunResult result_;
};

// A launcher: strace with these arguments, without the leak check of a sanitized build,
// which cannot work in a traced process.
std::vector<std::string> under_strace(const std::vector<std::string>& arguments);

// The program file under test.
std::filesystem::path binary_of(Program program);

// True when the tool under test is the Windows build (VEXAL_TEST_PATHS=windows).
bool windows_paths();

// A path as the tool's platform writes it (config.ini values, arguments).
std::string tool_path(const std::filesystem::path& path);

// The text with every "\r\n" read as "\n".
std::string without_carriage_returns(std::string text);

// What a run printed after its banner line, which must be the tool's banner.
std::string after_banner(const std::string& output);

// A test in a working folder of its own, which it reads and writes through dir_.
class CliTest : public ::testing::Test {
 protected:
  const std::filesystem::path& root() const { return dir_.path(); }
  std::filesystem::path at(const std::string& relative) const { return root() / relative; }

  // config.ini with the PATH section for a game in game/ and a CD in cd/, then extra lines.
  void write_config(const std::string& extra = "", const std::string& allowcdmod = "1") const {
    dir_.write_file("config.ini", "[PATH]\nvexal=" + tool_path(at("game")) +
                                      "\nvexalcd=" + tool_path(at("cd")) +
                                      "\nallowcdmod=" + allowcdmod + "\n" + extra);
  }

  TempDir dir_;
};

}  // namespace vexal::test
