// Runs the real vexal_mod_builder (or vexal_fs) binary in a folder and captures what it
// prints. The binaries and the way a path is written into config.ini can be swapped
// through the environment, so the same tests run against another build of the tools:
//   VEXAL_TEST_BINARY     vexal_mod_builder to run (default: the binary of this build)
//   VEXAL_TEST_FS_BINARY  vexal_fs to run (default: the binary of this build)
//   VEXAL_TEST_WRAPPER  a program to start it with (for example wine)
//   VEXAL_TEST_PATHS    "windows": paths are written as Z:\tmp\x instead of /tmp/x, the
//                       binary too, exit statuses are the full 32-bit codes and the
//                       "\r\n" line ends of the console output are read as "\n"
// Wine hands a Linux parent only the low 8 bits of an exit code, so for a Windows
// build the wrapper writes the full code, in decimal, into the file that the runner
// names in VEXAL_TEST_STATUS_FILE (in the Windows form); without it the status is the
// one the operating system reports.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace vexal::test {

struct RunResult {
  int status = -1;     // the exit status as the tool's platform reports it
  std::string output;  // standard output
  std::string errors;  // standard error
};

// Runs the tool with the arguments in the given working folder.
RunResult run_tool_in(const std::filesystem::path& folder, const std::vector<std::string>& args);
// Runs vexal_fs with the arguments in the given working folder.
RunResult run_fs_tool_in(const std::filesystem::path& folder, const std::vector<std::string>& args);

enum class Program { builder, fs_tool };

// A run of the tool started without waiting for it, for runs at the same time.
class StartedRun {
 public:
  // With remove_folder, the folder is removed once the run has entered it, so that the
  // run has no working folder (the folder must be empty).
  StartedRun(const std::filesystem::path& folder, const std::vector<std::string>& args,
             bool remove_folder = false, Program program = Program::builder);
  ~StartedRun();
  StartedRun(const StartedRun&) = delete;
  StartedRun& operator=(const StartedRun&) = delete;

  // Reads standard error until it holds the text; false when the run ended without it
  // or has written nothing for a minute.
  bool wait_for_error_text(const std::string& text);
  // Reads both outputs to their ends and waits for the run to end.
  RunResult finish();

 private:
  class StatusFile;
  std::unique_ptr<StatusFile> status_file_;
  int pid_ = -1;
  int output_fd_ = -1;
  int error_fd_ = -1;
  RunResult result_;
  bool finished_ = false;
};

// True when the tool under test is the Windows build (VEXAL_TEST_PATHS=windows).
bool windows_paths();

// The exit status a run that ends with the code reports on this platform.
int exit_status_of(int code);

// A path as the tool's platform writes it (config.ini values, arguments).
std::string tool_path(const std::filesystem::path& path);

// The text of a path as the tool composes and prints it: the folder as the tool sees
// it, then "\" and the rest.
std::string composed(const std::filesystem::path& folder, const std::string& rest);

// What a message box leaves on the console: its text where the tool's platform prints
// one in place of a window, nothing where it is a window (Windows).
std::string message_box_output(const std::string& console_text);

}  // namespace vexal::test
