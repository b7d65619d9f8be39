// Runs the command line that follows its own name and writes the program's exit code,
// in full, into the file named by VEXAL_TEST_STATUS_FILE. Wine hands a Linux parent
// only the low 8 bits of an exit code, and the command-line tests compare all 32.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

// The command line without the launcher's own name, quoted or not.
std::string rest_of_command_line() {
  std::string line = GetCommandLineA();
  std::size_t pos = 0;
  if (!line.empty() && line.front() == '"') {
    pos = line.find('"', 1);
    pos = pos == std::string::npos ? line.size() : pos + 1;
  } else {
    pos = line.find_first_of(" \t");
    pos = pos == std::string::npos ? line.size() : pos;
  }
  pos = line.find_first_not_of(" \t", pos);
  return pos == std::string::npos ? std::string() : line.substr(pos);
}

bool write_status(DWORD code) {
  char path[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableA("VEXAL_TEST_STATUS_FILE", path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    return true;  // nobody asked for it
  }
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) {
    return false;
  }
  const bool written = std::fprintf(file, "%lu\n", static_cast<unsigned long>(code)) > 0;
  return std::fclose(file) == 0 && written;
}

}  // namespace

int main() {
  std::string command = rest_of_command_line();
  if (command.empty()) {
    std::fprintf(stderr, "usage: exit_code_launcher program [arguments]\n");
    return 127;
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &process)) {
    std::fprintf(stderr, "exit_code_launcher: cannot start %s\n", command.c_str());
    return 127;
  }
  CloseHandle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  const bool known = GetExitCodeProcess(process.hProcess, &code) != 0;
  CloseHandle(process.hProcess);
  if (!known || !write_status(code)) {
    return 127;
  }
  return static_cast<int>(code);
}
