#include "moddef/hints.h"

#include <algorithm>
#include <array>

#include "platform/ascii.h"

namespace vexal {

namespace {

constexpr std::string_view kBlanks = " \t\n";

std::string_view trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// The name a statement starts with: the text before its "(" or "=".
std::string_view name_of(std::string_view statement) {
  return trimmed(statement.substr(0, statement.find_first_of("(=")));
}

// What follows the ")" that closes a command's list; empty for an assignment.
std::string_view after_list(std::string_view statement) {
  const std::size_t open = statement.find_first_of("(=");
  if (open == std::string_view::npos || statement[open] != '(') {
    return {};
  }
  const std::size_t close = statement.find(')', open);
  return close == std::string_view::npos ? std::string_view{}
                                         : trimmed(statement.substr(close + 1));
}

// Edits (insertions, deletions, substitutions) that turn a into b, ignoring letter case.
std::size_t edit_distance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) {
    row[j] = j;
  }
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      const bool same = ascii_upper(a[i - 1]) == ascii_upper(b[j - 1]);
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::string quoted(std::string_view text) {
  return "\"" + std::string(text) + "\"";
}

// "commands are lower case: add" or "did you mean add?", for a name the language refuses.
std::optional<std::string> keyword_hint(std::string_view name, std::string_view kind) {
  const std::optional<std::string_view> meant = meant_keyword(name);
  if (!meant || name == *meant) {
    return std::nullopt;
  }
  if (equal_ignoring_case(name, *meant)) {
    return std::string(kind) + " are lower case: " + std::string(*meant);
  }
  return "did you mean " + std::string(*meant) + "?";
}

}  // namespace

std::optional<std::string_view> meant_keyword(std::string_view name) {
  for (const std::string_view keyword : std::array<std::string_view, 2>{"add", "replace"}) {
    // One slip in a short word, two in a long one.
    const std::size_t allowed = keyword.size() <= 3 ? 1 : 2;
    if (!name.empty() && edit_distance(name, keyword) <= allowed) {
      return keyword;
    }
  }
  return std::nullopt;
}

std::optional<std::string> hint_for_failure(Status status, const StatementText& statement) {
  if (statement.terminator == '/' || statement.after_slash) {
    return "a '/' ends a statement in a definition: write paths with '\\'";
  }
  const std::string_view name = name_of(statement.text);
  switch (status) {
    case Status::unknown_command:
      if (!after_list(statement.text).empty()) {
        const std::size_t close = statement.text.find(')');
        return "a ';' is missing after " + quoted(trimmed(statement.text.substr(0, close + 1))) +
               ": end each statement with ';'";
      }
      return keyword_hint(name, "commands");
    case Status::misplaced_equals:
      if (std::count(statement.text.begin(), statement.text.end(), '=') > 1) {
        return std::string("a ';' is missing between the two assignments: end each with ';'");
      }
      return std::nullopt;
    case Status::invalid_variable:
      return keyword_hint(name, "variables of an archive block");
    case Status::invalid_variable_value:
      return std::string("replace takes a number: 0 or 1");
    default:
      return std::nullopt;
  }
}

std::vector<std::string> doubts_about(const StatementText& statement) {
  std::vector<std::string> doubts;
  const std::string_view text = trimmed(statement.text);
  if (text.find('}') != std::string_view::npos) {
    doubts.push_back("the statement " + quoted(text) +
                     " holds \"}\": a ';' is missing before \"}\", which ends the block");
  } else if (const std::string_view rest = after_list(text); !rest.empty()) {
    doubts.push_back(quoted(rest) + " after " + std::string(name_of(text)) +
                     "(...) is ignored: a second statement needs a ';' before it");
  }
  if (statement.terminator == '/') {
    doubts.push_back("a '/' ends the statement " + quoted(text) +
                     ": write paths with '\\', and comments with \"//\"");
  }
  return doubts;
}

}  // namespace vexal
