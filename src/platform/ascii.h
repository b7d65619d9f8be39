// Letter case as the tool compares names, paths and keywords: only the ASCII letters
// have a case, so bytes of any code page compare the same way on every platform.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace vexal {

constexpr char ascii_upper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

inline bool equal_ignoring_case(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return ascii_upper(x) == ascii_upper(y); });
}

inline std::string upper_case(std::string_view text) {
  std::string result(text);
  std::transform(result.begin(), result.end(), result.begin(), ascii_upper);
  return result;
}

}  // namespace vexal
