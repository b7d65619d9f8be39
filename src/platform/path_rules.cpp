#include "platform/path_rules.h"

namespace vexal {

// The same on every platform: only what counts as a separator differs.
std::string_view file_name_part(std::string_view path) {
  const std::size_t pos = last_separator(path);
  return pos == std::string_view::npos ? path : path.substr(pos + 1);
}

bool ends_with_separator(std::string_view path) {
  return !path.empty() && is_path_separator(path.back());
}

std::string join_path(std::string_view folder, std::string_view name) {
  std::string joined(folder);
  if (!ends_with_separator(folder)) {
    joined += '\\';
  }
  joined += name;
  return joined;
}

}  // namespace vexal
