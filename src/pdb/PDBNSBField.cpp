#include "pdb/PDBNSBField.h"

#include <algorithm>

#include "core/Messages.h"

namespace pdb {
namespace {

constexpr core::MessageText kMessages[] = {
    {55000, "Invalid DataType for this Field (Single)!", "Tipo de dado Inválido para este campo (Single)!"},
    {55010, "Invalid DataType for this Field (Single)!", "Tipo de dado Inválido para este campo (Single)!"},
    {55020, "Invalid DataType for this Field (Byte)!", "Tipo de dado Inválido para este campo (Byte)!"},
    {55030, "Invalid DataType for this Field (Byte)!", "Tipo de dado Inválido para este campo (Byte)!"},
    {55040, "Invalid DataType for this Field (Short)!", "Tipo de dado Inválido para este campo (Short)!"},
    {55050, "Invalid DataType for this Field (short)!", "Tipo de dado Inválido para este campo (Short)!"},
    {55060, "Invalid DataType for this Field (Integer)!", "Tipo de dado Inválido para este campo (Integer)!"},
    {55070, "Invalid DataType for this Field (Integer)!", "Tipo de dado Inválido para este campo (Integer)!"},
    {55080, "Invalid DataType for this Field (Float)!", "Tipo de dado Inválido para este campo (Float)!"},
    {55090, "Invalid DataType for this Field (Float)!", "Tipo de dado Inválido para este campo (Float)!"},
    {55100, "Invalid DataType for this Field (Date)!", "Tipo de dado Inválido para este campo (Date)!"},
    {55110, "Invalid DataType for this Field (Date)!", "Tipo de dado Inválido para este campo (Date)!"},
    {55120, "Invalid DataType for this Field (Time)!", "Tipo de dado Inválido para este campo (Time)!"},
    {55130, "Invalid DataType for this Field (Time)!", "Tipo de dado Inválido para este campo (Time)!"},
    {55140, "Invalid Size for this Field!", "Tamanho Inválido para este campo!"},
};
constexpr core::MessageTable kTable{kMessages};

// NSBByte .. NSBDouble: the numeric types.
constexpr std::initializer_list<TPDBNSBFieldType> kNumeric = {NSBByte,  NSBShort,  NSBInteger,
                                                              NSBFloat, NSBSingle, NSBDouble};
constexpr std::initializer_list<TPDBNSBFieldType> kReals = {NSBFloat, NSBSingle, NSBDouble};

constexpr std::int32_t kSizes[] = {1, 2, 4, 8, 4, 8, 8, 8, 0};

}  // namespace

TPDBNSBField::TPDBNSBField() { SetDataType(NSBString); }

void TPDBNSBField::SetDataType(TPDBNSBFieldType type) {
  ClearRaw();
  dataType_ = type;
  StoreSize(kSizes[type]);
  if (type == NSBString)
    SetValue(std::string());
  else
    SetValue(std::int64_t{0});
}

void TPDBNSBField::SetSize(std::int32_t size) {
  if (size < 0 || size > kNSBMaxFieldSize) RaisePDBError(kTable, 55140, 1);
  if (dataType_ == NSBString) StoreSize(size);
}

void TPDBNSBField::Assign(const TPDBNSBField& source) {
  if (&source == this) return;
  SetFieldName(source.FieldName());
  dataType_ = source.dataType_;
  SetValue(source.Value());
  StoreSize(source.Size());
}

void TPDBNSBField::Require(std::initializer_list<TPDBNSBFieldType> allowed, int messageId) const {
  if (std::find(allowed.begin(), allowed.end(), dataType_) == allowed.end()) RaisePDBError(kTable, messageId, 1);
}

std::uint8_t TPDBNSBField::AsByte() const {
  Require({NSBByte}, 55020);
  return static_cast<std::uint8_t>(ValueToInt64(Value()));
}
void TPDBNSBField::SetAsByte(std::uint8_t value) {
  Require(kNumeric, 55030);
  SetValue(std::int64_t{value});
}

std::int16_t TPDBNSBField::AsShort() const {
  Require({NSBByte, NSBShort}, 55040);
  return static_cast<std::int16_t>(ValueToInt64(Value()));
}
void TPDBNSBField::SetAsShort(std::int16_t value) {
  Require({NSBShort, NSBInteger, NSBFloat, NSBSingle, NSBDouble}, 55050);
  SetValue(std::int64_t{value});
}

std::int32_t TPDBNSBField::AsInteger() const {
  Require({NSBByte, NSBShort, NSBInteger}, 55060);
  return static_cast<std::int32_t>(ValueToInt64(Value()));
}
void TPDBNSBField::SetAsInteger(std::int32_t value) {
  Require({NSBInteger, NSBFloat, NSBSingle, NSBDouble}, 55070);
  SetValue(std::int64_t{value});
}

double TPDBNSBField::AsFloat() const {
  Require({NSBByte, NSBShort, NSBInteger, NSBFloat, NSBSingle, NSBDouble, NSBDate, NSBTime}, 55080);
  return ValueToDouble(Value());
}
void TPDBNSBField::SetAsFloat(double value) {
  Require(kReals, 55090);
  SetValue(value);
}

float TPDBNSBField::AsSingle() const {
  Require({NSBByte, NSBShort, NSBInteger, NSBSingle}, 55000);
  return static_cast<float>(ValueToDouble(Value()));
}
void TPDBNSBField::SetAsSingle(float value) {
  Require(kReals, 55010);
  SetValue(static_cast<double>(value));
}

core::TDateTime TPDBNSBField::AsDate() const {
  Require({NSBDate}, 55100);
  return ValueToDateTime(Value());
}
void TPDBNSBField::SetAsDate(core::TDateTime value) {
  Require({NSBDate}, 55110);
  SetValue(value);
}

core::TDateTime TPDBNSBField::AsTime() const {
  Require({NSBTime}, 55120);
  return ValueToDateTime(Value());
}
void TPDBNSBField::SetAsTime(core::TDateTime value) {
  Require({NSBTime}, 55130);
  SetValue(value);
}

std::string TPDBNSBField::AsString() const { return ValueToString(Value()); }
void TPDBNSBField::SetAsString(std::string value) { SetValue(std::move(value)); }

}  // namespace pdb
