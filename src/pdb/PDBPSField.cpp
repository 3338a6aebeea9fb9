#include "pdb/PDBPSField.h"

#include <algorithm>
#include <cmath>

#include "core/Messages.h"

namespace pdb {
namespace {

constexpr core::MessageText kMessages[] = {
    {50000, "Invalid DataType for this Field (PSInt8)!", "Tipo de dado Inválido para este campo (PSInt8)!"},
    {50010, "Invalid DataType for this Field (PSInt8)!", "Tipo de dado Inválido para este campo (PSInt8)!"},
    {50020, "Invalid DataType for this Field (PSInt16)!", "Tipo de dado Inválido para este campo (PSInt16)!"},
    {50030, "Invalid DataType for this Field (PSInt16)!", "Tipo de dado Inválido para este campo (PSInt16)!"},
    {50040, "Invalid DataType for this Field (PSInt32)!", "Tipo de dado Inválido para este campo (PSInt32)!"},
    {50050, "Invalid DataType for this Field (PSInt32)!", "Tipo de dado Inválido para este campo (PSInt32)!"},
    {50060, "Invalid DataType for this Field (PSUInt8)!", "Tipo de dado Inválido para este campo (PSUInt8)!"},
    {50070, "Invalid DataType for this Field (PSUInt8)!", "Tipo de dado Inválido para este campo (PSUInt8)!"},
    {50080, "Invalid DataType for this Field (PSUInt16)!", "Tipo de dado Inválido para este campo (PSUInt16)!"},
    {50090, "Invalid DataType for this Field (PSUInt16)!", "Tipo de dado Inválido para este campo (PSUInt16)!"},
    {50100, "Invalid DataType for this Field (PSUInt32)!", "Tipo de dado Inválido para este campo (PSUInt32)!"},
    {50110, "Invalid DataType for this Field (PSUInt32)!", "Tipo de dado Inválido para este campo (PSUInt32)!"},
    {50120, "Invalid DataType for this Field (PSSingle)!", "Tipo de dado Inválido para este campo (PSSingle)!"},
    {50130, "Invalid DataType for this Field (PSSingle)!", "Tipo de dado Inválido para este campo (PSSingle)!"},
    {50140, "Invalid DataType for this Field (PSDouble)!", "Tipo de dado Inválido para este campo (PSDouble)!"},
    {50150, "Invalid DataType for this Field (PSDouble)!", "Tipo de dado Inválido para este campo (PSDouble)!"},
    {50160, "Invalid DataType for this Field (PSDate)!", "Tipo de dado Inválido para este campo (PSDate)!"},
    {50170, "Invalid DataType for this Field (PSDate)!", "Tipo de dado Inválido para este campo (PSDate)!"},
    {50180, "Invalid DataType for this Field (PSTime)!", "Tipo de dado Inválido para este campo (PSTime)!"},
    {50190, "Invalid DataType for this Field (PSTime)!", "Tipo de dado Inválido para este campo (PSTime)!"},
    {50200, "Invalid DataType for this Field (PSDateTime)!", "Tipo de dado Inválido para este campo (PSDateTime)!"},
    {50210, "Invalid DataType for this Field (PSDateTime)!", "Tipo de dado Inválido para este campo (PSDateTime)!"},
    {50220, "Invalid DataType for this Field (PSBoolean)!", "Tipo de dado Inválido para este campo (PSBoolean)!"},
    {50230, "Invalid DataType for this Field (PSBoolean)!", "Tipo de dado Inválido para este campo (PSBoolean)!"},
    {50270, "Invalid Size for this Field!", "Tamanho Inválido para este campo!"},
};
constexpr core::MessageTable kTable{kMessages};

constexpr std::initializer_list<TPDBPSFieldType> kDateTypes = {PSDate, PSTime, PSDateTime};

// Size and InternalSize defaults of each type.
struct TypeDefaults {
  std::int32_t size;
  std::int32_t internalSize;
};
constexpr TypeDefaults kDefaults[] = {
    {1, 0}, {1, 0}, {2, 0}, {4, 0}, {1, 0}, {2, 0}, {4, 0},  // PSBoolean .. PSUInt32
    {2, 0}, {2, 0}, {4, 0},                                  // PSDate, PSTime, PSDateTime
    {0, 100},                                                // PSString
    {4, 0}, {8, 0}, {0, 0},                                  // PSSingle, PSDouble, PSBinary
};

void CheckSize(std::int32_t size) {
  if (size < 0 || size > kPSMaxFieldSize) RaisePDBError(kTable, 50270, 1);
}

}  // namespace

TPDBPSField::TPDBPSField() { SetDataType(PSString); }

void TPDBPSField::SetDataType(TPDBPSFieldType type) {
  ClearRaw();
  dataType_ = type;
  StoreSize(kDefaults[type].size);
  internalSize_ = kDefaults[type].internalSize;
  if (type == PSBoolean)
    SetValue(false);
  else if (type == PSString)
    SetValue(std::string());
  else
    SetValue(std::int64_t{0});
}

void TPDBPSField::SetSize(std::int32_t size) {
  CheckSize(size);
  if (dataType_ == PSString) StoreSize(size);
}

void TPDBPSField::SetInternalSize(std::int32_t size) {
  CheckSize(size);
  if (dataType_ != PSString)
    internalSize_ = 0;
  else if (size != 0)
    internalSize_ = size;
}

void TPDBPSField::Assign(const TPDBPSField& source) {
  if (&source == this) return;
  SetFieldName(source.FieldName());
  dataType_ = source.dataType_;
  SetValue(source.Value());
  StoreSize(source.Size());
}

void TPDBPSField::TypeError(int messageId) const { RaisePDBError(kTable, messageId, 1); }

bool TPDBPSField::AsBoolean() const {
  Require({PSBoolean}, 50220);
  return ValueToBoolean(Value());
}
void TPDBPSField::SetAsBoolean(bool value) {
  Require({PSBoolean}, 50230);
  SetValue(value);
}

std::int8_t TPDBPSField::AsInt8() const {
  Require({PSInt8}, 50000);
  return static_cast<std::int8_t>(ValueToInt64(Value()));
}
void TPDBPSField::SetAsInt8(std::int8_t value) {
  Require({PSInt8, PSInt16, PSInt32, PSSingle, PSDouble}, 50010);
  SetValue(std::int64_t{value});
}

std::int16_t TPDBPSField::AsInt16() const {
  Require({PSInt16}, 50020);
  return static_cast<std::int16_t>(ValueToInt64(Value()));
}
void TPDBPSField::SetAsInt16(std::int16_t value) {
  Require({PSInt16, PSInt32, PSSingle, PSDouble}, 50030);
  SetValue(std::int64_t{value});
}

std::int32_t TPDBPSField::AsInt32() const {
  Require({PSInt32}, 50040);
  return static_cast<std::int32_t>(ValueToInt64(Value()));
}
void TPDBPSField::SetAsInt32(std::int32_t value) {
  Require({PSInt32, PSSingle, PSDouble}, 50050);
  SetValue(std::int64_t{value});
}

std::uint8_t TPDBPSField::AsUInt8() const {
  Require({PSUInt8}, 50060);
  return static_cast<std::uint8_t>(ValueToInt64(Value()));
}
void TPDBPSField::SetAsUInt8(std::uint8_t value) {
  Require({PSInt16, PSInt32, PSUInt8, PSUInt16, PSUInt32, PSSingle, PSDouble}, 50070);
  SetValue(std::int64_t{value});
}

std::uint16_t TPDBPSField::AsUInt16() const {
  Require({PSUInt16}, 50080);
  return static_cast<std::uint16_t>(ValueToInt64(Value()));
}
void TPDBPSField::SetAsUInt16(std::uint16_t value) {
  Require({PSInt32, PSUInt16, PSUInt32, PSSingle, PSDouble}, 50090);
  SetValue(std::int64_t{value});
}

std::uint32_t TPDBPSField::AsUInt32() const {
  Require({PSUInt32}, 50100);
  // The decoder keeps the number as a double; the getter truncates it.
  const double number = ValueToDouble(Value());
  if (!(number >= 0 && number < 4294967296.0)) return static_cast<std::uint32_t>(ValueToInt64(Value()));
  return static_cast<std::uint32_t>(number);
}
void TPDBPSField::SetAsUInt32(std::uint32_t value) {
  Require({PSUInt32, PSSingle, PSDouble}, 50110);
  SetValue(static_cast<double>(value));
}

float TPDBPSField::AsSingle() const {
  Require({PSInt8, PSInt16, PSInt32, PSUInt8, PSUInt16, PSUInt32, PSSingle}, 50120);
  return static_cast<float>(ValueToDouble(Value()));
}
void TPDBPSField::SetAsSingle(float value) {
  Require({PSSingle, PSDouble}, 50130);
  SetValue(static_cast<double>(value));
}

double TPDBPSField::AsDouble() const {
  Require({PSInt8, PSInt16, PSInt32, PSUInt8, PSUInt16, PSUInt32, PSDate, PSTime, PSDateTime, PSSingle, PSDouble},
          50140);
  return ValueToDouble(Value());
}
void TPDBPSField::SetAsDouble(double value) {
  Require({PSDate, PSTime, PSDateTime, PSDouble}, 50150);
  SetValue(value);
}

core::TDateTime TPDBPSField::AsDate() const {
  Require(kDateTypes, 50160);
  return ValueToDateTime(Value());
}
void TPDBPSField::SetAsDate(core::TDateTime value) {
  Require(kDateTypes, 50170);
  SetValue(value);
}

core::TDateTime TPDBPSField::AsTime() const {
  Require(kDateTypes, 50180);
  return ValueToDateTime(Value());
}
void TPDBPSField::SetAsTime(core::TDateTime value) {
  Require(kDateTypes, 50190);
  SetValue(value);
}

core::TDateTime TPDBPSField::AsDateTime() const {
  Require(kDateTypes, 50200);
  return ValueToDateTime(Value());
}
void TPDBPSField::SetAsDateTime(core::TDateTime value) {
  Require(kDateTypes, 50210);
  SetValue(value);
}

std::string TPDBPSField::AsString() const { return ValueToString(Value()); }
void TPDBPSField::SetAsString(std::string value) { SetValue(std::move(value)); }

}  // namespace pdb
