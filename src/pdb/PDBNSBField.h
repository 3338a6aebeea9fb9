// A field of the NSBasic record layout: its data type, the typed accessors with their type
// rules, and the collection of such fields.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "core/DateTime.h"
#include "pdb/PDBBaseField.h"
#include "pdb/PDBDataGlobals.h"

namespace pdb {

// The largest fixed string size a field accepts.
inline constexpr std::int32_t kNSBMaxFieldSize = 65505;

class TPDBNSBField : public TPDBBaseField {
 public:
  // A new field is a variable-length string.
  TPDBNSBField();

  TPDBNSBFieldType DataType() const { return dataType_; }
  // Frees the raw buffer, stores the type's Size and resets the value.
  void SetDataType(TPDBNSBFieldType type);
  // Only strings take a size (their fixed length, 0 = variable); other types ignore it.
  // Above 65505 fails with 55140.
  void SetSize(std::int32_t size);
  // Copies FieldName, DataType, value and Size.
  void Assign(const TPDBNSBField& source);

  // Typed accessors. A getter or setter used on a type it is not defined for fails with
  // EPDBException (code 1) and leaves the value unchanged.
  std::uint8_t AsByte() const;
  void SetAsByte(std::uint8_t value);
  std::int16_t AsShort() const;
  void SetAsShort(std::int16_t value);
  std::int32_t AsInteger() const;
  void SetAsInteger(std::int32_t value);
  double AsFloat() const;
  void SetAsFloat(double value);
  float AsSingle() const;
  void SetAsSingle(float value);
  core::TDateTime AsDate() const;
  void SetAsDate(core::TDateTime value);
  core::TDateTime AsTime() const;
  void SetAsTime(core::TDateTime value);
  // Any type: the value as text / stores the text.
  std::string AsString() const;
  void SetAsString(std::string value);

 protected:
  std::string_view DefaultDisplayName() const override { return "TPDBNSBField"; }

 private:
  void Require(std::initializer_list<TPDBNSBFieldType> allowed, int messageId) const;

  TPDBNSBFieldType dataType_ = NSBString;
};

// The NSBasic field list of an engine or a data set. A new item is a variable-length string.
class TPDBNSBFields : public TPDBFieldCollection<TPDBNSBField> {};

}  // namespace pdb
