#include <windows.h>

#include "platform/console.h"

namespace vexal {

namespace {

// Wine gives a program started from a Unix terminal a console of its own, which is that
// terminal and stays when the run ends. Wine's ntdll tells itself by this export.
bool runs_under_wine() {
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace

bool has_console_window_of_its_own() {
  // A Command Prompt that started the run is a second process of the console.
  DWORD processes[2] = {};
  if (GetConsoleProcessList(processes, 2) != 1 || GetConsoleWindow() == nullptr ||
      runs_under_wine()) {
    return false;
  }
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0 &&
         GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

void wait_for_key() {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  // Keys typed while the run worked must not close the window before it is read.
  FlushConsoleInputBuffer(input);
  INPUT_RECORD record{};
  DWORD count = 0;
  while (ReadConsoleInputA(input, &record, 1, &count) != 0 && count == 1) {
    if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown) {
      return;
    }
  }
}

std::string program_path() {
  // The name is cut to the buffer when it does not fit, with the full size returned.
  std::string buffer(MAX_PATH, '\0');
  for (;;) {
    const DWORD length =
        GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) {
      return {};
    }
    if (length < buffer.size()) {
      buffer.resize(length);
      return buffer;
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::string change_folder_command(std::string_view folder) {
  return "cd /d \"" + std::string(folder) + "\"";
}

}  // namespace vexal
