#pragma once
// Operations return either success or an owned failure text; nothing else
// crosses a module boundary (no error codes, no exceptions).

#include <optional>
#include <string>
#include <utility>

namespace vestrana {

class [[nodiscard]] Result {
 public:
  static Result success() { return Result(); }
  static Result failure(std::string text) { return Result(std::move(text)); }

  bool ok() const { return !failure_.has_value(); }
  explicit operator bool() const { return ok(); }
  // Only meaningful when !ok().
  const std::string& failure_text() const { return *failure_; }
  std::string take_failure_text() { return std::move(*failure_); }

 private:
  Result() = default;
  explicit Result(std::string text) : failure_(std::move(text)) {}
  std::optional<std::string> failure_;
};

// A value, or the failure text that explains why there is none.
template <class T>
class [[nodiscard]] Expected {
 public:
  Expected(T value) : value_(std::move(value)) {}  // NOLINT: implicit on purpose
  static Expected failure(std::string text) { return Expected(Tag{}, std::move(text)); }

  bool ok() const { return value_.has_value(); }
  explicit operator bool() const { return ok(); }
  T& value() { return *value_; }
  const T& value() const { return *value_; }
  T& operator*() { return *value_; }
  const T& operator*() const { return *value_; }
  T* operator->() { return &*value_; }
  const T* operator->() const { return &*value_; }
  const std::string& failure_text() const { return failure_; }
  std::string take_failure_text() { return std::move(failure_); }

 private:
  struct Tag {};
  Expected(Tag, std::string text) : failure_(std::move(text)) {}
  std::optional<T> value_;
  std::string failure_;
};

}  // namespace vestrana
