#include <unistd.h>

#include <string>

#include "platform/console.h"

namespace vexal {

// A terminal window stays open after the program ends.
bool has_console_window_of_its_own() {
  return false;
}

void wait_for_key() {}

std::string program_path() {
  std::string buffer(4096, '\0');
  const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) {
    return {};
  }
  buffer.resize(static_cast<std::size_t>(length));
  return buffer;
}

std::string change_folder_command(std::string_view folder) {
  return "cd \"" + std::string(folder) + "\"";
}

}  // namespace vexal
