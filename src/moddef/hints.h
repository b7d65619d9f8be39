// Reading a statement as its author most likely meant it: the fix for a failure of the
// text, and what in a statement that runs is probably not what was meant.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"

namespace vexal {

// How a statement ended: its terminator character (';', '\n', '/', or '\0' at the end).
struct StatementText {
  std::string_view text;  // from its first character up to its terminator
  char terminator = ';';
  bool after_slash = false;  // a "/" ended the statement before it on the same line
};

// The fix for the failure a statement ended with, or nothing when no likely one is known.
std::optional<std::string> hint_for_failure(Status status, const StatementText& statement);

// What in a statement that ran is probably a mistake: a "}" in it (a ";" missing before
// the block's end), text after a command's ")" (a second statement without ";"), a
// "/" that cut it short.
std::vector<std::string> doubts_about(const StatementText& statement);

// The word the name most likely stands for: "add" for "Add" or "ad", "replace" for
// "Replace" or "replac"; nothing when it is neither close nor itself.
std::optional<std::string_view> meant_keyword(std::string_view name);

}  // namespace vexal
