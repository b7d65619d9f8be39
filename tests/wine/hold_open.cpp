// Holds a file open, as a running game holds its archives (reading, and letting other
// programs only read it), while it runs the command line that follows the file:
//   hold_open FILE PROGRAM [ARGS]
// and exits with the program's exit code.
#include <windows.h>

#include <cstdio>
#include <string>

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
  const auto [file, command] = first_word(first_word(GetCommandLineA()).second);
  const HANDLE held = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  std::string line = command;
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (held == INVALID_HANDLE_VALUE || line.empty() ||
      !CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &process)) {
    std::fprintf(stderr, "usage: hold_open FILE PROGRAM [ARGS] (the file must exist)\n");
    return 126;
  }
  CloseHandle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 126;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  CloseHandle(held);
  return static_cast<int>(code);
}
