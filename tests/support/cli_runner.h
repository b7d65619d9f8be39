// Runs the real vexal_mod_builder binary in a folder and captures what it prints.
// The binary and the way a path is written into config.ini can be swapped through the
// environment, so the same tests run against another build of the tool:
//   VEXAL_TEST_BINARY   the program to run (default: the binary of this build)
//   VEXAL_TEST_WRAPPER  a program to start it with (for example wine)
//   VEXAL_TEST_PATHS    "windows": paths are written as Z:\tmp\x instead of /tmp/x
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace vexal::test {

struct RunResult {
  int status = -1;  // the exit status as the operating system reports it
  std::string output;
};

// Runs the tool with the arguments in the given working folder.
RunResult run_tool_in(const std::filesystem::path& folder, const std::vector<std::string>& args);

// The exit status a run that ends with the code reports on this platform.
int exit_status_of(int code);

// A path as the tool's platform writes it (config.ini values, arguments).
std::string tool_path(const std::filesystem::path& path);

// The text of a path as the tool composes and prints it: the folder as the tool sees
// it, then "\" and the rest.
std::string composed(const std::filesystem::path& folder, const std::string& rest);

}  // namespace vexal::test
