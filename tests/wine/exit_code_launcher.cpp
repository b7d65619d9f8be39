// Runs the command line that follows its own name and writes the program's exit code,
// in full, into the file named by VEXAL_TEST_STATUS_FILE. Wine hands a Linux parent
// only the low 8 bits of an exit code, and the command-line tests compare all 32.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

// The command line without the launcher's own name, which ends at its closing quote when
// it is quoted and at the first blank otherwise.
std::string rest_of_command_line() {
  const std::string line = GetCommandLineA();
  const std::size_t name_end =
      line.starts_with('"') ? line.find('"', 1) : line.find_first_of(" \t");
  const std::size_t start =
      name_end == std::string::npos ? name_end : line.find_first_not_of(" \t", name_end + 1);
  return start == std::string::npos ? std::string() : line.substr(start);
}

bool write_status(DWORD code) {
  const char* path = std::getenv("VEXAL_TEST_STATUS_FILE");
  if (path == nullptr) {
    return true;  // nobody asked for it
  }
  std::ofstream out(path, std::ios::binary);
  out << code << "\n";
  out.close();
  return !out.fail();
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
