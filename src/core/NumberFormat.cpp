#include "core/NumberFormat.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <iterator>

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

namespace {

// The significant digits and decimal exponent of a positive finite value written in scientific
// form by to_chars ("d.ddde+XX"); `precision` < 0 asks for the shortest text that reads back
// as the same double.
struct Decimal {
  char digits[24];
  int count = 0;
  int exponent = 0;
};

Decimal ToDecimal(double value, int precision) {
  char buf[64];
  const auto written = precision < 0
                           ? std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific)
                           : std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, precision);
  Decimal d;
  const char* p = buf;
  for (; p < written.ptr && *p != 'e'; ++p)
    if (*p >= '0' && *p <= '9' && d.count < static_cast<int>(sizeof d.digits)) d.digits[d.count++] = *p;
  ++p;  // 'e'
  const bool negative = *p == '-';
  ++p;  // the exponent's sign, always written
  std::from_chars(p, written.ptr, d.exponent);
  if (negative) d.exponent = -d.exponent;
  return d;
}

// Values with few decimals (amounts, quantities, prices) in fixed notation without going through
// to_chars: the value is m / 10^k for a whole m of at most 15 digits and the smallest k up to
// 4 for which dividing m by 10^k gives back exactly this double. That decimal, like any of at
// most 15 digits that reads back as the value, is the value's 15-digit rounding. Anything
// else (more decimals, magnitudes for scientific notation) is left to the general road: the
// result is then nullptr and nothing is written. Otherwise the end of the text at `out`, which
// has room for a sign, 15 digits and the separator.
char* FormatFewDecimals(double value, char* out) {
  const double magnitude = std::fabs(value);
  if (!(magnitude >= 1e-4 && magnitude < 1e15)) return nullptr;
  constexpr double kPowers[] = {1, 10, 100, 1000, 10000};
  constexpr std::uint64_t kWholePowers[] = {1, 10, 100, 1000, 10000};
  for (std::size_t k = 0; k < std::size(kPowers); ++k) {
    const double scaled = std::nearbyint(magnitude * kPowers[k]);
    if (scaled >= 1e15) return nullptr;
    if (scaled / kPowers[k] != magnitude) continue;
    const auto m = static_cast<std::uint64_t>(scaled);
    const std::uint64_t whole = m / kWholePowers[k];
    std::uint64_t fraction = m % kWholePowers[k];
    std::size_t decimals = k;
    while (decimals > 0 && fraction % 10 == 0) {
      fraction /= 10;
      --decimals;
    }
    char* p = out;
    if (value < 0) *p++ = '-';
    p = std::to_chars(p, p + 15, whole).ptr;
    if (decimals > 0) {
      *p++ = kDecimalSeparator;
      for (std::size_t i = decimals; i-- > 0;) {
        p[i] = static_cast<char>('0' + fraction % 10);
        fraction /= 10;
      }
      p += decimals;
    }
    return p;
  }
  return nullptr;
}

// Appends characters to a general-format buffer, which is large enough for any of its texts.
class GeneralWriter {
 public:
  explicit GeneralWriter(GeneralFormatBuffer& buffer) : buffer_(buffer) {}
  void Put(char c) { buffer_[size_++] = c; }
  void Put(std::string_view text) {
    for (char c : text) Put(c);
  }
  void PutNumber(int number) {
    size_ = static_cast<std::size_t>(std::to_chars(buffer_.data() + size_, buffer_.data() + buffer_.size(), number).ptr -
                                     buffer_.data());
  }
  std::string_view Text() const { return {buffer_.data(), size_}; }

 private:
  GeneralFormatBuffer& buffer_;
  std::size_t size_ = 0;
};

}  // namespace

std::string FormatGeneral(double value) {
  GeneralFormatBuffer buffer;
  return std::string(FormatGeneral(value, buffer));
}

std::string_view FormatGeneral(double value, GeneralFormatBuffer& buffer) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0) return "0";
  if (const char* end = FormatFewDecimals(value, buffer.data())) return {buffer.data(), end};
  const bool negative = value < 0;
  // The value rounded to 15 significant digits. When the shortest text that reads back as the
  // same double has at most 15 digits, it is that rounding: the double lies far closer to it
  // (half an ulp, at most 1.1e-16 relative) than half a step of the 15-digit grid (at least 5e-16
  // relative). Only longer texts, and subnormal numbers, whose ulp is relatively far larger,
  // need the slower rounding to 15 digits.
  const double magnitude = std::fabs(value);
  const bool normal = magnitude >= std::numeric_limits<double>::min();
  Decimal d = ToDecimal(magnitude, normal ? -1 : 14);
  if (d.count > 15) d = ToDecimal(magnitude, 14);
  while (d.count > 1 && d.digits[d.count - 1] == '0') --d.count;
  const std::string_view digits(d.digits, static_cast<std::size_t>(d.count));
  const int exponent = d.exponent;

  GeneralWriter out(buffer);
  if (negative) out.Put('-');
  if (exponent >= 15 || exponent < -5) {
    out.Put(digits[0]);
    if (digits.size() > 1) {
      out.Put(kDecimalSeparator);
      out.Put(digits.substr(1));
    }
    out.Put('E');
    if (exponent < 0) out.Put('-');
    out.PutNumber(std::abs(exponent));
  } else if (exponent < 0) {
    out.Put('0');
    out.Put(kDecimalSeparator);
    for (int i = 0; i < -exponent - 1; ++i) out.Put('0');
    out.Put(digits);
  } else {
    const auto whole = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= whole) {
      out.Put(digits);
      for (std::size_t i = digits.size(); i < whole; ++i) out.Put('0');
    } else {
      out.Put(digits.substr(0, whole));
      out.Put(kDecimalSeparator);
      out.Put(digits.substr(whole));
    }
  }
  return out.Text();
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
