#include "platform/list_pattern.h"

#include <vector>

#include "platform/ascii.h"

namespace vexal {
namespace {

// What is left of the pattern once the name is used up: trailing "*"s and "?"s, or a
// ".*"-style extension, match the empty rest.
bool matches_empty(std::string_view pattern) {
  if (!pattern.empty() && pattern.front() == '.') {
    pattern.remove_prefix(1);
    if (pattern.empty()) {
      return false;
    }
  }
  return pattern.find_first_not_of("*?") == std::string_view::npos;
}

}  // namespace

// Decided column by column from the end of the name, so that a pattern full of "*"s
// costs pattern length times name length instead of backtracking exponentially.
// matches[i]: the pattern from i matches the name from the current position.
// any_later[i]: it matches the name from the current position or from any later one,
// which is what a "*" before position i needs.
bool matches_listing_pattern(std::string_view pattern, std::string_view name) {
  if (name.empty()) {
    return false;
  }
  // The pattern of every folder listing, asked once for each of thousands of names.
  if (pattern.find_first_not_of('*') == std::string_view::npos) {
    return true;
  }
  const std::size_t length = pattern.size();
  // The first position from i on that is not a "*".
  std::vector<std::size_t> after_stars(length + 1, length);
  for (std::size_t i = length; i-- > 0;) {
    after_stars[i] = pattern[i] == '*' ? after_stars[i + 1] : i;
  }

  std::vector<char> matches(length + 1);
  std::vector<char> any_later(length + 1);
  // The end of the name.
  for (std::size_t i = 0; i <= length; ++i) {
    matches[i] = i == length || matches_empty(pattern.substr(i));
    any_later[i] = matches[i];
  }
  std::vector<char> next_matches = matches;
  for (std::size_t j = name.size(); j-- > 0;) {
    next_matches.swap(matches);  // next_matches now holds the column of j + 1
    matches[length] = 0;         // a used-up pattern does not match a non-empty rest
    any_later[length] = any_later[length] != 0 || matches[length] != 0;
    for (std::size_t i = length; i-- > 0;) {
      const char p = pattern[i];
      if (p == '*') {
        const std::size_t rest = after_stars[i];
        matches[i] = rest == length || any_later[rest] != 0;
      } else {
        matches[i] = (p == '?' || ascii_upper(p) == ascii_upper(name[j])) && next_matches[i + 1];
      }
      any_later[i] = any_later[i] != 0 || matches[i] != 0;
    }
  }
  return matches[0] != 0;
}

}  // namespace vexal
