// A field of the Java record layout: its data type (which fixes its size), the typed accessors
// with their type rules, and the collection of such fields.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "core/DateTime.h"
#include "pdb/PDBBaseField.h"
#include "pdb/PDBDataGlobals.h"

namespace pdb {

class TPDBJavaField : public TPDBBaseField {
 public:
  // A new field is a string.
  TPDBJavaField();

  TPDBJavaFieldType DataType() const { return dataType_; }
  // Frees the raw buffer, stores the type's Size and resets the value.
  void SetDataType(TPDBJavaFieldType type);
  // Copies FieldName, DataType, value and Size.
  void Assign(const TPDBJavaField& source);

  // Typed accessors. A getter or setter used on a type it is not defined for fails with
  // EPDBException (code 1) and leaves the value unchanged.
  bool AsBoolean() const;
  void SetAsBoolean(bool value);
  std::uint8_t AsByte() const;
  void SetAsByte(std::uint8_t value);
  // The character code as a one-character string (the code's low byte); code 0 is the empty
  // string. Setting stores the code of the first character, 0 for an empty text.
  std::string AsChar() const;
  void SetAsChar(std::string_view value);
  std::int32_t AsInt() const;
  void SetAsInt(std::int32_t value);
  std::int64_t AsLong() const;
  void SetAsLong(std::int64_t value);
  std::int16_t AsShort() const;
  void SetAsShort(std::int16_t value);
  core::TDateTime AsDate() const;
  void SetAsDate(core::TDateTime value);
  // Any type: the value as text / stores the text.
  std::string AsString() const;
  void SetAsString(std::string value);

 protected:
  std::string_view DefaultDisplayName() const override { return "TPDBJavaField"; }

 private:
  void Require(std::initializer_list<TPDBJavaFieldType> allowed, int messageId) const;

  TPDBJavaFieldType dataType_ = JString;
};

// A value truncated toward zero to a 64-bit integer (a 64-bit field's form); fails with
// core::EConvertError when it does not fit.
std::int64_t ValueToTruncatedInt64(const TPDBValue& value);

// The Java field list of an engine or a data set. A new item is a string.
class TPDBJavaFields : public TPDBFieldCollection<TPDBJavaField> {};

}  // namespace pdb
