// The result of an operation that can fail: its value, or the Failure that says why. A
// failure travels up the stack with its explanation, so the layer that reports it has
// everything it needs, and no layer keeps a "last error" on the side.
#pragma once

#include <cassert>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "base/status.h"

namespace vexal {

// Why an operation failed: the status the user sees (in the report and as the exit
// status) and the lines that explain it, each naming the culprit: a path with the
// system's reason, a name, a line of the definition, an offset in a file. A caller that
// knows more adds its own line with because().
struct Failure {
  Status status = Status::programmer_error;
  std::vector<std::string> explanations;

  Failure(Status failed) : status(failed) {  // NOLINT(google-explicit-constructor)
    assert(failed != Status::ok);
  }
  Failure(Status failed, std::string explanation) : Failure(failed) {
    explanations.push_back(std::move(explanation));
  }

  Failure& because(std::string explanation) & {
    explanations.push_back(std::move(explanation));
    return *this;
  }
  Failure&& because(std::string explanation) && {
    explanations.push_back(std::move(explanation));
    return std::move(*this);
  }
  // Adds the explanations of a failure that came on top of this one (an undo that failed
  // too), after its own.
  Failure& include(const Failure& later) & {
    explanations.insert(explanations.end(), later.explanations.begin(), later.explanations.end());
    return *this;
  }
};

template <typename T>
class [[nodiscard]] Expected {
 public:
  Expected(T value) : state_(std::in_place_index<0>, std::move(value)) {}            // NOLINT
  Expected(Failure failure) : state_(std::in_place_index<1>, std::move(failure)) {}  // NOLINT

  bool has_value() const { return state_.index() == 0; }
  explicit operator bool() const { return has_value(); }

  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  T&& operator*() && { return std::move(value()); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }

  const Failure& failure() const& {
    assert(!has_value());
    return std::get<1>(state_);
  }
  Failure&& failure() && {
    assert(!has_value());
    return std::get<1>(std::move(state_));
  }
  Status status() const { return has_value() ? Status::ok : failure().status; }

 private:
  T& value() {
    assert(has_value());
    return std::get<0>(state_);
  }
  const T& value() const {
    assert(has_value());
    return std::get<0>(state_);
  }

  std::variant<T, Failure> state_;
};

// Success, or the failure of an operation that gives no value.
template <>
class [[nodiscard]] Expected<void> {
 public:
  Expected() = default;
  Expected(Failure failure) : failure_(std::move(failure)) {}  // NOLINT

  bool has_value() const { return !failure_.has_value(); }
  explicit operator bool() const { return has_value(); }

  const Failure& failure() const& {
    assert(!has_value());
    return *failure_;
  }
  Failure&& failure() && {
    assert(!has_value());
    return std::move(*failure_);
  }
  Status status() const { return has_value() ? Status::ok : failure_->status; }

 private:
  std::optional<Failure> failure_;
};

using Outcome = Expected<void>;

}  // namespace vexal
