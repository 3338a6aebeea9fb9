#include "pdb/PDBJavaField.h"

#include <algorithm>
#include <cmath>

#include "core/Messages.h"
#include "core/NumberFormat.h"

namespace pdb {
namespace {

constexpr core::MessageText kMessages[] = {
    {53000, "Invalid DataType for this Field (Boolean)!", "Tipo de dado Inválido para este campo (Boolean)!"},
    {53010, "Invalid DataType for this Field (Boolean)!", "Tipo de dado Inválido para este campo (Boolean)!"},
    {53020, "Invalid DataType for this Field (Byte)!", "Tipo de dado Inválido para este campo (Byte)!"},
    {53030, "Invalid DataType for this Field (Byte)!", "Tipo de dado Inválido para este campo (Byte)!"},
    {53040, "Invalid DataType for this Field (Char)!", "Tipo de dado Inválido para este campo (Char)!"},
    {53050, "Invalid DataType for this Field (Char)!", "Tipo de dado Inválido para este campo (Char)!"},
    {53060, "Invalid DataType for this Field (Int)!", "Tipo de dado Inválido para este campo (Int)!"},
    {53070, "Invalid DataType for this Field (Int)!", "Tipo de dado Inválido para este campo (Int)!"},
    {53080, "Invalid DataType for this Field (Long)!", "Tipo de dado Inválido para este campo (Long)!"},
    {53090, "Invalid DataType for this Field (Long)!", "Tipo de dado Inválido para este campo (Long)!"},
    {53100, "Invalid DataType for this Field (Short)!", "Tipo de dado Inválido para este campo (Short)!"},
    {53110, "Invalid DataType for this Field (Short)!", "Tipo de dado Inválido para este campo (Short)!"},
    {53140, "Invalid DataType for this Field (Date)!", "Tipo de dado Inválido para este campo (Date)!"},
    {53150, "Invalid DataType for this Field (Date)!", "Tipo de dado Inválido para este campo (Date)!"},
};
constexpr core::MessageTable kTable{kMessages};

constexpr std::int32_t kSizes[] = {1, 1, 2, 4, 8, 2, 0, 8};

}  // namespace

std::int64_t ValueToTruncatedInt64(const TPDBValue& value) {
  if (const auto* number = std::get_if<double>(&value)) {
    const double whole = std::trunc(*number);
    if (!std::isfinite(whole) || whole >= 9.2233720368547758e18 || whole < -9.2233720368547758e18)
      throw core::EConvertError::InvalidInteger(core::FormatGeneral(*number));
    return static_cast<std::int64_t>(whole);
  }
  if (const auto* text = std::get_if<std::string>(&value)) {
    if (auto whole = core::ParseInteger64(*text)) return *whole;
    return ValueToTruncatedInt64(TPDBValue(ValueToDouble(value)));
  }
  return ValueToInt64(value);
}

TPDBJavaField::TPDBJavaField() { SetDataType(JString); }

void TPDBJavaField::SetDataType(TPDBJavaFieldType type) {
  ClearRaw();
  dataType_ = type;
  StoreSize(kSizes[type]);
  if (type == JString)
    SetValue(std::string());
  else if (type == JBoolean)
    SetValue(false);
  else
    SetValue(std::int64_t{0});
}

void TPDBJavaField::Assign(const TPDBJavaField& source) {
  if (&source == this) return;
  SetFieldName(source.FieldName());
  dataType_ = source.dataType_;
  SetValue(source.Value());
  StoreSize(source.Size());
}

void TPDBJavaField::Require(std::initializer_list<TPDBJavaFieldType> allowed, int messageId) const {
  if (std::find(allowed.begin(), allowed.end(), dataType_) == allowed.end()) RaisePDBError(kTable, messageId, 1);
}

bool TPDBJavaField::AsBoolean() const {
  Require({JBoolean}, 53000);
  return ValueToBoolean(Value());
}
void TPDBJavaField::SetAsBoolean(bool value) {
  Require({JBoolean}, 53010);
  SetValue(value);
}

std::uint8_t TPDBJavaField::AsByte() const {
  Require({JByte}, 53020);
  return static_cast<std::uint8_t>(ValueToInt64(Value()));
}
void TPDBJavaField::SetAsByte(std::uint8_t value) {
  Require({JByte, JInt, JLong, JShort}, 53030);
  SetValue(std::int64_t{value});
}

std::string TPDBJavaField::AsChar() const {
  Require({JChar}, 53040);
  const auto code = static_cast<std::uint16_t>(ValueToInt64(Value()));
  if (code == 0) return std::string();
  return std::string(1, static_cast<char>(code & 0xFF));
}
void TPDBJavaField::SetAsChar(std::string_view value) {
  Require({JChar}, 53050);
  SetValue(std::int64_t{value.empty() ? 0 : static_cast<std::uint8_t>(value.front())});
}

std::int32_t TPDBJavaField::AsInt() const {
  Require({JByte, JInt}, 53060);
  return static_cast<std::int32_t>(ValueToInt64(Value()));
}
void TPDBJavaField::SetAsInt(std::int32_t value) {
  Require({JInt, JLong}, 53070);
  SetValue(std::int64_t{value});
}

std::int64_t TPDBJavaField::AsLong() const {
  Require({JLong}, 53080);
  return ValueToTruncatedInt64(Value());
}
void TPDBJavaField::SetAsLong(std::int64_t value) {
  Require({JLong}, 53090);
  SetValue(value);
}

std::int16_t TPDBJavaField::AsShort() const {
  Require({JShort}, 53100);
  return static_cast<std::int16_t>(ValueToInt64(Value()));
}
void TPDBJavaField::SetAsShort(std::int16_t value) {
  Require({JInt, JLong, JShort}, 53110);
  SetValue(std::int64_t{value});
}

core::TDateTime TPDBJavaField::AsDate() const {
  Require({JDate}, 53140);
  return ValueToDateTime(Value());
}
void TPDBJavaField::SetAsDate(core::TDateTime value) {
  Require({JDate}, 53150);
  SetValue(value);
}

std::string TPDBJavaField::AsString() const { return ValueToString(Value()); }
void TPDBJavaField::SetAsString(std::string value) { SetValue(std::move(value)); }

}  // namespace pdb
