#include "moddef/variables.h"

#include <new>

namespace vexal {

namespace {

// Fills out; on a fault returns its code and the text at fault, and leaves emptying the
// store to the caller.
Status expand_references(const VariableStore& store, std::string_view text, std::string& out,
                         int scope, std::string_view& culprit) {
  out.clear();
  std::string_view rest = text;
  while (true) {
    const std::size_t open = rest.find('%');
    if (open == std::string_view::npos) {
      out.append(rest);
      return Status::ok;
    }
    out.append(rest.substr(0, open));
    const std::size_t close = rest.find('%', open + 1);
    if (close == std::string_view::npos) {
      culprit = text;
      return Status::invalid_variable_expression;
    }
    std::string value;
    culprit = rest.substr(open + 1, close - open - 1);
    if (store.lookup(culprit, scope, value) != Status::ok) {
      return Status::undefined_variable;
    }
    out.append(value);
    rest.remove_prefix(close + 1);
  }
}

}  // namespace

void VariableStore::clear() {
  // Releases the capacity as well.
  std::vector<Variable>().swap(variables_);
  std::unordered_map<std::string, std::size_t>().swap(by_name_);
}

Status VariableStore::define(std::string_view name, std::string_view value, int level, int scope) {
  // An empty name could never be referenced (%% is always undefined), so it counts as
  // a missing argument.
  if (name.empty()) {
    clear();
    return Status::programmer_error;
  }
  if (by_name_.contains(std::string(name))) {
    explain("variable \"" + std::string(name) + "\" is already defined");
    clear();
    return Status::variable_already_defined;
  }
  std::string expanded;
  if (const Status status = expand(value, expanded, scope); status != Status::ok) {
    return status;  // expand has emptied the store
  }
  try {
    by_name_.emplace(name, variables_.size());
    variables_.push_back(Variable{std::string(name), std::move(expanded), level});
  } catch (const std::bad_alloc&) {
    clear();
    return Status::out_of_memory;
  }
  return Status::ok;
}

Status VariableStore::expand(std::string_view text, std::string& out, int scope) {
  Status status = Status::ok;
  std::string_view culprit;
  try {
    status = expand_references(*this, text, out, scope, culprit);
    if (status == Status::invalid_variable_expression) {
      explain("no closing \"%\" in \"" + std::string(culprit) + "\"");
    } else if (status == Status::undefined_variable) {
      const bool defined = by_name_.contains(std::string(culprit));
      explain("variable \"" + std::string(culprit) +
              (defined ? "\" is not visible here: PATH variables see only VEXAL and VEXALCD, "
                         "SRC variables see those and the PATH variables"
                       : "\" is not defined"));
    }
  } catch (const std::bad_alloc&) {
    status = Status::out_of_memory;
  }
  if (status != Status::ok) {
    out.clear();
    clear();
  }
  return status;
}

void VariableStore::explain(const std::string& text) const {
  if (reporter_ != nullptr) {
    reporter_->explain(text);
  }
}

Status VariableStore::lookup(std::string_view name, int scope, std::string& value) const {
  const auto found = by_name_.find(std::string(name));
  if (found == by_name_.end() || variables_[found->second].level > scope) {
    return Status::programmer_error;
  }
  value = variables_[found->second].value;
  return Status::ok;
}

}  // namespace vexal
