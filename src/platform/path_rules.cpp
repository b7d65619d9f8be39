#include "platform/path_rules.h"

namespace vexal {

// The same on every platform: only what counts as a separator differs.
std::string_view file_name_part(std::string_view path) {
  const std::size_t pos = last_separator(path);
  return pos == std::string_view::npos ? path : path.substr(pos + 1);
}

}  // namespace vexal
