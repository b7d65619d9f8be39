// How an operation of the file system ended: done, or failed with the operating system's
// reason. The reason travels with the result that failed, so no backend keeps a "last
// error" that a later call could overwrite before it is read.
#pragma once

#include <cassert>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace vexal {

class [[nodiscard]] IoResult {
 public:
  IoResult() = default;  // done
  // Failed; reason is empty when the backend cannot tell why.
  static IoResult failed(std::string reason) { return IoResult(std::move(reason)); }

  bool ok() const { return ok_; }
  explicit operator bool() const { return ok_; }
  // Why it failed, in the operating system's words; empty when done or when unknown.
  const std::string& reason() const { return reason_; }
  // "<what>: <reason>", or "<what>: <fallback>" when the reason is unknown.
  std::string describe(std::string_view what, std::string_view fallback = "failed") const {
    std::string text(what);
    text += ": ";
    text += reason_.empty() ? fallback : std::string_view(reason_);
    return text;
  }

 private:
  explicit IoResult(std::string reason) : ok_(false), reason_(std::move(reason)) {}

  bool ok_ = true;
  std::string reason_;
};

// The value of an operation of the file system, or the failure that says why there is none.
template <typename T>
class [[nodiscard]] IoExpected {
 public:
  IoExpected(T value) : state_(std::in_place_index<0>, std::move(value)) {}            // NOLINT
  IoExpected(IoResult failure) : state_(std::in_place_index<1>, std::move(failure)) {  // NOLINT
    assert(!std::get<1>(state_).ok());
  }

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }

  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  T&& operator*() && { return std::move(value()); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  T value_or(T fallback) const& { return ok() ? value() : std::move(fallback); }

  // Done when there is a value.
  IoResult result() const { return ok() ? IoResult() : std::get<1>(state_); }
  const std::string& reason() const {
    static const std::string none;
    return ok() ? none : std::get<1>(state_).reason();
  }
  std::string describe(std::string_view what, std::string_view fallback = "failed") const {
    return result().describe(what, fallback);
  }

 private:
  T& value() {
    assert(ok());
    return std::get<0>(state_);
  }
  const T& value() const {
    assert(ok());
    return std::get<0>(state_);
  }

  std::variant<T, IoResult> state_;
};

}  // namespace vexal
