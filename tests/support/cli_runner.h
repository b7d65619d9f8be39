// Runs the real vexal_mod_builder (or vexal_fs) binary in a folder and captures what it
// prints. The environment can point the same tests at another build of the tools:
//   VEXAL_TEST_BINARY     vexal_mod_builder to run (default: the binary of this build)
//   VEXAL_TEST_FS_BINARY  vexal_fs to run (default: the binary of this build)
//   VEXAL_TEST_WRAPPER    a program to start it with (for example wine)
//   VEXAL_TEST_PATHS      "windows": paths are written as Z:\tmp\x instead of /tmp/x, the
//                         binary's too, exit statuses are the full 32-bit codes, and every
//                         console line must end in "\r\n" (read as "\n")
// Wine hands a Linux parent only the low 8 bits of an exit code, so for a Windows build
// the wrapper writes the full code, in decimal, into the file named in
// VEXAL_TEST_STATUS_FILE (in the Windows form).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace vexal::test {

struct RunResult {
  int status = -1;     // the exit status as the tool's platform reports it
  std::string output;  // standard output
  std::string errors;  // standard error
};

enum class Program { builder, fs_tool };

// A run of a tool started without waiting for it, for runs at the same time.
class StartedRun {
 public:
  // With remove_folder, the (empty) folder is removed once the run has entered it, so
  // that the run has no working folder.
  StartedRun(const std::filesystem::path& folder, const std::vector<std::string>& args,
             Program program = Program::builder, bool remove_folder = false);
  ~StartedRun();
  StartedRun(const StartedRun&) = delete;
  StartedRun& operator=(const StartedRun&) = delete;

  // Reads standard error until it holds the text; false when the run ended without it
  // or has written nothing for a minute.
  bool wait_for_error_text(const std::string& text);
  // Reads both outputs to their ends and waits for the run to end.
  RunResult finish();

 private:
  std::string status_file_;
  int pid_ = -1;
  int output_fd_ = -1;
  int error_fd_ = -1;
  RunResult result_;
  bool finished_ = false;
};

// True when the tool under test is the Windows build (VEXAL_TEST_PATHS=windows).
bool windows_paths();

// The exit status a run that ends with the code reports on the tool's platform.
int exit_status_of(int code);

// A path as the tool's platform writes it (config.ini values, arguments).
std::string tool_path(const std::filesystem::path& path);

// The text with every "\r\n" read as "\n".
std::string without_carriage_returns(std::string text);

}  // namespace vexal::test
