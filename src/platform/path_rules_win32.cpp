#include "platform/path_rules.h"

namespace vexal {

// MAX_PATH: the ANSI file functions refuse anything longer.
extern const std::size_t max_path_bytes = 260;

bool is_absolute_path(std::string_view path) {
  return path.find(':') != std::string_view::npos;
}

bool is_path_separator(char c) {
  return c == '\\';
}

std::size_t last_separator(std::string_view path) {
  return path.rfind('\\');
}

}  // namespace vexal
