#include "platform/list_pattern.h"

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

bool match_from(std::string_view pattern, std::string_view name) {
  while (!pattern.empty()) {
    if (name.empty()) {
      return matches_empty(pattern);
    }
    const char p = pattern.front();
    if (p == '*') {
      while (!pattern.empty() && pattern.front() == '*') {
        pattern.remove_prefix(1);
      }
      if (pattern.empty()) {
        return true;
      }
      for (std::size_t skip = 0; skip <= name.size(); ++skip) {
        if (match_from(pattern, name.substr(skip))) {
          return true;
        }
      }
      return false;
    }
    if (p != '?' && ascii_upper(p) != ascii_upper(name.front())) {
      return false;
    }
    pattern.remove_prefix(1);
    name.remove_prefix(1);
  }
  return name.empty();
}

}  // namespace

bool matches_list_pattern(std::string_view pattern, std::string_view name) {
  if (name.empty()) {
    return false;
  }
  return match_from(pattern, name);
}

}  // namespace vexal
