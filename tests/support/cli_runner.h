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

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/temp_dir.h"

namespace vexal::test {

struct RunResult {
  int status = -1;     // the exit status as the tool's platform reports it; -1 when killed
  std::string output;  // standard output
  std::string errors;  // standard error
};

enum class Program { builder, fs_tool };

inline std::string env_or(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? std::string(value) : fallback;
}

// True when the tool under test is the Windows build (VEXAL_TEST_PATHS=windows).
inline bool windows_paths() {
  return env_or("VEXAL_TEST_PATHS", "") == "windows";
}

// A path as the tool's platform writes it (config.ini values, arguments).
inline std::string tool_path(const std::filesystem::path& path) {
  std::string text = path.string();
  if (windows_paths()) {
    std::replace(text.begin(), text.end(), '/', '\\');
    text = "Z:" + text;
  }
  return text;
}

// The program file under test.
inline std::filesystem::path binary_of(Program program) {
  return program == Program::fs_tool ? env_or("VEXAL_TEST_FS_BINARY", VEXAL_FS_BINARY)
                                     : env_or("VEXAL_TEST_BINARY", VEXAL_BINARY);
}

// The text with every "\r\n" read as "\n".
inline std::string without_carriage_returns(std::string text) {
  for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) {
    text.erase(at, 1);
  }
  return text;
}

inline std::vector<std::string> command_line(Program program, const std::vector<std::string>& args,
                                             const std::vector<std::string>& launcher) {
  std::vector<std::string> command = launcher;
  if (const std::string wrapper = env_or("VEXAL_TEST_WRAPPER", ""); !wrapper.empty()) {
    command.push_back(wrapper);
  }
  // A program that holds the file open while it runs the tool (Windows builds).
  if (const std::string held = env_or("VEXAL_TEST_HOLD", ""); !held.empty()) {
    command.push_back(tool_path(env_or("VEXAL_TEST_HOLDER", "exit_code_launcher")));
    command.push_back(held);
  }
  command.push_back(tool_path(binary_of(program)));
  command.insert(command.end(), args.begin(), args.end());
  return command;
}

// In the child: standard output and error go to the files "output" and "errors" of the
// run's own folder, where the Windows build's wrapper also writes "status".
[[noreturn]] inline void exec_in(const std::filesystem::path& folder,
                                 std::vector<std::string> command, const TempDir& files) {
  setenv("VEXAL_TEST_STATUS_FILE", tool_path(files.join("status")).c_str(), 1);
  const int output =
      open(files.join("output").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  const int errors =
      open(files.join("errors").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (dup2(output, STDOUT_FILENO) < 0 || dup2(errors, STDERR_FILENO) < 0 ||
      chdir(folder.c_str()) != 0) {
    _exit(127);
  }
  std::vector<char*> argv;
  argv.reserve(command.size() + 1);
  for (std::string& word : command) {
    argv.push_back(word.data());
  }
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  _exit(127);
}

// The full exit code the wrapper wrote, and lines without the "\r" before their "\n",
// which a Windows console must write and the tests leave out.
inline void read_as_windows_run(RunResult& result, const std::string& status) {
  long long code = 0;
  if (std::istringstream(status) >> code && (code & 0xFF) == result.status) {
    result.status = static_cast<int>(static_cast<std::uint32_t>(code));
  }
  for (std::string* text : {&result.output, &result.errors}) {
    const std::string lines = without_carriage_returns(*text);
    EXPECT_EQ(text->size() - lines.size(),
              static_cast<std::size_t>(std::count(lines.begin(), lines.end(), '\n')))
        << "a line without \"\\r\\n\" in:\n"
        << *text;
    *text = lines;
  }
}

// A launcher: strace with these arguments, without the leak check of a sanitized build,
// which cannot work in a traced process.
inline std::vector<std::string> under_strace(const std::vector<std::string>& arguments) {
  std::vector<std::string> launcher = {
      "env",      "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1", "strace", "-f", "-qq", "-o",
      "/dev/null"};
  launcher.insert(launcher.end(), arguments.begin(), arguments.end());
  return launcher;
}

// What a run printed after its banner line, which must be the tool's banner.
inline std::string after_banner(const std::string& output) {
  const std::string banner =
      "Vexal MOD builder by the vexal_mod_builder maintainers, "
      "maintainers@vexal-mod-builder.org, V1.2, 2013-06-02.\n";
  EXPECT_TRUE(output.starts_with(banner)) << output;
  return output.starts_with(banner) ? output.substr(banner.size()) : output;
}

// A run of a tool started without waiting for it, for runs at the same time.
class StartedRun {
 public:
  // A launcher (a program and its arguments, such as strace) starts the tool when given.
  StartedRun(const std::filesystem::path& folder, const std::vector<std::string>& args,
             Program program = Program::builder, const std::vector<std::string>& launcher = {}) {
    const std::vector<std::string> command = command_line(program, args, launcher);
    pid_ = fork();
    if (pid_ < 0) {
      throw std::runtime_error("fork failed");
    }
    if (pid_ == 0) {
      exec_in(folder, command, files_);
    }
  }
  ~StartedRun() { finish(); }
  StartedRun(const StartedRun&) = delete;
  StartedRun& operator=(const StartedRun&) = delete;

  // Waits until the run's standard error holds the text; false when it does not within
  // a minute, so that a run that never says it fails the test instead of hanging it.
  bool wait_for_error_text(const std::string& text) const {
    for (int look = 0; look < 6000; ++look) {
      if (files_.read_file("errors").find(text) != std::string::npos) {
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  // Waits for the run to end.
  RunResult finish() {
    if (pid_ > 0) {
      int wait_status = 0;
      waitpid(std::exchange(pid_, -1), &wait_status, 0);
      result_ = {WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1, files_.read_file("output"),
                 files_.read_file("errors")};
      if (windows_paths()) {
        read_as_windows_run(result_, files_.read_file("status"));
      }
    }
    return result_;
  }

 private:
  TempDir files_;  // what the run writes to its standard output and error, its exit code
  int pid_ = -1;   // -1 once the run has ended
  RunResult result_;
};

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
