#include "support/cli_runner.h"

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <stdexcept>

namespace vexal::test {
namespace {

std::string env_or(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? std::string(value) : fallback;
}

bool windows_paths() { return env_or("VEXAL_TEST_PATHS", "") == "windows"; }

std::vector<std::string> command_line(const std::vector<std::string>& args) {
  std::vector<std::string> command;
  if (const std::string wrapper = env_or("VEXAL_TEST_WRAPPER", ""); !wrapper.empty()) {
    command.push_back(wrapper);
  }
  command.push_back(env_or("VEXAL_TEST_BINARY", VEXAL_BINARY));
  command.insert(command.end(), args.begin(), args.end());
  return command;
}

[[noreturn]] void exec_in(const std::filesystem::path& folder, std::vector<std::string> command,
                          int output_fd) {
  dup2(output_fd, STDOUT_FILENO);
  dup2(output_fd, STDERR_FILENO);
  if (chdir(folder.c_str()) != 0) {
    _exit(127);
  }
  std::vector<char*> argv;
  for (std::string& word : command) {
    argv.push_back(word.data());
  }
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  _exit(127);
}

}  // namespace

RunResult run_tool_in(const std::filesystem::path& folder, const std::vector<std::string>& args) {
  std::array<int, 2> pipe_fds{};
  if (pipe(pipe_fds.data()) != 0) {
    throw std::runtime_error("pipe failed");
  }
  const std::vector<std::string> command = command_line(args);
  const pid_t child = fork();
  if (child < 0) {
    throw std::runtime_error("fork failed");
  }
  if (child == 0) {
    close(pipe_fds[0]);
    exec_in(folder, command, pipe_fds[1]);
  }
  close(pipe_fds[1]);
  RunResult result;
  std::array<char, 4096> buffer{};
  ssize_t got = 0;
  while ((got = read(pipe_fds[0], buffer.data(), buffer.size())) > 0) {
    result.output.append(buffer.data(), static_cast<std::size_t>(got));
  }
  close(pipe_fds[0]);
  int wait_status = 0;
  waitpid(child, &wait_status, 0);
  result.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
  return result;
}

int exit_status_of(int code) { return code & 0xFF; }

std::string tool_path(const std::filesystem::path& path) {
  std::string text = path.string();
  if (windows_paths()) {
    for (char& c : text) {
      if (c == '/') {
        c = '\\';
      }
    }
    text = "Z:" + text;
  }
  return text;
}

std::string composed(const std::filesystem::path& folder, const std::string& rest) {
  return tool_path(folder) + "\\" + rest;
}

}  // namespace vexal::test
