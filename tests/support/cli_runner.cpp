#include "support/cli_runner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <utility>

namespace vexal::test {
namespace {

std::string env_or(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? std::string(value) : fallback;
}

std::vector<std::string> command_line(Program program, const std::vector<std::string>& args,
                                      const std::vector<std::string>& launcher) {
  std::vector<std::string> command = launcher;
  if (const std::string wrapper = env_or("VEXAL_TEST_WRAPPER", ""); !wrapper.empty()) {
    command.push_back(wrapper);
  }
  // A program that holds the file open while it runs the tool (Windows builds).
  if (const std::string held = env_or("VEXAL_TEST_HOLD", ""); !held.empty()) {
    command.push_back(tool_path(env_or("VEXAL_TEST_HOLDER", "hold_open")));
    command.push_back(held);
  }
  command.push_back(tool_path(binary_of(program)));
  command.insert(command.end(), args.begin(), args.end());
  return command;
}

// In the child: standard output and error go to the files "output" and "errors" of the
// run's own folder, where the Windows build's wrapper also writes "status".
[[noreturn]] void exec_in(const std::filesystem::path& folder, std::vector<std::string> command,
                          const TempDir& files) {
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
void read_as_windows_run(RunResult& result, const std::string& status) {
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

}  // namespace

StartedRun::StartedRun(const std::filesystem::path& folder, const std::vector<std::string>& args,
                       Program program, const std::vector<std::string>& launcher) {
  const std::vector<std::string> command = command_line(program, args, launcher);
  pid_ = fork();
  if (pid_ < 0) {
    throw std::runtime_error("fork failed");
  }
  if (pid_ == 0) {
    exec_in(folder, command, files_);
  }
}

StartedRun::~StartedRun() {
  finish();
}

bool StartedRun::wait_for_error_text(const std::string& text) const {
  // Looked for up to a minute, so that a run that never says it fails the test instead
  // of hanging it.
  for (int look = 0; look < 6000; ++look) {
    if (files_.read_file("errors").find(text) != std::string::npos) {
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

RunResult StartedRun::finish() {
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

std::vector<std::string> under_strace(const std::vector<std::string>& arguments) {
  std::vector<std::string> launcher = {
      "env",      "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1", "strace", "-f", "-qq", "-o",
      "/dev/null"};
  launcher.insert(launcher.end(), arguments.begin(), arguments.end());
  return launcher;
}

std::filesystem::path binary_of(Program program) {
  return program == Program::fs_tool ? env_or("VEXAL_TEST_FS_BINARY", VEXAL_FS_BINARY)
                                     : env_or("VEXAL_TEST_BINARY", VEXAL_BINARY);
}

bool windows_paths() {
  return env_or("VEXAL_TEST_PATHS", "") == "windows";
}

std::string tool_path(const std::filesystem::path& path) {
  std::string text = path.string();
  if (windows_paths()) {
    std::replace(text.begin(), text.end(), '/', '\\');
    text = "Z:" + text;
  }
  return text;
}

std::string without_carriage_returns(std::string text) {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
      text[kept++] = text[i];
    }
  }
  text.resize(kept);
  return text;
}

std::string after_banner(const std::string& output) {
  const std::string banner =
      "Vexal MOD builder by the vexal_mod_builder maintainers, "
      "maintainers@vexal-mod-builder.org, V1.2, 2013-06-02.\n";
  EXPECT_TRUE(output.starts_with(banner)) << output;
  return output.starts_with(banner) ? output.substr(banner.size()) : output;
}

}  // namespace vexal::test
