#include "install/path_key.h"

#include <vector>

#include "platform/ascii.h"
#include "platform/path_rules.h"

namespace vexal {

std::string path_key(std::string_view path, std::string_view base) {
  std::string full =
      is_absolute_path(path) || base.empty() ? std::string(path) : join_path(base, path);
  std::vector<std::string> names;
  std::string name;
  for (const char c : full + "\\") {
    if (!is_path_separator(c) && c != '/') {
      name += ascii_upper(c);
      continue;
    }
    if (name == ".." && !names.empty()) {
      names.pop_back();
    } else if (!name.empty() && name != ".") {
      names.push_back(name);
    }
    name.clear();
  }
  // A POSIX path keeps its root; a drive letter is the first name.
  std::string key = !full.empty() && (full[0] == '/' || full[0] == '\\') ? "\\" : "";
  for (const std::string& part : names) {
    key += (key.empty() || key == "\\" ? "" : "\\") + part;
  }
  return key;
}

}  // namespace vexal
