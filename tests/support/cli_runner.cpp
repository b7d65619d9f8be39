#include "support/cli_runner.h"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <optional>
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
  command.push_back(windows_paths() ? tool_path(binary) : binary);
  command.insert(command.end(), args.begin(), args.end());
  return command;
}

// Windows' text-mode console output ends lines with "\r\n"; the tests compare lines.
std::string without_carriage_returns(const std::string& text) {
  std::string result;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
      result += text[i];
    }
  }
  return result;
}

[[noreturn]] void exec_in(const std::filesystem::path& folder, std::vector<std::string> command,
                          int output_fd, int error_fd, const std::string* status_path,
                          bool remove_folder) {
  if (status_path != nullptr) {
    setenv("VEXAL_TEST_STATUS_FILE", status_path->c_str(), 1);
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

// Reads both pipes to their ends, whichever the child writes first, so that neither
// fills up and stops it. A descriptor that reaches its end is closed and set to -1.
void read_both(int& output_fd, int& error_fd, std::string& output, std::string& errors) {
  std::array<pollfd, 2> fds{{{output_fd, POLLIN, 0}, {error_fd, POLLIN, 0}}};
  std::array<std::string*, 2> into{&output, &errors};
  std::array<char, 4096> buffer{};
  int open_fds = (output_fd >= 0 ? 1 : 0) + (error_fd >= 0 ? 1 : 0);
  while (open_fds > 0) {
    if (poll(fds.data(), fds.size(), -1) < 0) {
      continue;
    }
    for (std::size_t i = 0; i < fds.size(); ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) {
        continue;
      }
      const ssize_t got = read(fds[i].fd, buffer.data(), buffer.size());
      if (got > 0) {
        into[i]->append(buffer.data(), static_cast<std::size_t>(got));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_fds;
      }
    }
  }
  output_fd = -1;
  error_fd = -1;
}

}  // namespace

// A file for the wrapper to report the full exit code in, removed when done with.
class StartedRun::StatusFile {
 public:
  StatusFile() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vexal-status-XXXXXX").string();
    const int fd = mkstemp(pattern.data());
    if (fd < 0) {
      throw std::runtime_error("mkstemp failed");
    }
    close(fd);
    path_ = pattern;
  }
  ~StatusFile() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
  StatusFile(const StatusFile&) = delete;
  StatusFile& operator=(const StatusFile&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The code the wrapper wrote, if it wrote one.
  std::optional<int> code() const {
    std::ifstream in(path_);
    long long value = 0;
    if (!(in >> value)) {
      return std::nullopt;
    }
    return static_cast<int>(static_cast<std::uint32_t>(value));
  }

 private:
  std::filesystem::path path_;
};

StartedRun::StartedRun(const std::filesystem::path& folder, const std::vector<std::string>& args,
                       bool remove_folder, Program program) {
  std::array<int, 2> pipe_fds{};
  std::array<int, 2> error_fds{};
  if (pipe(pipe_fds.data()) != 0 || pipe(error_fds.data()) != 0) {
    throw std::runtime_error("pipe failed");
  }
  const std::vector<std::string> command = command_line(program, args);
  std::string status_path;
  if (windows_paths()) {
    status_file_ = std::make_unique<StatusFile>();
    status_path = tool_path(status_file_->path());
  }
  pid_ = fork();
  if (pid_ < 0) {
    throw std::runtime_error("fork failed");
  }
  if (pid_ == 0) {
    close(pipe_fds[0]);
    close(error_fds[0]);
    exec_in(folder, command, pipe_fds[1], error_fds[1], status_file_ ? &status_path : nullptr,
            remove_folder);
  }
  close(pipe_fds[1]);
  close(error_fds[1]);
  output_fd_ = pipe_fds[0];
  error_fd_ = error_fds[0];
}

StartedRun::~StartedRun() {
  if (!finished_) {
    finish();
  }
}

bool StartedRun::wait_for_error_text(const std::string& text) {
  std::array<char, 4096> buffer{};
  while (result_.errors.find(text) == std::string::npos) {
    // A minute without a word stands for a run that will never say it, so that the
    // test fails instead of hanging.
    pollfd ready{error_fd_, POLLIN, 0};
    if (error_fd_ < 0 || poll(&ready, 1, 60'000) == 0) {
      return false;
    }
    const ssize_t got = read(error_fd_, buffer.data(), buffer.size());
    if (got <= 0) {
      close(error_fd_);
      error_fd_ = -1;
    } else {
      result_.errors.append(buffer.data(), static_cast<std::size_t>(got));
    }
  }
  return true;
}

RunResult StartedRun::finish() {
  if (finished_) {
    return result_;
  }
  finished_ = true;
  read_both(output_fd_, error_fd_, result_.output, result_.errors);
  if (windows_paths()) {
    result_.output = without_carriage_returns(result_.output);
    result_.errors = without_carriage_returns(result_.errors);
  }
  int wait_status = 0;
  waitpid(pid_, &wait_status, 0);
  result_.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
  if (const auto full = status_file_ ? status_file_->code() : std::nullopt;
      full && (*full & 0xFF) == result_.status) {
    result_.status = *full;
  }
  return result_;
}

RunResult run_tool_in(const std::filesystem::path& folder, const std::vector<std::string>& args) {
  return StartedRun(folder, args).finish();
}

RunResult run_fs_tool_in(const std::filesystem::path& folder,
                         const std::vector<std::string>& args) {
  return StartedRun(folder, args, false, Program::fs_tool).finish();
}

bool windows_paths() {
  return env_or("VEXAL_TEST_PATHS", "") == "windows";
}

int exit_status_of(int code) {
  return windows_paths() ? code : code & 0xFF;
}

std::string message_box_output(const std::string& console_text) {
  return windows_paths() ? std::string() : console_text;
}

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
