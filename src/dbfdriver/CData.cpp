#include "dbfdriver/CData.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
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
    throw DriverError("22018", "Invalid character value for cast specification: \"" + s->substr(0, 40) + "\"");
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

// Text and binary data in pieces: what is left from `offset`.
SQLRETURN StoreBytes(const std::string& bytes, bool terminate, SQLPOINTER target, SQLLEN length, SQLLEN* indicator,
                     std::size_t& offset, bool& finished, std::vector<Warning>& warnings) {
  if (finished) return SQL_NO_DATA;
  const std::size_t left = bytes.size() - std::min(offset, bytes.size());
  if (indicator) *indicator = static_cast<SQLLEN>(left);
  const std::size_t room = length > 0 ? static_cast<std::size_t>(length) - (terminate ? 1 : 0) : 0;
  const std::size_t copied = std::min(left, room);
  if (target && length > 0) {
    std::memcpy(target, bytes.data() + offset, copied);
    if (terminate) static_cast<char*>(target)[copied] = '\0';
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
    return StoreBytes(TextOf(value, column.field), cType == SQL_C_CHAR, target, length, indicator, offset, finished,
                      warnings);
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
