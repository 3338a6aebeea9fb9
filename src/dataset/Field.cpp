#include "dataset/Field.h"

#include <limits>

#include "core/Encoding.h"
#include "core/NumberFormat.h"
#include "dataset/DataSet.h"
#include "dataset/DatabaseError.h"
#include "dataset/FieldText.h"

namespace dataset {

using namespace detail;

namespace {

std::int32_t NarrowToInteger(std::int64_t value) {
  if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
    throw core::EConvertError::InvalidInteger(core::FormatInteger(value));
  return static_cast<std::int32_t>(value);
}

// Rounds half to even into 64 bits, refusing what does not fit (NaN and infinities included).
std::int64_t RoundToLargeInt(double value) {
  constexpr double kLimit = 9223372036854775808.0;  // 2^63
  if (!(value > -kLimit - 1024 && value < kLimit)) throw core::EConvertError::InvalidInteger(core::FormatGeneral(value));
  return core::RoundHalfEven(value);
}

}  // namespace

TField::TField(TDataSet& dataSet, int index, const TFieldDef& def, const TFieldSlot& slot)
    : dataSet_(&dataSet), index_(index), name_(def.Name), size_(def.Size), slot_(slot) {}

const TRecordBuffer* TField::Record() const { return dataSet_->ReadBuffer(); }

TRecordBuffer& TField::WriteTarget() { return dataSet_->WriteBuffer(*this); }

void TField::Changed() { dataSet_->FieldChanged(*this); }

void TField::AccessError(const char* typeName) const {
  throw EDatabaseError("Cannot access field '" + core::AnsiToUtf8(name_) + "' as type " + typeName);
}

bool TField::IsNull() const {
  const TRecordBuffer* record = Record();
  return !record || record->IsNull(index_);
}

void TField::Clear() {
  WriteTarget().SetNull(index_);
  Changed();
}

std::string TField::AsString() const {
  const TRecordBuffer* record = Record();
  // A text is taken as it is (a null one reads as empty); the walk below is for conversions.
  if (const std::optional<std::string_view> text = TextView()) return std::string(*text);
  if (!record || record->IsNull(index_)) return {};
  switch (slot_.Type) {
    case TFieldType::String:
    case TFieldType::Blob: return std::string(record->GetString(index_));
    case TFieldType::Integer: return core::FormatInteger(record->GetInteger(index_));
    case TFieldType::LargeInt: return core::FormatInteger(record->GetLargeInt(index_));
    case TFieldType::Float: return core::FormatGeneral(record->GetFloat(index_));
    case TFieldType::Boolean: return BooleanText(record->GetBoolean(index_));
    case TFieldType::DateTime: return record->GetDateTime(index_).FormatDateTimeText();
    default: break;
  }
  return {};
}

std::optional<std::string_view> TField::TextView() const {
  if (slot_.Type != TFieldType::String) return std::nullopt;
  const TRecordBuffer* record = Record();
  return record ? record->GetString(index_) : std::string_view();
}

void TField::AsString(std::string_view value) {
  TRecordBuffer& record = WriteTarget();
  if (IsTextKind(slot_.Type)) {
    record.SetString(index_, value);
  } else if (value.empty()) {
    record.SetNull(index_);
  } else {
    switch (slot_.Type) {
      case TFieldType::Integer: record.SetInteger(index_, core::StrToInt(value)); break;
      case TFieldType::LargeInt: record.SetLargeInt(index_, ParseLargeInt(value)); break;
      case TFieldType::Float: record.SetFloat(index_, core::StrToFloat(value)); break;
      case TFieldType::Boolean: record.SetBoolean(index_, ParseBoolean(value)); break;
      case TFieldType::DateTime: record.SetDateTime(index_, ParseDateTime(value)); break;
      default: break;
    }
  }
  Changed();
}

std::int64_t TField::AsLargeInt() const {
  const TRecordBuffer* record = Record();
  if (IsTextKind(slot_.Type)) return ParseLargeInt(record ? record->GetString(index_) : std::string_view());
  if (!record || record->IsNull(index_)) return 0;
  switch (slot_.Type) {
    case TFieldType::Integer: return record->GetInteger(index_);
    case TFieldType::LargeInt: return record->GetLargeInt(index_);
    case TFieldType::Float: return RoundToLargeInt(record->GetFloat(index_));
    case TFieldType::Boolean: return record->GetBoolean(index_) ? 1 : 0;
    case TFieldType::DateTime: return record->GetDateTime(index_).WholeDays();
    default: return 0;
  }
}

void TField::AsLargeInt(std::int64_t value) {
  TRecordBuffer& record = WriteTarget();
  switch (slot_.Type) {
    case TFieldType::String:
    case TFieldType::Blob: record.SetString(index_, core::FormatInteger(value)); break;
    case TFieldType::Integer: record.SetInteger(index_, NarrowToInteger(value)); break;
    case TFieldType::LargeInt: record.SetLargeInt(index_, value); break;
    case TFieldType::Float: record.SetFloat(index_, static_cast<double>(value)); break;
    case TFieldType::Boolean: record.SetBoolean(index_, value != 0); break;
    case TFieldType::DateTime: record.SetDateTime(index_, core::TDateTime(static_cast<double>(value))); break;
    default: break;
  }
  Changed();
}

std::int32_t TField::AsInteger() const {
  if (slot_.Type == TFieldType::Integer) {  // the value itself; a null one reads as 0
    const TRecordBuffer* record = Record();
    return record ? record->GetInteger(index_) : 0;
  }
  if (slot_.Type == TFieldType::String || slot_.Type == TFieldType::Blob) {
    const TRecordBuffer* record = Record();
    return core::StrToInt(record ? record->GetString(index_) : std::string_view());
  }
  return NarrowToInteger(AsLargeInt());
}

void TField::AsInteger(std::int32_t value) { AsLargeInt(value); }

double TField::AsFloat() const {
  const TRecordBuffer* record = Record();
  if (slot_.Type == TFieldType::Float) return record ? record->GetFloat(index_) : 0.0;  // null reads as 0
  if (IsTextKind(slot_.Type)) return core::StrToFloat(record ? record->GetString(index_) : std::string_view());
  if (!record || record->IsNull(index_)) return 0.0;
  switch (slot_.Type) {
    case TFieldType::Integer: return record->GetInteger(index_);
    case TFieldType::LargeInt: return static_cast<double>(record->GetLargeInt(index_));
    case TFieldType::Float: return record->GetFloat(index_);
    case TFieldType::Boolean: return record->GetBoolean(index_) ? 1.0 : 0.0;
    case TFieldType::DateTime: return record->GetDateTime(index_).Days();
    default: return 0.0;
  }
}

void TField::AsFloat(double value) {
  TRecordBuffer& record = WriteTarget();
  switch (slot_.Type) {
    case TFieldType::String:
    case TFieldType::Blob: record.SetString(index_, core::FormatGeneral(value)); break;
    case TFieldType::Integer: record.SetInteger(index_, NarrowToInteger(RoundToLargeInt(value))); break;
    case TFieldType::LargeInt: record.SetLargeInt(index_, RoundToLargeInt(value)); break;
    case TFieldType::Float: record.SetFloat(index_, value); break;
    case TFieldType::Boolean: record.SetBoolean(index_, value != 0.0); break;
    case TFieldType::DateTime: record.SetDateTime(index_, core::TDateTime(value)); break;
    default: break;
  }
  Changed();
}

core::TDateTime TField::AsDateTime() const {
  const TRecordBuffer* record = Record();
  if (slot_.Type == TFieldType::DateTime) return record ? record->GetDateTime(index_) : core::TDateTime();
  if (IsTextKind(slot_.Type)) return ParseDateTime(record ? record->GetString(index_) : std::string_view());
  if (!record || record->IsNull(index_)) return core::TDateTime();
  if (slot_.Type == TFieldType::Boolean) AccessError("DateTime");
  if (slot_.Type == TFieldType::DateTime) return record->GetDateTime(index_);
  return core::TDateTime(AsFloat());
}

void TField::AsDateTime(core::TDateTime value) {
  if (slot_.Type == TFieldType::Boolean) AccessError("DateTime");
  TRecordBuffer& record = WriteTarget();
  switch (slot_.Type) {
    case TFieldType::String:
    case TFieldType::Blob: record.SetString(index_, value.FormatDateTimeText()); break;
    case TFieldType::Integer: record.SetInteger(index_, NarrowToInteger(value.WholeDays())); break;
    case TFieldType::LargeInt: record.SetLargeInt(index_, value.WholeDays()); break;
    case TFieldType::Float: record.SetFloat(index_, value.Days()); break;
    case TFieldType::DateTime: record.SetDateTime(index_, value); break;
    default: break;
  }
  Changed();
}

bool TField::AsBoolean() const {
  const TRecordBuffer* record = Record();
  if (!record || record->IsNull(index_)) return false;
  if (slot_.Type == TFieldType::DateTime) AccessError("Boolean");
  switch (slot_.Type) {
    case TFieldType::String:
    case TFieldType::Blob: return TextIsTrue(record->GetString(index_));
    case TFieldType::Boolean: return record->GetBoolean(index_);
    case TFieldType::Float: return record->GetFloat(index_) != 0.0;
    default: return AsLargeInt() != 0;
  }
}

void TField::AsBoolean(bool value) {
  if (slot_.Type == TFieldType::DateTime) AccessError("Boolean");
  TRecordBuffer& record = WriteTarget();
  switch (slot_.Type) {
    case TFieldType::String:
    case TFieldType::Blob: record.SetString(index_, BooleanText(value)); break;
    case TFieldType::Integer: record.SetInteger(index_, value ? 1 : 0); break;
    case TFieldType::LargeInt: record.SetLargeInt(index_, value ? 1 : 0); break;
    case TFieldType::Float: record.SetFloat(index_, value ? 1.0 : 0.0); break;
    case TFieldType::Boolean: record.SetBoolean(index_, value); break;
    default: break;
  }
  Changed();
}

}  // namespace dataset
