#include "dbfdriver/CData.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cstdint>
#include <iterator>
#include <limits>

namespace dbf::odbc {

namespace {

template <typename T>
void Store(SQLPOINTER target, T value) {
  if (target) std::memcpy(target, &value, sizeof value);
}
template <typename T>
T Load(SQLPOINTER source) {
  T value{};
  std::memcpy(&value, source, sizeof value);
  return value;
}

[[noreturn]] void Restricted(const char* what) {
  throw DriverError("07006", std::string("Restricted data type attribute violation: ") + what);
}

std::string TextOf(const Value& value, const FieldDef& field) {
  if (const std::string* s = std::get_if<std::string>(&value)) return *s;
  if (const double* d = std::get_if<double>(&value)) {
    char text[400];
    if (field.type == 'N' || field.type == 'F') {
      std::snprintf(text, sizeof text, "%.*f", field.decimals, *d);
    } else {
      std::snprintf(text, sizeof text, "%.15g", *d);
    }
    return text;
  }
  if (const bool* b = std::get_if<bool>(&value)) return *b ? "1" : "0";
  if (const Date* t = std::get_if<Date>(&value)) return FormatDate(*t);
  return {};
}

double NumberOf(const Value& value) {
  if (const double* d = std::get_if<double>(&value)) return *d;
  if (const bool* b = std::get_if<bool>(&value)) return *b ? 1 : 0;
  if (const std::string* s = std::get_if<std::string>(&value)) {
    double number = 0;
    if (ParseNumber(*s, number)) return number;
    throw DriverError("22018", "Invalid character value for the column type: \"" + s->substr(0, 40) + "\"");
  }
  Restricted("a date is no number");
}

Date DateOfValue(const Value& value) {
  if (const Date* d = std::get_if<Date>(&value)) return *d;
  Date date;
  if (const std::string* s = std::get_if<std::string>(&value); s && ParseDate(*s, date)) return date;
  if (std::holds_alternative<std::string>(value)) throw DriverError("22007", "Invalid datetime format");
  Restricted("the value is no date");
}

template <typename T>
SQLRETURN StoreInteger(const Value& value, SQLPOINTER target, SQLLEN* indicator, std::vector<Warning>& warnings) {
  const double number = NumberOf(value);
  const double whole = std::trunc(number);
  if (!(whole >= static_cast<double>(std::numeric_limits<T>::min()) &&
        whole <= static_cast<double>(std::numeric_limits<T>::max()))) {
    throw DriverError("22003", "Numeric value out of range for the application's integer type");
  }
  Store(target, static_cast<T>(whole));
  if (indicator) *indicator = sizeof(T);
  if (whole != number) {
    warnings.push_back({"01S07", "Fractional truncation"});
    return SQL_SUCCESS_WITH_INFO;
  }
  return SQL_SUCCESS;
}

SQLSMALLINT DefaultCType(const ResultColumn& column) {
  switch (Describe(column).type) {
    case SQL_INTEGER: return SQL_C_SLONG;
    case SQL_SMALLINT: return SQL_C_SSHORT;
    case SQL_DOUBLE: return SQL_C_DOUBLE;
    case SQL_TYPE_DATE: return SQL_C_TYPE_DATE;
    case SQL_BIT: return SQL_C_BIT;
    default: return SQL_C_CHAR;
  }
}

// Windows-1251 above 0x7F in Unicode, for applications that read and write wide characters.
constexpr char16_t kWindows1251High[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C,
    0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0xFFFD, 0x2122, 0x0459, 0x203A,
    0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9,
    0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, 0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415,
    0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423,
    0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F, 0x0430, 0x0431,
    0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, 0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447, 0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D,
    0x044E, 0x044F};

// UTF-16 (native byte order, as SQLWCHAR) of Windows-1251 text.
std::string WideOf(const std::string& text) {
  std::string wide;
  wide.reserve(text.size() * 2);
  for (unsigned char c : text) {
    const char16_t unit = c < 0x80 ? c : kWindows1251High[c - 0x80];
    wide.append(reinterpret_cast<const char*>(&unit), sizeof unit);
  }
  return wide;
}

// Windows-1251 of UTF-16 text; a character it cannot hold becomes "?".
std::string NarrowOf(const char16_t* units, std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) {
    const char16_t unit = units[i];
    if (unit < 0x80) {
      text += static_cast<char>(unit);
      continue;
    }
    const auto* found = std::find(std::begin(kWindows1251High), std::end(kWindows1251High), unit);
    text += found == std::end(kWindows1251High) ? '?' : static_cast<char>(0x80 + (found - std::begin(kWindows1251High)));
  }
  return text;
}

// Text and binary data in pieces: what is left from `offset`; `terminator` bytes of zero end
// character data.
SQLRETURN StoreBytes(const std::string& bytes, std::size_t terminator, SQLPOINTER target, SQLLEN length,
                     SQLLEN* indicator, std::size_t& offset, bool& finished, std::vector<Warning>& warnings) {
  if (finished) return SQL_NO_DATA;
  const std::size_t left = bytes.size() - std::min(offset, bytes.size());
  if (indicator) *indicator = static_cast<SQLLEN>(left);
  std::size_t room = length > 0 && static_cast<std::size_t>(length) >= terminator ? static_cast<std::size_t>(length) - terminator : 0;
  room -= room % std::max<std::size_t>(terminator, 1);  // whole characters only
  const std::size_t copied = std::min(left, room);
  if (target && length > 0 && static_cast<std::size_t>(length) >= terminator) {
    std::memcpy(target, bytes.data() + offset, copied);
    std::memset(static_cast<char*>(target) + copied, 0, terminator);
  }
  offset += copied;
  if (copied < left) {
    warnings.push_back({"01004", "String data, right truncated"});
    return SQL_SUCCESS_WITH_INFO;
  }
  finished = true;
  return SQL_SUCCESS;
}

}  // namespace

SqlDescription DescribeField(const FieldDef& field) {
  switch (field.type) {
    case 'C': return {SQL_CHAR, static_cast<SQLULEN>(field.width), 0, "CHAR"};
    case 'N':
    case 'F':
      if (field.decimals == 0 && field.width <= 11) return {SQL_INTEGER, 10, 0, "INTEGER"};
      return {SQL_NUMERIC, static_cast<SQLULEN>(field.width), static_cast<SQLSMALLINT>(field.decimals), "NUMERIC"};
    case 'D': return {SQL_TYPE_DATE, 10, 0, "DATE"};
    case 'L': return {SQL_BIT, 1, 0, "LOGICAL"};
    default: return {SQL_CHAR, static_cast<SQLULEN>(field.width), 0, "CHAR"};
  }
}

SqlDescription Describe(const ResultColumn& column) {
  if (column.sqlType == SQL_SMALLINT) return {SQL_SMALLINT, 5, 0, "SMALLINT"};
  if (column.sqlType == SQL_INTEGER) return {SQL_INTEGER, 10, 0, "INTEGER"};
  if (column.sqlType == SQL_VARCHAR) return {SQL_VARCHAR, static_cast<SQLULEN>(column.field.width), 0, "VARCHAR"};
  return DescribeField(column.field);
}

Value ParameterValue(const ParamBinding& binding) {
  if (binding.ioType != SQL_PARAM_INPUT) throw DriverError("HYC00", "Only input parameters are supported");
  const SQLLEN indicator = binding.indicator ? *binding.indicator : SQL_NTS;
  if (indicator == SQL_NULL_DATA || !binding.value) return {};
  if (indicator == SQL_DATA_AT_EXEC || indicator <= SQL_LEN_DATA_AT_EXEC_OFFSET)
    throw DriverError("HYC00", "Parameters sent at execution time are not supported");
  SQLSMALLINT cType = binding.cType;
  if (cType == SQL_C_DEFAULT) {
    switch (binding.sqlType) {
      case SQL_INTEGER: cType = SQL_C_SLONG; break;
      case SQL_SMALLINT: cType = SQL_C_SSHORT; break;
      case SQL_DOUBLE: case SQL_FLOAT: cType = SQL_C_DOUBLE; break;
      case SQL_REAL: cType = SQL_C_FLOAT; break;
      case SQL_BIT: cType = SQL_C_BIT; break;
      case SQL_TYPE_DATE: case SQL_DATE: cType = SQL_C_TYPE_DATE; break;
      case SQL_TYPE_TIMESTAMP: case SQL_TIMESTAMP: cType = SQL_C_TYPE_TIMESTAMP; break;
      default: cType = SQL_C_CHAR; break;
    }
  }
  SQLPOINTER v = binding.value;
  switch (cType) {
    case SQL_C_CHAR:
    case SQL_C_BINARY: {
      const char* text = static_cast<const char*>(v);
      std::size_t size = 0;
      if (indicator == SQL_NTS) {
        size = binding.bufferLength > 0 ? strnlen(text, static_cast<std::size_t>(binding.bufferLength)) : std::strlen(text);
      } else if (indicator >= 0) {
        size = static_cast<std::size_t>(indicator);
      } else {
        throw DriverError("HY090", "Invalid string or buffer length");
      }
      return std::string(text, size);
    }
    case SQL_C_WCHAR: {
      const auto* units = static_cast<const char16_t*>(v);
      std::size_t count = 0;
      if (indicator == SQL_NTS) {
        const std::size_t limit = binding.bufferLength > 0 ? static_cast<std::size_t>(binding.bufferLength) / 2 : SIZE_MAX;
        while (count < limit && units[count] != 0) ++count;
      } else if (indicator >= 0) {
        count = static_cast<std::size_t>(indicator) / 2;
      } else {
        throw DriverError("HY090", "Invalid string or buffer length");
      }
      return NarrowOf(units, count);
    }
    case SQL_C_SLONG: case SQL_C_LONG: return static_cast<double>(Load<SQLINTEGER>(v));
    case SQL_C_ULONG: return static_cast<double>(Load<SQLUINTEGER>(v));
    case SQL_C_SSHORT: case SQL_C_SHORT: return static_cast<double>(Load<SQLSMALLINT>(v));
    case SQL_C_USHORT: return static_cast<double>(Load<SQLUSMALLINT>(v));
    case SQL_C_STINYINT: case SQL_C_TINYINT: return static_cast<double>(Load<signed char>(v));
    case SQL_C_UTINYINT: return static_cast<double>(Load<unsigned char>(v));
    case SQL_C_SBIGINT: return static_cast<double>(Load<SQLBIGINT>(v));
    case SQL_C_UBIGINT: return static_cast<double>(Load<SQLUBIGINT>(v));
    case SQL_C_DOUBLE: return Load<double>(v);
    case SQL_C_FLOAT: return static_cast<double>(Load<float>(v));
    case SQL_C_BIT: return Load<unsigned char>(v) != 0;
    case SQL_C_TYPE_DATE: case SQL_C_DATE: {
      const auto d = Load<SQL_DATE_STRUCT>(v);
      return Date{d.year, d.month, d.day};
    }
    case SQL_C_TYPE_TIMESTAMP: case SQL_C_TIMESTAMP: {
      const auto t = Load<SQL_TIMESTAMP_STRUCT>(v);
      return Date{t.year, t.month, t.day};
    }
    default:
      throw DriverError("HYC00", "Parameter C type " + std::to_string(cType) + " is not supported");
  }
}

SQLRETURN WriteValue(const Value& value, const ResultColumn& column, SQLSMALLINT cType, SQLPOINTER target,
                     SQLLEN length, SQLLEN* indicator, std::size_t& offset, bool& finished,
                     std::vector<Warning>& warnings) {
  if (IsNull(value)) {
    if (finished) return SQL_NO_DATA;
    finished = true;
    if (!indicator) throw DriverError("22002", "Indicator variable required but not supplied");
    *indicator = SQL_NULL_DATA;
    return SQL_SUCCESS;
  }
  if (cType == SQL_C_DEFAULT) cType = DefaultCType(column);
  if (cType == SQL_C_CHAR || cType == SQL_C_BINARY) {
    return StoreBytes(TextOf(value, column.field), cType == SQL_C_CHAR ? 1 : 0, target, length, indicator, offset,
                      finished, warnings);
  }
  if (cType == SQL_C_WCHAR) {
    return StoreBytes(WideOf(TextOf(value, column.field)), sizeof(char16_t), target, length, indicator, offset,
                      finished, warnings);
  }
  if (finished) return SQL_NO_DATA;
  finished = true;
  switch (cType) {
    case SQL_C_SLONG: case SQL_C_LONG: return StoreInteger<SQLINTEGER>(value, target, indicator, warnings);
    case SQL_C_ULONG: return StoreInteger<SQLUINTEGER>(value, target, indicator, warnings);
    case SQL_C_SSHORT: case SQL_C_SHORT: return StoreInteger<SQLSMALLINT>(value, target, indicator, warnings);
    case SQL_C_USHORT: return StoreInteger<SQLUSMALLINT>(value, target, indicator, warnings);
    case SQL_C_STINYINT: case SQL_C_TINYINT: return StoreInteger<signed char>(value, target, indicator, warnings);
    case SQL_C_UTINYINT: return StoreInteger<unsigned char>(value, target, indicator, warnings);
    case SQL_C_SBIGINT: return StoreInteger<SQLBIGINT>(value, target, indicator, warnings);
    case SQL_C_UBIGINT: return StoreInteger<SQLUBIGINT>(value, target, indicator, warnings);
    case SQL_C_DOUBLE:
      Store(target, NumberOf(value));
      if (indicator) *indicator = sizeof(double);
      return SQL_SUCCESS;
    case SQL_C_FLOAT:
      Store(target, static_cast<float>(NumberOf(value)));
      if (indicator) *indicator = sizeof(float);
      return SQL_SUCCESS;
    case SQL_C_BIT: {
      const double number = NumberOf(value);
      Store(target, static_cast<unsigned char>(number != 0 ? 1 : 0));
      if (indicator) *indicator = 1;
      return SQL_SUCCESS;
    }
    case SQL_C_TYPE_DATE: case SQL_C_DATE: {
      const Date d = DateOfValue(value);
      SQL_DATE_STRUCT out{static_cast<SQLSMALLINT>(d.year), static_cast<SQLUSMALLINT>(d.month),
                          static_cast<SQLUSMALLINT>(d.day)};
      Store(target, out);
      if (indicator) *indicator = sizeof out;
      return SQL_SUCCESS;
    }
    case SQL_C_TYPE_TIMESTAMP: case SQL_C_TIMESTAMP: {
      const Date d = DateOfValue(value);
      SQL_TIMESTAMP_STRUCT out{};
      out.year = static_cast<SQLSMALLINT>(d.year);
      out.month = static_cast<SQLUSMALLINT>(d.month);
      out.day = static_cast<SQLUSMALLINT>(d.day);
      Store(target, out);
      if (indicator) *indicator = sizeof out;
      return SQL_SUCCESS;
    }
    default:
      throw DriverError("HYC00", "Conversion to C type " + std::to_string(cType) + " is not supported");
  }
}

template <typename Length>
static SQLRETURN CopyStringTo(std::string_view text, SQLPOINTER target, SQLLEN length, Length* outLength) {
  if (outLength) *outLength = static_cast<Length>(text.size());
  if (!target) return SQL_SUCCESS;
  if (length <= 0) return text.empty() ? SQL_SUCCESS : SQL_SUCCESS_WITH_INFO;
  const std::size_t copied = std::min(text.size(), static_cast<std::size_t>(length) - 1);
  std::memcpy(target, text.data(), copied);
  static_cast<char*>(target)[copied] = '\0';
  return copied < text.size() ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS;
}

SQLRETURN CopyString(std::string_view text, SQLPOINTER target, SQLLEN length, SQLSMALLINT* outLength) {
  return CopyStringTo(text, target, length, outLength);
}
SQLRETURN CopyString(std::string_view text, SQLPOINTER target, SQLLEN length, SQLINTEGER* outLength) {
  return CopyStringTo(text, target, length, outLength);
}

}  // namespace dbf::odbc
