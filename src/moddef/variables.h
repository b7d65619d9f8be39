// The variable store: the variables of one run, defined by the settings (VEXAL,
// VEXALCD) and by PATH and SRC blocks, and their %name% references. A variable has a
// level and a lookup has a scope (both class codes); a lookup sees the variables whose
// level is at most its scope.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/reporter.h"
#include "base/status.h"

namespace vexal {

class VariableStore {
 public:
  VariableStore() = default;
  // A store that explains its failures (the name or text at fault) to the reporter.
  explicit VariableStore(Reporter& reporter) : reporter_(&reporter) {}

  // Empties the store. Every failure of define and expand empties it too.
  void clear();

  // Defines a variable whose value is the expansion of value at scope; ok,
  // programmer_error (an empty name), out_of_memory, variable_already_defined,
  // invalid_variable_expression or undefined_variable.
  Status define(std::string_view name, std::string_view value, int level, int scope);
  // Writes text with every %name% replaced by its value into out; ok,
  // invalid_variable_expression or undefined_variable.
  Status expand(std::string_view text, std::string& out, int scope);
  // ok and the value of the visible variable of that name, or programmer_error.
  Status lookup(std::string_view name, int scope, std::string& value) const;

  std::size_t count() const { return variables_.size(); }

 private:
  struct Variable {
    std::string name;
    std::string value;
    int level = 0;
  };
  void explain(const std::string& text) const;

  Reporter* reporter_ = nullptr;
  std::vector<Variable> variables_;
  // The index of each variable by its name (names are unique), so that neither a
  // definition nor a reference walks over all the others: a file of many blocks would
  // otherwise take quadratic time.
  std::unordered_map<std::string, std::size_t> by_name_;
};

}  // namespace vexal
