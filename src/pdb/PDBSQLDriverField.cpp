#include "pdb/PDBSQLDriverField.h"

#include <algorithm>

#include "core/Messages.h"
#include "pdb/PDBJavaField.h"

namespace pdb {
namespace {

constexpr core::MessageText kMessages[] = {
    {52800, "Invalid DataType for this Field (Char)!", "Tipo de dado Inválido para este campo (Char)!"},
    {52820, "Invalid DataType for this Field (Int)!", "Tipo de dado Inválido para este campo (Int)!"},
    {52830, "Invalid DataType for this Field (Int)!", "Tipo de dado Inválido para este campo (Int)!"},
    {52840, "Invalid DataType for this Field (Long)!", "Tipo de dado Inválido para este campo (Long)!"},
    {52850, "Invalid DataType for this Field (Long)!", "Tipo de dado Inválido para este campo (Long)!"},
    {52860, "Invalid DataType for this Field (Short)!", "Tipo de dado Inválido para este campo (Short)!"},
    {52870, "Invalid DataType for this Field (Short)!", "Tipo de dado Inválido para este campo (Short)!"},
    {52880, "Invalid DataType for this Field (Float)!", "Tipo de dado Inválido para este campo (Float)!"},
    {52890, "Invalid DataType for this Field (Float)!", "Tipo de dado Inválido para este campo (Float)!"},
    {52910, "Invalid DataType for this Field (Double)!", "Tipo de dado Inválido para este campo (Double)!"},
};
constexpr core::MessageTable kTable{kMessages};

// The message box text for an odd string size (shown in Portuguese whatever the locale).
constexpr std::string_view kOddSizeMessage = "Tamanho da String deve ser PAR!";
constexpr std::string_view kOddSizeCaption = "Erro";

constexpr std::int32_t kSizes[] = {kSQLDriverDefaultCharSize, 2, 4, 8, 4, 8};

}  // namespace

TPDBSQLDriverField::TPDBSQLDriverField() { SetDataType(PDChar); }

void TPDBSQLDriverField::SetDataType(TPDBSQLDriverFieldType type) {
  ClearRaw();
  dataType_ = type;
  StoreSize(kSizes[type]);
  switch (type) {
    case PDChar: SetValue(std::string()); break;
    case PDFloat:
    case PDDouble: SetValue(0.0); break;
    default: SetValue(std::int64_t{0}); break;
  }
}

void TPDBSQLDriverField::SetSize(std::int32_t size) {
  if (dataType_ != PDChar) return;
  if (size <= 0 || size > kSQLDriverMaxCharSize) {
    StoreSize(kSQLDriverDefaultCharSize);
  } else if (size % 2 != 0) {
    StoreSize(kSQLDriverDefaultCharSize);
    if (reporter_) reporter_->ShowError(kOddSizeCaption, kOddSizeMessage);
  } else {
    StoreSize(size);
  }
}

void TPDBSQLDriverField::Assign(const TPDBSQLDriverField& source) {
  if (&source == this) return;
  SetFieldName(source.FieldName());
  dataType_ = source.dataType_;
  SetValue(source.Value());
  StoreSize(source.Size());
}

void TPDBSQLDriverField::Require(std::initializer_list<TPDBSQLDriverFieldType> allowed, int messageId) const {
  if (std::find(allowed.begin(), allowed.end(), dataType_) == allowed.end()) RaisePDBError(kTable, messageId, 1);
}

std::string TPDBSQLDriverField::AsString() const {
  Require({PDChar}, 52800);
  return ValueToString(Value());
}
void TPDBSQLDriverField::SetAsString(std::string value) { SetValue(std::move(value)); }

std::int16_t TPDBSQLDriverField::AsShort() const {
  Require({PDShort}, 52860);
  return static_cast<std::int16_t>(ValueToInt64(Value()));
}
void TPDBSQLDriverField::SetAsShort(std::int16_t value) {
  Require({PDShort, PDInt, PDLong}, 52870);
  SetValue(std::int64_t{value});
}

std::int32_t TPDBSQLDriverField::AsInt() const {
  Require({PDShort, PDInt}, 52820);
  return static_cast<std::int32_t>(ValueToInt64(Value()));
}
void TPDBSQLDriverField::SetAsInt(std::int32_t value) {
  Require({PDInt, PDLong}, 52830);
  SetValue(std::int64_t{value});
}

std::int64_t TPDBSQLDriverField::AsLong() const {
  Require({PDLong}, 52840);
  return ValueToTruncatedInt64(Value());
}
void TPDBSQLDriverField::SetAsLong(std::int64_t value) {
  Require({PDLong}, 52850);
  SetValue(value);
}

float TPDBSQLDriverField::AsFloat() const {
  Require({PDShort, PDInt, PDFloat}, 52880);
  return static_cast<float>(ValueToDouble(Value()));
}
void TPDBSQLDriverField::SetAsFloat(float value) {
  Require({PDFloat, PDDouble}, 52890);
  SetValue(static_cast<double>(value));
}

double TPDBSQLDriverField::AsDouble() const {
  Require({PDShort, PDInt, PDLong, PDFloat, PDDouble}, 52910);
  return ValueToDouble(Value());
}
void TPDBSQLDriverField::SetAsDouble(double value) {
  Require({PDDouble}, 52910);
  SetValue(value);
}

}  // namespace pdb
