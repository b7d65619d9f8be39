// The variable store: the variables of one run, defined by the settings (VEXAL,
// VEXALCD) and by PATH and SRC blocks, and their %name% references. A variable has the
// level of what defined it, and a text is expanded at the level of the block it stands
// in, which sees the variables of its own level and of the levels before it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/expected.h"

namespace vexal {

// In the order in which they see each other: a PATH block sees the settings' variables,
// a SRC block those and PATH's, an archive block all of them.
enum class VariableLevel : std::uint8_t { settings, path, src, archive };

class VariableStore {
 public:
  // Defines a variable at the level, its value the expansion of value as seen from the
  // level before (the settings' variables see only each other): invalid_variable_expression
  // or undefined_variable as expand gives them, variable_already_defined, or
  // programmer_error for an empty name.
  Outcome define(std::string_view name, std::string_view value, VariableLevel level);
  // The text with every %name% replaced by its value as the level sees it;
  // invalid_variable_expression (an unclosed "%") or undefined_variable.
  Expected<std::string> expand(std::string_view text, VariableLevel level) const;
  // The value of the variable of that name, when the level sees one.
  std::optional<std::string> lookup(std::string_view name, VariableLevel level) const;

  std::size_t count() const { return variables_.size(); }

 private:
  struct Variable {
    std::string name;
    std::string value;
    VariableLevel level = VariableLevel::settings;
  };
  Failure not_visible(std::string_view name) const;

  std::vector<Variable> variables_;
  // The index of each variable by its name (names are unique), so that neither a
  // definition nor a reference walks over all the others: a file of many blocks would
  // otherwise take quadratic time.
  std::unordered_map<std::string, std::size_t> by_name_;
};

}  // namespace vexal
