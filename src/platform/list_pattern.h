// The wildcard matching of folder listings, with the rules of the Windows file system
// that the tool was made for, so every backend lists the same names for a pattern.
#pragma once

#include <string_view>

namespace vexal {

// True when the name matches the pattern, ASCII letters compared without regard to case.
// "*" matches any run of characters and "?" any one character; "?"s at the end of the
// pattern may also match nothing ("???" takes names of one to three characters), and a
// final ".*" matches a name without any extension, so "*.*" matches every name.
bool matches_listing_pattern(std::string_view pattern, std::string_view name);

}  // namespace vexal
