#include "sync/SyaFields.h"

#include <algorithm>
#include <array>

#include "core/Encoding.h"
#include "core/NumberFormat.h"
#include "sync/SyaException.h"

namespace sya {
namespace {

constexpr int kRecordLayoutMismatch = 2660;

constexpr std::array<std::int32_t, kFieldTypeCount> kSizes{1, 2, 4, 4, 8, 4, 0, 1, 1, 2,
                                                           4, 1, 2, 4, 2, 2, 4, 0, 4, 8};

TFieldValue EmptyValue(TPDBFieldType type) {
  if (IsStringType(type)) return std::string();
  if (type == pdtPSBoolean) return false;
  return std::int64_t{0};
}

core::TDateTime SecondsSince(std::uint32_t seconds, double epochDay) {
  return core::TDateTime(static_cast<double>(seconds / 86400) + epochDay + (seconds % 86400) / 86400.0);
}

TFieldValue DecodeFixed(TPDBFieldType type, core::BigEndianReader& in) {
  switch (type) {
    case pdtByte:
    case pdtPSUInt8: return std::int64_t{in.U8()};
    case pdtWord:
    case pdtPSUInt16: return std::int64_t{in.U16()};
    case pdtInteger:
    case pdtPSInt32: return std::int64_t{in.I32()};
    case pdtPSInt8: return std::int64_t{in.I8()};
    case pdtPSInt16: return std::int64_t{in.I16()};
    case pdtFloat:
    case pdtPSSingle: return double{in.F32()};
    case pdtDouble:
    case pdtPSDouble: return in.F64();
    case pdtPSBoolean: return in.U8() != 0;
    // Kept in single precision, as the handheld's numbers of this type are.
    case pdtPSUInt32: return double{static_cast<float>(in.U32())};
    case pdtDate: return SecondsSince(in.U32(), core::TDateTime::kUnixEpochDay);
    case pdtPSDateTime: return SecondsSince(in.U32(), core::TDateTime::kPalmEpochDay);
    case pdtPSDate: {
      const std::uint16_t packed = in.U16();
      auto date = core::TDateTime::FromDate(1904 + (packed >> 9), (packed >> 5) & 0x0F, packed & 0x1F);
      if (!date) throw core::EConvertError("Invalid argument to date encode");
      return *date;
    }
    case pdtPSTime: {
      const std::uint8_t hour = in.U8();
      const std::uint8_t minute = in.U8();
      auto time = core::TDateTime::FromTime(hour, minute, 0);
      if (!time) throw core::EConvertError("Invalid argument to time encode");
      return *time;
    }
    case pdtString:
    case pdtPSString: break;
  }
  throw std::logic_error("not a fixed-size field type");
}

}  // namespace

std::int32_t DefaultFieldSize(TPDBFieldType type) { return kSizes.at(type); }

bool IsStringType(TPDBFieldType type) { return type == pdtString || type == pdtPSString; }

TPDBField::TPDBField(std::string fieldName, TPDBFieldType type) : fieldName_(std::move(fieldName)) {
  SetDataType(type);
}

void TPDBField::SetDataType(TPDBFieldType type) {
  dataType_ = type;
  size_ = DefaultFieldSize(type);
  value_ = EmptyValue(type);
}

void TPDBField::SetSize(std::int32_t size) {
  if (IsStringType(dataType_) && size >= 0) size_ = size;
}

void TPDBField::Assign(const TPDBField& other) {
  fieldName_ = other.fieldName_;
  dataType_ = other.dataType_;
  value_ = other.value_;
  size_ = other.size_;
}

std::size_t TPDBField::DecodeFrom(core::ByteSpan record, std::size_t pos) {
  if (pos > record.size()) RaisePDBError(kRecordLayoutMismatch, 1);
  const core::ByteSpan rest = record.subspan(pos);
  const auto size = static_cast<std::size_t>(size_);
  if (IsStringType(dataType_)) {
    if (size == 0) {
      const auto zero = std::find(rest.begin(), rest.end(), std::uint8_t{0});
      if (zero == rest.end()) RaisePDBError(kRecordLayoutMismatch, 1);
      const auto length = static_cast<std::size_t>(zero - rest.begin());
      rawData_.assign(rest.begin(), zero + 1);
      value_ = std::string(core::AsText(rest.first(length)));
      return pos + length + 1;
    }
    // n bytes, then the terminator byte that follows them.
    if (size >= rest.size()) RaisePDBError(kRecordLayoutMismatch, 1);
    rawData_.assign(size + 1, 0);
    std::copy_n(rest.begin(), size, rawData_.begin());
    value_ = std::string(reinterpret_cast<const char*>(rawData_.data()));
    return pos + size + 1;
  }
  if (size > rest.size()) RaisePDBError(kRecordLayoutMismatch, 1);
  rawData_.assign(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(size));
  core::BigEndianReader in(rest.first(size));
  value_ = DecodeFixed(dataType_, in);
  return pos + size;
}

TPDBField& TPDBFields::Add(std::string fieldName, TPDBFieldType type) {
  return items_.emplace_back(std::move(fieldName), type);
}

TPDBField* TPDBFields::FindField(std::string_view fieldName) {
  for (auto& field : items_)
    if (core::AnsiSameText(field.FieldName(), fieldName)) return &field;
  return nullptr;
}

void DecodeFields(TPDBFields& fields, core::ByteSpan record) {
  std::size_t pos = 0;
  for (auto& field : fields) pos = field.DecodeFrom(record, pos);
}

}  // namespace sya
