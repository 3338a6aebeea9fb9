// Typed fields over a raw record: the field definitions of a record layout and the decoder that
// fills them from the record's bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "core/ByteIO.h"
#include "core/DateTime.h"

namespace sya {

// The data types a record field can have; the comment gives the bytes it takes in the record.
enum TPDBFieldType : std::uint8_t {
  pdtByte,          // 1, unsigned
  pdtWord,          // 2, unsigned
  pdtInteger,       // 4, signed
  pdtFloat,         // 4, IEEE single
  pdtDouble,        // 8, IEEE double
  pdtDate,          // 4, unsigned seconds since 1970-01-01, no time-zone change
  pdtString,        // Size 0: up to and including a zero byte; Size n: n bytes + terminator
  pdtPSBoolean,     // 1, true when not 0
  pdtPSInt8,        // 1, signed
  pdtPSInt16,       // 2, signed
  pdtPSInt32,       // 4, signed
  pdtPSUInt8,       // 1, unsigned
  pdtPSUInt16,      // 2, unsigned
  pdtPSUInt32,      // 4, unsigned, given as a single-precision number
  pdtPSDate,        // 2, bits 15..9 year - 1904, 8..5 month, 4..0 day
  pdtPSTime,        // 2, high byte hour, low byte minute
  pdtPSDateTime,    // 4, unsigned seconds since 1904-01-01
  pdtPSString,      // as pdtString
  pdtPSSingle,      // 4, IEEE single
  pdtPSDouble,      // 8, IEEE double
};
inline constexpr int kFieldTypeCount = 20;

// The record size a type gives a field (0 for the zero-terminated strings).
std::int32_t DefaultFieldSize(TPDBFieldType type);
bool IsStringType(TPDBFieldType type);

// A decoded field value: integers, floating-point numbers, booleans, texts (bytes as stored) and
// date-times.
using TFieldValue = std::variant<std::int64_t, double, bool, std::string, core::TDateTime>;

// One field of a record layout.
class TPDBField {
 public:
  explicit TPDBField(std::string fieldName = {}, TPDBFieldType type = pdtString);

  const std::string& FieldName() const { return fieldName_; }
  void SetFieldName(std::string name) { fieldName_ = std::move(name); }
  TPDBFieldType DataType() const { return dataType_; }
  // Sets the type, its size and an empty value of the type.
  void SetDataType(TPDBFieldType type);
  std::int32_t Size() const { return size_; }
  // Only the string types take a size of their own; other types keep theirs.
  void SetSize(std::int32_t size);
  const TFieldValue& Value() const { return value_; }
  void SetValue(TFieldValue value) { value_ = std::move(value); }
  // The field's bytes as last decoded.
  const core::Bytes& RawData() const { return rawData_; }

  // Copies name, type, value and size (not the raw bytes).
  void Assign(const TPDBField& other);

  // Decodes this field from `record` at `pos` and returns the position after it; refuses (2660)
  // a field whose bytes do not lie within the record.
  std::size_t DecodeFrom(core::ByteSpan record, std::size_t pos);

 private:
  std::string fieldName_;
  TPDBFieldType dataType_ = pdtString;
  std::int32_t size_ = 0;
  TFieldValue value_;
  core::Bytes rawData_;
};

// The field definitions of a record, in record order.
class TPDBFields {
 public:
  TPDBField& Add(std::string fieldName, TPDBFieldType type);
  std::size_t Count() const { return items_.size(); }
  bool Empty() const { return items_.empty(); }
  TPDBField& operator[](std::size_t i) { return items_.at(i); }
  const TPDBField& operator[](std::size_t i) const { return items_.at(i); }
  // The field of that name without regard to letter case, or nullptr.
  TPDBField* FindField(std::string_view fieldName);
  void Clear() { items_.clear(); }
  auto begin() { return items_.begin(); }
  auto end() { return items_.end(); }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  std::vector<TPDBField> items_;
};

// Fills every field from the record, field after field from the record's first byte.
void DecodeFields(TPDBFields& fields, core::ByteSpan record);

}  // namespace sya
