// A field of the PocketStudio record layout: its data type, the typed accessors with their type
// rules, and the collection of such fields.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/DateTime.h"
#include "pdb/PDBBaseField.h"
#include "pdb/PDBDataGlobals.h"

namespace pdb {

// The largest fixed or internal string size a field accepts.
inline constexpr std::int32_t kPSMaxFieldSize = 65505;

class TPDBPSField : public TPDBBaseField {
 public:
  // A new field is a variable-length string with an internal size of 100.
  TPDBPSField();

  TPDBPSFieldType DataType() const { return dataType_; }
  // Frees the raw buffer, then sets Size, InternalSize and the value to the type's defaults.
  void SetDataType(TPDBPSFieldType type);
  // Only strings take a size (their fixed length, 0 = variable); other types ignore it.
  void SetSize(std::int32_t size);
  // The length of the data-set string field built for a string; other types hold 0.
  std::int32_t InternalSize() const { return internalSize_; }
  void SetInternalSize(std::int32_t size);
  // Copies FieldName, DataType, value and Size.
  void Assign(const TPDBPSField& source);

  // Typed accessors. A getter or setter used on a type it is not defined for fails with
  // EPDBException (code 1) and leaves the value unchanged.
  bool AsBoolean() const;
  void SetAsBoolean(bool value);
  std::int8_t AsInt8() const;
  void SetAsInt8(std::int8_t value);
  std::int16_t AsInt16() const;
  void SetAsInt16(std::int16_t value);
  std::int32_t AsInt32() const;
  void SetAsInt32(std::int32_t value);
  std::uint8_t AsUInt8() const;
  void SetAsUInt8(std::uint8_t value);
  std::uint16_t AsUInt16() const;
  void SetAsUInt16(std::uint16_t value);
  std::uint32_t AsUInt32() const;
  void SetAsUInt32(std::uint32_t value);
  float AsSingle() const;
  void SetAsSingle(float value);
  double AsDouble() const;
  void SetAsDouble(double value);
  core::TDateTime AsDate() const;
  void SetAsDate(core::TDateTime value);
  core::TDateTime AsTime() const;
  void SetAsTime(core::TDateTime value);
  core::TDateTime AsDateTime() const;
  void SetAsDateTime(core::TDateTime value);
  // Any type: the value as text / stores the text.
  std::string AsString() const;
  void SetAsString(std::string value);

 protected:
  std::string_view DefaultDisplayName() const override { return "TPDBPSField"; }

 private:
  // Every typed accessor checks the type first: the check is inline, the failure is not.
  void Require(std::initializer_list<TPDBPSFieldType> allowed, int messageId) const {
    for (const TPDBPSFieldType type : allowed)
      if (type == dataType_) return;
    TypeError(messageId);
  }
  [[noreturn]] void TypeError(int messageId) const;

  TPDBPSFieldType dataType_ = PSString;
  std::int32_t internalSize_ = 100;
};

// The PocketStudio field list of an engine or a data set. A new item is a variable-length string.
class TPDBPSFields : public TPDBFieldCollection<TPDBPSField> {};

}  // namespace pdb
