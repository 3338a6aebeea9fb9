// Number texts of the exchange files: "," as decimal separator everywhere, no thousands
// separator. Explicit functions instead of a process-wide setting.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace core {

inline constexpr char kDecimalSeparator = ',';

// A text that is not the number it should be. The message is UTF-8; the offending text, which
// comes from an exchange file in Windows-1251, is converted for it.
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
  // "'<text>' is not a valid integer value"
  static EConvertError InvalidInteger(std::string_view ansiText);
  // "'<text>' is not a valid floating point value"
  static EConvertError InvalidFloat(std::string_view ansiText);
  // "'<text>' is not a valid date and time"
  static EConvertError InvalidDateTime(std::string_view ansiText);
};

// A whole decimal number of 32 bits: blanks before it are skipped, an optional sign, digits,
// nothing after them.
std::optional<std::int32_t> ParseInteger(std::string_view text);
// The same with 64 bits.
std::optional<std::int64_t> ParseInteger64(std::string_view text);
// ParseInteger or fail with EConvertError::InvalidInteger.
std::int32_t StrToInt(std::string_view text);
// ParseInteger or the given default.
std::int32_t StrToIntDef(std::string_view text, std::int32_t fallback);

// A floating-point number with "," as decimal separator: blanks around it, an optional sign,
// digits with at most one separator, an optional exponent. No thousands separators; "." is
// not a separator here.
std::optional<double> ParseFloat(std::string_view text);
// ParseFloat or fail with EConvertError::InvalidFloat.
double StrToFloat(std::string_view text);

// General format: the shortest text with up to 15 significant digits, no trailing zeros, no
// separator for whole numbers; fixed notation when the number has at most 15 digits before the
// separator and its magnitude is at least 0,00001 (or it is 0), scientific ("1,5E-6", "1E20")
// otherwise.
std::string FormatGeneral(double value);
// Room for the longest general-format text: "-1,23456789012345E-308" has 22 characters.
using GeneralFormatBuffer = std::array<char, 24>;
// The same text written into `buffer`, for callers that format many values and keep none of the
// texts (a text column, a record line): no allocation. Valid while `buffer` is not reused.
std::string_view FormatGeneral(double value, GeneralFormatBuffer& buffer);
// Fixed format with exactly `decimals` decimals ("0.00" style): rounded, at least one digit
// before the separator, a leading "-" for negatives.
std::string FormatFixed(double value, int decimals);
// Decimal integer text.
std::string FormatInteger(std::int64_t value);

// Rounds to the nearest integer, ties to even.
std::int64_t RoundHalfEven(double value);

}  // namespace core
