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

namespace vexal {

class VariableStore {
 public:
  // Empties the store. Every failure of var_define and var_expand empties it too.
  void var_reset();
  void var_free_all();

  // Defines a variable whose value is the expansion of value at scope; 0, 2, 3, 100,
  // 101 or 102.
  int var_define(std::string_view name, std::string_view value, int level, int scope);
  // Writes text with every %name% replaced by its value into out; 0, 101 or 102.
  int var_expand(std::string_view text, std::string& out, int scope);
  // 0 and the value of the visible variable of that name, or 2.
  int var_lookup(std::string_view name, int scope, std::string& value) const;

  std::size_t count() const { return variables_.size(); }

 private:
  struct Variable {
    std::string name;
    std::string value;
    int level = 0;
  };
  std::vector<Variable> variables_;
  // The index of each variable by its name (names are unique), so that neither a
  // definition nor a reference walks over all the others: a file of many blocks would
  // otherwise take quadratic time.
  std::unordered_map<std::string, std::size_t> by_name_;
};

}  // namespace vexal
