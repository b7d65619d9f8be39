#include "moddef/variables.h"

namespace vexal {

namespace {

VariableLevel level_before(VariableLevel level) {
  return level == VariableLevel::settings ? level
                                          : static_cast<VariableLevel>(static_cast<int>(level) - 1);
}

}  // namespace

Outcome VariableStore::define(std::string_view name, std::string_view value, VariableLevel level) {
  // An empty name could never be referenced (%% is always undefined), so it counts as
  // a missing argument.
  if (name.empty()) {
    return Failure(Status::programmer_error);
  }
  if (by_name_.contains(std::string(name))) {
    return Failure(Status::variable_already_defined,
                   "variable \"" + std::string(name) + "\" is already defined");
  }
  Expected<std::string> expanded = expand(value, level_before(level));
  if (!expanded) {
    return std::move(expanded).failure();
  }
  by_name_.emplace(name, variables_.size());
  variables_.push_back(Variable{std::string(name), std::move(*expanded), level});
  return {};
}

Expected<std::string> VariableStore::expand(std::string_view text, VariableLevel level) const {
  std::string out;
  std::string_view rest = text;
  while (true) {
    const std::size_t open = rest.find('%');
    if (open == std::string_view::npos) {
      return out.append(rest);
    }
    out.append(rest.substr(0, open));
    const std::size_t close = rest.find('%', open + 1);
    if (close == std::string_view::npos) {
      return Failure(Status::invalid_variable_expression,
                     "no closing \"%\" in \"" + std::string(text) + "\"");
    }
    const std::string_view name = rest.substr(open + 1, close - open - 1);
    const std::optional<std::string> value = lookup(name, level);
    if (!value) {
      return not_visible(name);
    }
    out.append(*value);
    rest.remove_prefix(close + 1);
  }
}

std::optional<std::string> VariableStore::lookup(std::string_view name, VariableLevel level) const {
  const auto found = by_name_.find(std::string(name));
  if (found == by_name_.end() || variables_[found->second].level > level) {
    return std::nullopt;
  }
  return variables_[found->second].value;
}

Failure VariableStore::not_visible(std::string_view name) const {
  const bool defined = by_name_.contains(std::string(name));
  return {Status::undefined_variable,
          "variable \"" + std::string(name) +
              (defined ? "\" is not visible here: PATH variables see only VEXAL and VEXALCD, "
                         "SRC variables see those and the PATH variables"
                       : "\" is not defined")};
}

}  // namespace vexal
