// Runs the command line that follows its own name and writes the program's exit code,
// in full, into the file named by VEXAL_TEST_STATUS_FILE: Wine hands a Linux parent only
// the low 8 bits of an exit code, and the command-line tests compare all 32. A first word
// that names no program (no ".exe") is a file held open while the rest runs, as a running
// game holds its archives: reading, and letting other programs only read it.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>

namespace {

// The first word of the text and what follows it after blanks; a word in quotes ends at
// its closing quote.
std::pair<std::string, std::string> first_word(const std::string& text) {
  const bool quoted = text.starts_with('"');
  const std::size_t end = quoted ? text.find('"', 1) : text.find_first_of(" \t");
  const std::string word = quoted ? text.substr(1, end - 1) : text.substr(0, end);
  const std::size_t rest =
      end == std::string::npos ? end : text.find_first_not_of(" \t", end + (quoted ? 1 : 0));
  return {word, rest == std::string::npos ? std::string() : text.substr(rest)};
}

}  // namespace

int main() {
  const char* status_file = std::getenv("VEXAL_TEST_STATUS_FILE");
  const std::string line = first_word(GetCommandLineA()).second;
  auto [first, command] = first_word(line);
  const bool hold = !first.ends_with(".exe") && !first.ends_with(".EXE");
  const HANDLE held = hold ? CreateFileA(first.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
                           : nullptr;
  command = hold ? command : line;
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (status_file == nullptr || held == INVALID_HANDLE_VALUE || command.empty() ||
      !CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &process)) {
    std::fprintf(stderr,
                 "usage: VEXAL_TEST_STATUS_FILE=FILE exit_code_launcher [HELD] PROGRAM [ARGS]\n");
    return 127;
  }
  CloseHandle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  const bool known = GetExitCodeProcess(process.hProcess, &code) != 0;
  CloseHandle(process.hProcess);
  if (held != nullptr) {
    CloseHandle(held);
  }
  if (!known) {
    return 127;
  }
  // Unwritten, the file leaves the tests the low 8 bits, which fail every larger code.
  std::ofstream(status_file, std::ios::binary) << code << "\n";
  return static_cast<int>(code);
}
