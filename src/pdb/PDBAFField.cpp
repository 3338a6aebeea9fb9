#include "pdb/PDBAFField.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/Messages.h"
#include "core/NumberFormat.h"

namespace pdb {
namespace {

constexpr core::MessageText kMessages[] = {
    {58000, "Invalid DataType for this Field (AFByte)!", "Tipo de dado Inválido para este campo (AFByte)!"},
    {58010, "Invalid DataType for this Field (AFByte)!", "Tipo de dado Inválido para este campo (AFByte)!"},
    {58020, "Invalid DataType for this Field (AFInteger)!", "Tipo de dado Inválido para este campo (AFInteger)!"},
    {58030, "Invalid DataType for this Field (AFInteger)!", "Tipo de dado Inválido para este campo (AFInteger)!"},
    {58040, "Invalid DataType for this Field (AFLong)!", "Tipo de dado Inválido para este campo (AFLong)!"},
    {58050, "Invalid DataType for this Field (AFLong)!", "Tipo de dado Inválido para este campo (AFLong)!"},
    {58060, "Invalid DataType for this Field (AFSingle)!", "Tipo de dado Inválido para este campo (AFSingle)!"},
    {58070, "Invalid DataType for this Field (AFSingle)!", "Tipo de dado Inválido para este campo (AFSingle)!"},
    {58080, "Invalid DataType for this Field (AFDouble)!", "Tipo de dado Inválido para este campo (AFDouble)!"},
    {58090, "Invalid DataType for this Field (AFDouble)!", "Tipo de dado Inválido para este campo (AFDouble)!"},
    {58100, "Invalid DataType for this Field (AFCurrency)!", "Tipo de dado Inválido para este campo (AFCurrency)!"},
    {58110, "Invalid DataType for this Field (AFCurrency)!", "Tipo de dado Inválido para este campo (AFCurrency)!"},
    {58120, "Invalid DataType for this Field (AFDate)!", "Tipo de dado Inválido para este campo (AFDate)!"},
    {58130, "Invalid DataType for this Field (AFDate)!", "Tipo de dado Inválido para este campo (AFDate)!"},
    {58140, "Invalid DataType for this Field (AFBoolean)!", "Tipo de dado Inválido para este campo (AFBoolean)!"},
    {58150, "Invalid DataType for this Field (AFBoolean)!", "Tipo de dado Inválido para este campo (AFBoolean)!"},
};
constexpr core::MessageTable kTable{kMessages};

constexpr std::initializer_list<TPDBAFFieldType> kNumeric = {AFByte,   AFInteger, AFLong,
                                                             AFSingle, AFDouble,  AFCurrency};

constexpr std::int32_t kSizes[] = {1, 2, 4, 4, 0, 1, 4, 8, 8};

constexpr unsigned Types(std::initializer_list<TPDBAFFieldType> types) {
  unsigned set = 0;
  for (const TPDBAFFieldType type : types) set |= 1u << type;
  return set;
}
// For each type, the stored types whose every value it holds (a text holds any).
constexpr unsigned kHolds[] = {
    Types({AFByte}),                                             // AFByte
    Types({AFByte, AFInteger}),                                  // AFInteger
    Types({AFByte, AFInteger, AFLong}),                          // AFLong
    Types({AFByte, AFInteger, AFSingle}),                        // AFSingle
    ~0u,                                                         // AFString
    Types({AFBoolean}),                                          // AFBoolean
    Types({AFDate}),                                             // AFDate
    Types({AFByte, AFInteger, AFLong, AFSingle, AFDouble}),      // AFDouble
    Types({AFByte, AFInteger, AFLong, AFCurrency}),              // AFCurrency
};

}  // namespace

const char* AFFieldTypeName(TPDBAFFieldType type) {
  static constexpr const char* kNames[] = {"AFByte",    "AFInteger", "AFLong",   "AFSingle",  "AFString",
                                           "AFBoolean", "AFDate",    "AFDouble", "AFCurrency"};
  return type <= AFCurrency ? kNames[type] : "?";
}

bool AFTypeHolds(TPDBAFFieldType wanted, TPDBAFFieldType stored) {
  return wanted <= AFCurrency && stored <= AFCurrency && (kHolds[wanted] >> stored & 1u) != 0;
}

TAFCurrency ValueToCurrency(const TPDBValue& value) {
  // Counts and whole amounts stay exact; fractions are rounded to four places.
  if (const auto* count = std::get_if<TPDBCurrency>(&value)) return count->tenThousandths;
  if (const auto* whole = std::get_if<std::int64_t>(&value)) {
    constexpr std::int64_t kLimit = std::numeric_limits<std::int64_t>::max() / kAFCurrencyScale;
    if (*whole > kLimit || *whole < -kLimit)
      throw core::EConvertError::InvalidFloat(core::FormatInteger(*whole));
    return *whole * kAFCurrencyScale;
  }
  const double amount = ValueToDouble(value) * static_cast<double>(kAFCurrencyScale);
  // The double nearest the largest amount (a data set holds amounts as doubles) comes to
  // 2^63, one past the largest count.
  if (amount == 0x1p63) return std::numeric_limits<TAFCurrency>::max();
  if (!std::isfinite(amount) || amount >= 9.2233720368547758e18 || amount < -9.2233720368547758e18)
    throw core::EConvertError::InvalidFloat(ValueToString(value));
  return core::RoundHalfEven(amount);
}

TPDBValue CurrencyToValue(TAFCurrency tenThousandths) { return TPDBCurrency{tenThousandths}; }

TPDBAFField::TPDBAFField() { SetDataType(AFString); }

void TPDBAFField::SetDataType(TPDBAFFieldType type) {
  ClearRaw();
  dataType_ = type;
  StoreSize(kSizes[type]);
  if (type == AFString)
    SetValue(std::string());
  else if (type == AFBoolean)
    SetValue(false);
  else
    SetValue(std::int64_t{0});
}

void TPDBAFField::Assign(const TPDBAFField& source) {
  if (&source == this) return;
  SetFieldName(source.FieldName());
  dataType_ = source.dataType_;
  SetValue(source.Value());
  StoreSize(source.Size());
}

void TPDBAFField::Require(std::initializer_list<TPDBAFFieldType> allowed, int messageId) const {
  if (std::find(allowed.begin(), allowed.end(), dataType_) == allowed.end()) RaisePDBError(kTable, messageId, 1);
}

std::uint8_t TPDBAFField::AsByte() const {
  Require({AFByte}, 58000);
  return static_cast<std::uint8_t>(ValueToInt64(Value()));
}
void TPDBAFField::SetAsByte(std::uint8_t value) {
  Require(kNumeric, 58010);
  SetValue(std::int64_t{value});
}

std::int16_t TPDBAFField::AsInteger() const {
  Require({AFInteger}, 58020);
  return static_cast<std::int16_t>(ValueToInt64(Value()));
}
void TPDBAFField::SetAsInteger(std::int16_t value) {
  Require({AFInteger, AFLong, AFSingle, AFDouble, AFCurrency}, 58030);
  SetValue(std::int64_t{value});
}

std::int32_t TPDBAFField::AsLong() const {
  Require({AFLong}, 58040);
  return static_cast<std::int32_t>(ValueToInt64(Value()));
}
void TPDBAFField::SetAsLong(std::int32_t value) {
  Require({AFLong, AFSingle, AFDouble, AFCurrency}, 58050);
  SetValue(std::int64_t{value});
}

float TPDBAFField::AsSingle() const {
  Require({AFByte, AFInteger, AFLong, AFSingle}, 58060);
  return static_cast<float>(ValueToDouble(Value()));
}
void TPDBAFField::SetAsSingle(float value) {
  Require({AFSingle, AFDouble, AFCurrency}, 58070);
  SetValue(static_cast<double>(value));
}

double TPDBAFField::AsDouble() const {
  Require(kNumeric, 58080);
  return ValueToDouble(Value());
}
void TPDBAFField::SetAsDouble(double value) {
  Require({AFDouble, AFCurrency}, 58090);
  SetValue(value);
}

TAFCurrency TPDBAFField::AsCurrency() const {
  Require(kNumeric, 58100);
  return ValueToCurrency(Value());
}
void TPDBAFField::SetAsCurrency(TAFCurrency tenThousandths) {
  Require({AFDouble, AFCurrency}, 58110);
  SetValue(CurrencyToValue(tenThousandths));
}

core::TDateTime TPDBAFField::AsDate() const {
  Require({AFDate}, 58120);
  return ValueToDateTime(Value());
}
void TPDBAFField::SetAsDate(core::TDateTime value) {
  Require({AFDate}, 58130);
  SetValue(value);
}

bool TPDBAFField::AsBoolean() const {
  Require({AFBoolean}, 58140);
  return ValueToBoolean(Value());
}
void TPDBAFField::SetAsBoolean(bool value) {
  Require({AFBoolean}, 58150);
  SetValue(value);
}

std::string TPDBAFField::AsString() const { return ValueToString(Value()); }
void TPDBAFField::SetAsString(std::string value) { SetValue(std::move(value)); }

}  // namespace pdb
