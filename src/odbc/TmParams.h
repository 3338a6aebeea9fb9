// Named statement parameters: the text form ":name" is parsed into a statement with "?"
// markers and a list of parameters that carry a type and a value.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "core/DateTime.h"
#include "dataset/FieldType.h"

namespace odbc {

enum class TParamType { ptUnknown, ptInput, ptOutput, ptInputOutput, ptResult };

// The statement text with every parameter replaced by "?", and the parameter names in the
// order of the markers (a name used twice appears twice).
struct TParsedSQL {
  std::string text;
  std::vector<std::string> names;
};

// Scans `sql` once. A ":" outside a quoted literal starts a parameter whose name runs to the
// next blank, ",", ";", ")", CR or LF outside a literal; a name right after the colon that
// starts with a quote is taken without its quotes (":\"my name\""). "::" stands for one ":".
// Both quote characters open and close literals; colons inside literals are left alone. A
// colon with no name after it stays a colon.
TParsedSQL ParseSQLParams(std::string_view sql);

class TmParam {
 public:
  // Null (no value), blob and memo values are bytes in std::string, like strings.
  using Value = std::variant<std::monostate, std::string, std::int64_t, double, bool, core::TDateTime>;

  explicit TmParam(std::string name, TParamType paramType = TParamType::ptInput)
      : name_(std::move(name)), paramType_(paramType) {}

  const std::string& Name() const { return name_; }
  TParamType ParamType() const { return paramType_; }
  dataset::TFieldType DataType() const { return dataType_; }
  void SetDataType(dataset::TFieldType type) { dataType_ = type; }
  // Whether a value (null included) was assigned to the parameter itself.
  bool Bound() const { return bound_; }
  void SetBound(bool bound) { bound_ = bound; }
  bool IsNull() const { return std::holds_alternative<std::monostate>(value_); }
  const Value& RawValue() const { return value_; }

  // Makes the value null; the data type stays.
  void Clear();
  void SetAsString(std::string value) { Set(dataset::TFieldType::String, std::move(value)); }
  void SetAsMemo(std::string value) { Set(dataset::TFieldType::Memo, std::move(value)); }
  void SetAsBlob(std::string bytes) { Set(dataset::TFieldType::Blob, std::move(bytes)); }
  void SetAsSmallInt(std::int16_t value) { Set(dataset::TFieldType::Smallint, std::int64_t{value}); }
  void SetAsWord(std::uint16_t value) { Set(dataset::TFieldType::Word, std::int64_t{value}); }
  void SetAsInteger(std::int32_t value) { Set(dataset::TFieldType::Integer, std::int64_t{value}); }
  void SetAsBoolean(bool value) { Set(dataset::TFieldType::Boolean, value); }
  void SetAsFloat(double value) { Set(dataset::TFieldType::Float, value); }
  void SetAsCurrency(double value) { Set(dataset::TFieldType::Currency, value); }
  void SetAsDate(core::TDateTime value) { Set(dataset::TFieldType::Date, value); }
  void SetAsTime(core::TDateTime value) { Set(dataset::TFieldType::Time, value); }
  void SetAsDateTime(core::TDateTime value) { Set(dataset::TFieldType::DateTime, value); }

  // Readers; they throw std::invalid_argument for a value of another kind (null reads as empty
  // text, 0, false).
  std::string AsString() const;
  std::int64_t AsInteger() const;
  double AsFloat() const;
  bool AsBoolean() const;
  core::TDateTime AsDateTime() const;

  // Takes type, value and bound flag of `other` (the name stays).
  void AssignValue(const TmParam& other);

 private:
  void Set(dataset::TFieldType type, Value value);

  std::string name_;
  TParamType paramType_;
  dataset::TFieldType dataType_ = dataset::TFieldType::Unknown;
  Value value_;
  bool bound_ = false;
};

// The parameters of one statement, each name once (names compare without regard to case).
class TmParams {
 public:
  std::size_t Count() const { return items_.size(); }
  bool Empty() const { return items_.empty(); }
  TmParam& operator[](std::size_t index) { return items_.at(index); }
  const TmParam& operator[](std::size_t index) const { return items_.at(index); }
  auto begin() { return items_.begin(); }
  auto end() { return items_.end(); }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

  TmParam& CreateParam(std::string name, TParamType paramType = TParamType::ptInput);
  TmParam* FindParam(std::string_view name);
  const TmParam* FindParam(std::string_view name) const;
  // std::out_of_range "Parameter '<name>' not found" when missing.
  TmParam& ParamByName(std::string_view name);
  void Clear() { items_.clear(); }
  // Takes the values of same-named parameters of `other`.
  void AssignValues(const TmParams& other);
  // A new list with one input parameter per distinct name of `names`.
  static TmParams FromNames(const std::vector<std::string>& names);

 private:
  std::vector<TmParam> items_;
};

}  // namespace odbc
