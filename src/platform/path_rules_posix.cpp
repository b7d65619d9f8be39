#include "platform/path_rules.h"

namespace vexal {

extern const std::size_t max_path_bytes = 4096;

bool is_absolute_path(std::string_view path) {
  return path.find(':') != std::string_view::npos || (!path.empty() && path.front() == '/');
}

bool is_path_separator(char c) {
  return c == '\\' || c == '/';
}

std::size_t last_separator(std::string_view path) {
  return path.find_last_of("\\/");
}

}  // namespace vexal
