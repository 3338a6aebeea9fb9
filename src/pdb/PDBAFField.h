// A field of the AppForge record layout: its data type (which fixes its size), the typed
// accessors with their type rules, and the collection of such fields.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "core/DateTime.h"
#include "pdb/PDBBaseField.h"
#include "pdb/PDBDataGlobals.h"

namespace pdb {

// A currency amount as AppForge stores it: a count of ten-thousandths (12.5 is 125000).
using TAFCurrency = std::int64_t;
inline constexpr std::int64_t kAFCurrencyScale = kPDBCurrencyScale;

class TPDBAFField : public TPDBBaseField {
 public:
  // A new field is a string.
  TPDBAFField();

  TPDBAFFieldType DataType() const { return dataType_; }
  // Frees the raw buffer, stores the type's Size and resets the value.
  void SetDataType(TPDBAFFieldType type);
  // Copies FieldName, DataType, value and Size.
  void Assign(const TPDBAFField& source);

  // Typed accessors. A getter or setter used on a type it is not defined for fails with
  // EPDBException (code 1) and leaves the value unchanged.
  std::uint8_t AsByte() const;
  void SetAsByte(std::uint8_t value);
  std::int16_t AsInteger() const;
  void SetAsInteger(std::int16_t value);
  std::int32_t AsLong() const;
  void SetAsLong(std::int32_t value);
  float AsSingle() const;
  void SetAsSingle(float value);
  double AsDouble() const;
  void SetAsDouble(double value);
  // The value in ten-thousandths (an amount rounded half to even to four places).
  TAFCurrency AsCurrency() const;
  void SetAsCurrency(TAFCurrency tenThousandths);
  core::TDateTime AsDate() const;
  void SetAsDate(core::TDateTime value);
  bool AsBoolean() const;
  void SetAsBoolean(bool value);
  // Any type: the value as text / stores the text.
  std::string AsString() const;
  void SetAsString(std::string value);

 protected:
  std::string_view DefaultDisplayName() const override { return "TPDBAFField"; }

 private:
  void Require(std::initializer_list<TPDBAFFieldType> allowed, int messageId) const;

  TPDBAFFieldType dataType_ = AFString;
};

// A value held as an amount (a currency field's value) in ten-thousandths, rounded half to
// even; fails with core::EConvertError when it does not fit 64 bits.
TAFCurrency ValueToCurrency(const TPDBValue& value);
// The amount of a count of ten-thousandths, held exactly.
TPDBValue CurrencyToValue(TAFCurrency tenThousandths);

// The name of an AppForge type as it appears in messages ("AFLong").
const char* AFFieldTypeName(TPDBAFFieldType type);
// Whether a value stored as `stored` can be read as `wanted` without loss: the same type, a
// text, or a number type that holds every value of the stored one.
bool AFTypeHolds(TPDBAFFieldType wanted, TPDBAFFieldType stored);

// The AppForge field list of an engine or a data set. A new item is a string.
class TPDBAFFields : public TPDBFieldCollection<TPDBAFField> {};

}  // namespace pdb
