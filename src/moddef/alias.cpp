#include "moddef/alias.h"

#include <new>

#include "driver/error.h"

namespace vexal {

namespace {

// Fills out; on a fault returns its code and leaves emptying the store to the caller.
int expand_references(const VariableStore& store, std::string_view text, std::string& out,
                      int scope) {
  out.clear();
  std::string_view rest = text;
  while (true) {
    const std::size_t open = rest.find('%');
    if (open == std::string_view::npos) {
      out.append(rest);
      return kOk;
    }
    out.append(rest.substr(0, open));
    const std::size_t close = rest.find('%', open + 1);
    if (close == std::string_view::npos) {
      return kInvalidVariableExpression;
    }
    std::string value;
    if (store.var_lookup(rest.substr(open + 1, close - open - 1), scope, value) != kOk) {
      return kUndefinedVariable;
    }
    out.append(value);
    rest.remove_prefix(close + 1);
  }
}

}  // namespace

void VariableStore::var_reset() {
  variables_.clear();
  by_name_.clear();
}

void VariableStore::var_free_all() {
  // Releases the capacity as well, unlike var_reset.
  std::vector<Variable>().swap(variables_);
  std::unordered_map<std::string, std::size_t>().swap(by_name_);
}

int VariableStore::var_define(std::string_view name, std::string_view value, int level, int scope) {
  // An empty name could never be referenced (%% is always undefined), so it counts as
  // a missing argument.
  if (name.empty()) {
    var_free_all();
    return kProgrammerError;
  }
  if (by_name_.contains(std::string(name))) {
    var_free_all();
    return kVariableAlreadyDefined;
  }
  std::string expanded;
  if (const int code = var_expand(value, expanded, scope); code != kOk) {
    return code;  // var_expand has emptied the store
  }
  try {
    by_name_.emplace(name, variables_.size());
    variables_.push_back(Variable{std::string(name), std::move(expanded), level});
  } catch (const std::bad_alloc&) {
    var_free_all();
    return kOutOfMemory;
  }
  return kOk;
}

int VariableStore::var_expand(std::string_view text, std::string& out, int scope) {
  int code = kOk;
  try {
    code = expand_references(*this, text, out, scope);
  } catch (const std::bad_alloc&) {
    code = kOutOfMemory;
  }
  if (code != kOk) {
    out.clear();
    var_free_all();
  }
  return code;
}

int VariableStore::var_lookup(std::string_view name, int scope, std::string& value) const {
  const auto found = by_name_.find(std::string(name));
  if (found == by_name_.end() || variables_[found->second].level > scope) {
    return kProgrammerError;
  }
  value = variables_[found->second].value;
  return kOk;
}

}  // namespace vexal
