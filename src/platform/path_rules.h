// How the platform reads the paths that the system composes with "\" separators:
// which paths are absolute, which characters separate folders, and how long a path
// may be. One implementation per platform.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vexal {

// The longest path, in bytes including the terminating zero, the platform accepts.
extern const std::size_t max_path_bytes;

// A path is absolute when it holds ":" anywhere (and on POSIX when it begins with "/").
bool is_absolute_path(std::string_view path);

// "\" everywhere; POSIX also accepts "/".
bool is_path_separator(char c);

// Position of the last separator, or std::string_view::npos.
std::size_t last_separator(std::string_view path);

// The part of the path after its last separator (the whole path when it has none).
std::string_view file_name_part(std::string_view path);

// True when the path's last character is a separator.
bool ends_with_separator(std::string_view path);

// The folder and the name joined with "\", or with nothing between them when the folder
// already ends in a separator (a drive's root, a folder kept with its separator). An
// empty folder gives "\name", as a plain join would.
[[nodiscard]] std::string join_path(std::string_view folder, std::string_view name);

}  // namespace vexal
