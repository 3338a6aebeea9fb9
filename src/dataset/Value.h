#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

#include "core/DateTime.h"

namespace dataset {

// A value to look for with Locate: none (null), text, whole number, float, boolean or
// date-time.
class TValue {
 public:
  using Variant = std::variant<std::monostate, std::string, std::int64_t, double, bool, core::TDateTime>;
  TValue() = default;
  TValue(std::nullptr_t) {}
  TValue(const char* text) : value_(std::string(text)) {}
  TValue(std::string_view text) : value_(std::string(text)) {}
  TValue(std::string text) : value_(std::move(text)) {}
  template <typename T>
    requires(std::is_integral_v<T> && !std::is_same_v<T, bool>)
  TValue(T number) : value_(static_cast<std::int64_t>(number)) {}
  TValue(double number) : value_(number) {}
  TValue(bool flag) : value_(flag) {}
  TValue(core::TDateTime date) : value_(date) {}

  bool IsNull() const { return std::holds_alternative<std::monostate>(value_); }
  const Variant& Get() const { return value_; }
  // The value as a data-set text would show it ("" for null, general float format, "True").
  std::string AsText() const;

 private:
  Variant value_;
};

}  // namespace dataset
