#include "pdb/PDBBaseField.h"

#include <algorithm>

#include <cmath>
#include <limits>

#include "core/NumberFormat.h"

namespace pdb {
namespace {

template <class... Ts>
struct Overloaded : Ts... {
  using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

bool FitsInt64(double value) {
  return std::isfinite(value) && value < 9.2233720368547758e18 && value >= -9.2233720368547758e18;
}

// A double as a 64-bit integer, rounded half to even; out-of-range values cannot be converted
// (the message shows the number, formatted only then).
std::int64_t RoundToInt64(double value) {
  if (!FitsInt64(value)) throw core::EConvertError::InvalidInteger(core::FormatGeneral(value));
  return core::RoundHalfEven(value);
}

// The same for a number parsed from a text; the message shows the text.
std::int64_t RoundToInt64(double value, std::string_view shown) {
  if (!FitsInt64(value)) throw core::EConvertError::InvalidInteger(shown);
  return core::RoundHalfEven(value);
}

// An amount rounded to a whole number, ties to even, without passing through a double.
std::int64_t RoundCurrency(TPDBCurrency amount) {
  std::int64_t whole = amount.tenThousandths / kPDBCurrencyScale;
  const std::int64_t rest = amount.tenThousandths % kPDBCurrencyScale;  // the sign of the amount
  constexpr std::int64_t kHalf = kPDBCurrencyScale / 2;
  const bool odd = whole % 2 != 0;
  if (rest > kHalf || (rest == kHalf && odd)) ++whole;
  if (rest < -kHalf || (rest == -kHalf && odd)) --whole;
  return whole;
}

double CurrencyToDouble(TPDBCurrency amount) {
  return static_cast<double>(amount.tenThousandths) / static_cast<double>(kPDBCurrencyScale);
}

std::string CurrencyText(TPDBCurrency amount) {
  const bool negative = amount.tenThousandths < 0;
  // Unsigned, so that the most negative count has a magnitude too.
  const auto count = static_cast<std::uint64_t>(amount.tenThousandths);
  const std::uint64_t magnitude = negative ? 0 - count : count;
  const auto scale = static_cast<std::uint64_t>(kPDBCurrencyScale);
  std::string text = (negative ? "-" : "") + std::to_string(magnitude / scale);
  if (const std::uint64_t fraction = magnitude % scale) {
    std::string digits = std::to_string(fraction + scale).substr(1);  // with its leading zeros
    digits.erase(digits.find_last_not_of('0') + 1);
    text += core::kDecimalSeparator + digits;
  }
  return text;
}

}  // namespace

std::int64_t ValueToInt64(const TPDBValue& value) {
  return std::visit(Overloaded{
                        [](bool b) -> std::int64_t { return b ? -1 : 0; },
                        [](std::int64_t i) { return i; },
                        [](double d) { return RoundToInt64(d); },
                        [](core::TDateTime t) { return RoundToInt64(t.Days()); },
                        [](const std::string& s) -> std::int64_t {
                          if (auto i = core::ParseInteger64(s)) return *i;
                          if (auto d = core::ParseFloat(s)) return RoundToInt64(*d, s);
                          throw core::EConvertError::InvalidInteger(s);
                        },
                        [](TPDBCurrency c) { return RoundCurrency(c); },
                    },
                    value);
}

double ValueToDouble(const TPDBValue& value) {
  return std::visit(Overloaded{
                        [](bool b) { return b ? -1.0 : 0.0; },
                        [](std::int64_t i) { return static_cast<double>(i); },
                        [](double d) { return d; },
                        [](core::TDateTime t) { return t.Days(); },
                        [](const std::string& s) { return core::StrToFloat(s); },
                        [](TPDBCurrency c) { return CurrencyToDouble(c); },
                    },
                    value);
}

core::TDateTime ValueToDateTime(const TPDBValue& value) {
  return std::visit(Overloaded{
                        [](bool b) { return core::TDateTime(b ? -1.0 : 0.0); },
                        [](std::int64_t i) { return core::TDateTime(static_cast<double>(i)); },
                        [](double d) { return core::TDateTime(d); },
                        [](core::TDateTime t) { return t; },
                        [](const std::string& s) {
                          if (auto t = core::TDateTime::Parse(s)) return *t;
                          throw core::EConvertError::InvalidDateTime(s);
                        },
                        [](TPDBCurrency c) { return core::TDateTime(CurrencyToDouble(c)); },
                    },
                    value);
}

bool ValueToBoolean(const TPDBValue& value) {
  return std::visit(Overloaded{
                        [](bool b) { return b; },
                        [](std::int64_t i) { return i != 0; },
                        [](double d) { return d != 0; },
                        [](core::TDateTime t) { return !t.IsZero(); },
                        [](const std::string& s) {
                          if (core::AnsiSameText(core::TrimBlanks(s), "True")) return true;
                          if (core::AnsiSameText(core::TrimBlanks(s), "False")) return false;
                          if (auto d = core::ParseFloat(s)) return *d != 0;
                          throw core::EConvertError("'" + core::AnsiToUtf8(s) + "' is not a valid boolean value");
                        },
                        [](TPDBCurrency c) { return c.tenThousandths != 0; },
                    },
                    value);
}

std::string ValueToString(const TPDBValue& value) {
  return std::visit(Overloaded{
                        [](bool b) { return std::string(b ? "True" : "False"); },
                        [](std::int64_t i) { return core::FormatInteger(i); },
                        [](double d) { return core::FormatGeneral(d); },
                        [](core::TDateTime t) { return t.FormatDateTimeText(); },
                        [](const std::string& s) { return s; },
                        [](TPDBCurrency c) { return CurrencyText(c); },
                    },
                    value);
}

void DecodeZeroTerminatedText(TPDBBaseField& field, core::BigEndianReader& in) {
  const std::size_t start = in.Position();
  const auto rest = in.Take(in.Remaining());
  const auto zero = std::find(rest.begin(), rest.end(), std::uint8_t{0});
  if (zero == rest.end()) throw core::ShortReadError();  // no terminator before the end
  field.SetRaw(core::Bytes(rest.begin(), zero + 1));
  field.SetValue(std::string(rest.begin(), zero));
  in.Seek(start + static_cast<std::size_t>(zero - rest.begin()) + 1);
}

std::string ZeroTerminatedText(const TPDBValue& value) {
  std::string text = ValueToString(value);
  text.resize(std::min(text.size(), text.find('\0')));
  return text;
}

core::TDateTime CalendarDateTime(const TPDBValue& value) {
  const core::TDateTime result = ValueToDateTime(value);
  if (!(std::fabs(result.Days()) < 1e8)) throw core::EConvertError::InvalidDateTime(ValueToString(value));
  return result;
}

}  // namespace pdb
