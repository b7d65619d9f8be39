#include "support/cli_runner.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace vexal::test {
namespace {

std::string env_or(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? std::string(value) : fallback;
}

std::vector<std::string> command_line(Program program, const std::vector<std::string>& args) {
  std::vector<std::string> command;
  if (const std::string wrapper = env_or("VEXAL_TEST_WRAPPER", ""); !wrapper.empty()) {
    command.push_back(wrapper);
  }
  const std::string binary = program == Program::fs_tool
                                 ? env_or("VEXAL_TEST_FS_BINARY", VEXAL_FS_BINARY)
                                 : env_or("VEXAL_TEST_BINARY", VEXAL_BINARY);
  command.push_back(tool_path(binary));
  command.insert(command.end(), args.begin(), args.end());
  return command;
}

[[noreturn]] void exec_in(const std::filesystem::path& folder, std::vector<std::string> command,
                          int output_fd, int error_fd, const std::string& status_file,
                          bool remove_folder) {
  if (!status_file.empty()) {
    setenv("VEXAL_TEST_STATUS_FILE", tool_path(status_file).c_str(), 1);
  }
  dup2(output_fd, STDOUT_FILENO);
  dup2(error_fd, STDERR_FILENO);
  if (chdir(folder.c_str()) != 0 || (remove_folder && rmdir(folder.c_str()) != 0)) {
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

// Appends what the descriptor holds; at its end closes it and sets it to -1.
void read_some(int& fd, std::string& into) {
  std::array<char, 4096> buffer{};
  const ssize_t got = read(fd, buffer.data(), buffer.size());
  if (got <= 0) {
    close(fd);
    fd = -1;
  } else {
    into.append(buffer.data(), static_cast<std::size_t>(got));
  }
}

}  // namespace

StartedRun::StartedRun(const std::filesystem::path& folder, const std::vector<std::string>& args,
                       Program program, bool remove_folder) {
  std::array<int, 2> output_pipe{};
  std::array<int, 2> error_pipe{};
  if (pipe(output_pipe.data()) != 0 || pipe(error_pipe.data()) != 0) {
    throw std::runtime_error("pipe failed");
  }
  if (windows_paths()) {
    status_file_ = status_folder_.join("status");
  }
  const std::vector<std::string> command = command_line(program, args);
  pid_ = fork();
  if (pid_ < 0) {
    throw std::runtime_error("fork failed");
  }
  if (pid_ == 0) {
    close(output_pipe[0]);
    close(error_pipe[0]);
    exec_in(folder, command, output_pipe[1], error_pipe[1], status_file_, remove_folder);
  }
  close(output_pipe[1]);
  close(error_pipe[1]);
  output_fd_ = output_pipe[0];
  error_fd_ = error_pipe[0];
}

StartedRun::~StartedRun() {
  finish();
}

bool StartedRun::read_more(int wait_ms) {
  std::array<pollfd, 2> fds{{{output_fd_, POLLIN, 0}, {error_fd_, POLLIN, 0}}};
  if ((output_fd_ < 0 && error_fd_ < 0) || poll(fds.data(), fds.size(), wait_ms) == 0) {
    return false;
  }
  if (fds[0].revents != 0) {
    read_some(output_fd_, result_.output);
  }
  if (fds[1].revents != 0) {
    read_some(error_fd_, result_.errors);
  }
  return true;
}

bool StartedRun::wait_for_error_text(const std::string& text) {
  // A minute without a word stands for a run that will never say it, so that the test
  // fails instead of hanging.
  while (result_.errors.find(text) == std::string::npos) {
    if (!read_more(60'000)) {
      return false;
    }
  }
  return true;
}

RunResult StartedRun::finish() {
  if (finished_) {
    return result_;
  }
  finished_ = true;
  while (read_more(-1)) {
  }
  int wait_status = 0;
  waitpid(pid_, &wait_status, 0);
  result_.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
  if (!status_file_.empty()) {
    std::ifstream in(status_file_);
    long long code = 0;
    if (in >> code && (code & 0xFF) == result_.status) {
      result_.status = static_cast<int>(static_cast<std::uint32_t>(code));
    }
    // A Windows console ends every line with "\r\n"; the tests compare lines.
    for (std::string* text : {&result_.output, &result_.errors}) {
      const std::string lines = without_carriage_returns(*text);
      EXPECT_EQ(text->size() - lines.size(),
                static_cast<std::size_t>(std::count(lines.begin(), lines.end(), '\n')))
          << "a line without \"\\r\\n\" in:\n"
          << *text;
      *text = lines;
    }
  }
  return result_;
}

bool windows_paths() {
  return env_or("VEXAL_TEST_PATHS", "") == "windows";
}

int exit_status_of(int code) {
  return windows_paths() ? code : code & 0xFF;
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
      "Vexal MOD builder by Martin Kral, martin.kral@example.org, V1.2, 2013-06-02.\n";
  EXPECT_TRUE(output.starts_with(banner)) << output;
  return output.starts_with(banner) ? output.substr(banner.size()) : output;
}

}  // namespace vexal::test
