// Paths as the tool compares folders: the same folder may be written with another letter
// case, another separator, "." and ".." or relative to the working folder.
#pragma once

#include <string>
#include <string_view>

namespace vexal {

// The path taken against base when it is relative, "." and ".." resolved, upper case,
// "\" between the names and none at the end ("C:\TOOLS\MB", "\SRV\GAME\DATA").
std::string path_key(std::string_view path, std::string_view base = {});

inline bool same_path(std::string_view a, std::string_view b, std::string_view base = {}) {
  return path_key(a, base) == path_key(b, base);
}

}  // namespace vexal
