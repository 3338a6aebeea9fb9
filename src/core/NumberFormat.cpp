#include "core/NumberFormat.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "core/Encoding.h"

namespace core {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

template <typename Int>
std::optional<Int> ParseWhole(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  if (pos == text.size()) return std::nullopt;
  // Accumulate as a negative number so that the smallest value fits.
  Int value = 0;
  for (; pos < text.size(); ++pos) {
    const char c = text[pos];
    if (c < '0' || c > '9') return std::nullopt;
    const Int digit = c - '0';
    if (value < (std::numeric_limits<Int>::min() + digit) / 10) return std::nullopt;
    value = value * 10 - digit;
  }
  if (!negative) {
    if (value == std::numeric_limits<Int>::min()) return std::nullopt;
    value = -value;
  }
  return value;
}

}  // namespace

namespace {
// "'<text>'<tail>", the text converted for the person. Built by appending: GCC 12 warns
// falsely (-Wrestrict) about "literal" + std::string temporaries.
std::string QuotedValue(std::string_view ansiText, std::string_view tail) {
  std::string message = "'";
  message += AnsiToUtf8(ansiText);
  message += '\'';
  message += tail;
  return message;
}
}  // namespace

EConvertError EConvertError::InvalidInteger(std::string_view ansiText) {
  return EConvertError(QuotedValue(ansiText, " is not a valid integer value"));
}
EConvertError EConvertError::InvalidFloat(std::string_view ansiText) {
  return EConvertError(QuotedValue(ansiText, " is not a valid floating point value"));
}
EConvertError EConvertError::InvalidDateTime(std::string_view ansiText) {
  return EConvertError(QuotedValue(ansiText, " is not a valid date and time"));
}

std::optional<std::int32_t> ParseInteger(std::string_view text) { return ParseWhole<std::int32_t>(text); }
std::optional<std::int64_t> ParseInteger64(std::string_view text) { return ParseWhole<std::int64_t>(text); }

std::int32_t StrToInt(std::string_view text) {
  if (auto v = ParseInteger(text)) return *v;
  throw EConvertError::InvalidInteger(text);
}

std::int32_t StrToIntDef(std::string_view text, std::int32_t fallback) {
  return ParseInteger(text).value_or(fallback);
}

std::optional<double> ParseFloat(std::string_view text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  if (begin == end) return std::nullopt;
  // Validate the shape and rewrite it in the C locale's spelling for from_chars.
  std::string plain;
  plain.reserve(end - begin);
  std::size_t pos = begin;
  if (text[pos] == '+' || text[pos] == '-') {
    if (text[pos] == '-') plain += '-';
    ++pos;
  }
  bool digits = false, separator = false;
  for (; pos < end && text[pos] != 'e' && text[pos] != 'E'; ++pos) {
    const char c = text[pos];
    if (c >= '0' && c <= '9') {
      digits = true;
      plain += c;
    } else if (c == kDecimalSeparator && !separator) {
      separator = true;
      plain += '.';
    } else {
      return std::nullopt;
    }
  }
  if (!digits) return std::nullopt;
  if (pos < end) {  // exponent
    plain += 'e';
    ++pos;
    if (pos < end && (text[pos] == '+' || text[pos] == '-')) plain += text[pos++];
    if (pos == end) return std::nullopt;
    for (; pos < end; ++pos) {
      if (text[pos] < '0' || text[pos] > '9') return std::nullopt;
      plain += text[pos];
    }
  }
  double value = 0;
  auto [ptr, ec] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
  if (ec != std::errc() || ptr != plain.data() + plain.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

double StrToFloat(std::string_view text) {
  if (auto v = ParseFloat(text)) return *v;
  throw EConvertError::InvalidFloat(text);
}

std::string FormatGeneral(double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0) return "0";
  // 15 significant digits as mantissa digits and a decimal exponent.
  // 15 significant digits in scientific form ("d.dddddddddddddde+XX"); to_chars is exact and
  // several times faster than printf.
  char buf[64];
  const auto written = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
  std::string s(buf, written.ptr);
  const bool negative = s[0] == '-';
  if (negative) s.erase(0, 1);
  const auto e_pos = s.find('e');
  const int exponent = std::atoi(s.c_str() + e_pos + 1);
  std::string digits = s.substr(0, 1) + s.substr(2, e_pos - 2);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string out = negative ? "-" : "";
  if (exponent >= 15 || exponent < -5) {
    out += digits[0];
    if (digits.size() > 1) {
      out += kDecimalSeparator;
      out += digits.substr(1);
    }
    out += 'E';
    if (exponent < 0) out += '-';
    out += std::to_string(std::abs(exponent));
    return out;
  }
  if (exponent < 0) {
    out += '0';
    out += kDecimalSeparator;
    out.append(static_cast<std::size_t>(-exponent - 1), '0');
    out += digits;
    return out;
  }
  const auto whole = static_cast<std::size_t>(exponent) + 1;
  if (digits.size() <= whole) {
    out += digits;
    out.append(whole - digits.size(), '0');
  } else {
    out += digits.substr(0, whole);
    out += kDecimalSeparator;
    out += digits.substr(whole);
  }
  return out;
}

std::string FormatFixed(double value, int decimals) {
  char buf[512];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
  std::string s(buf);
  for (char& c : s)
    if (c == '.') c = kDecimalSeparator;
  // A negative value that rounds to zero is written without its sign.
  if (s[0] == '-' && s.find_first_not_of("-0,") == std::string::npos) s.erase(0, 1);
  return s;
}

std::string FormatInteger(std::int64_t value) { return std::to_string(value); }

std::int64_t RoundHalfEven(double value) { return static_cast<std::int64_t>(std::nearbyint(value)); }

}  // namespace core
