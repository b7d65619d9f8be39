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

}  // namespace

int main() {
  const char* status_file = std::getenv("VEXAL_TEST_STATUS_FILE");
  std::string command = rest_of_command_line();
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (status_file == nullptr || command.empty() ||
      !CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &process)) {
    std::fprintf(stderr, "usage: VEXAL_TEST_STATUS_FILE=FILE exit_code_launcher PROGRAM [ARGS]\n");
    return 127;
  }
  CloseHandle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  const bool known = GetExitCodeProcess(process.hProcess, &code) != 0;
  CloseHandle(process.hProcess);
  if (!known) {
    return 127;
  }
  // Unwritten, the file leaves the tests the low 8 bits, which fail every larger code.
  std::ofstream(status_file, std::ios::binary) << code << "\n";
  return static_cast<int>(code);
}
