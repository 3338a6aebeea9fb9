#include "odbc/OdbcDateTime.h"

namespace odbc {

namespace {

constexpr SQLUINTEGER kNanosecondsPerMillisecond = 1000000u;

SQL_DATE_STRUCT DateOf(const core::TDateTime::Parts& parts) {
  return SQL_DATE_STRUCT{static_cast<SQLSMALLINT>(parts.year), static_cast<SQLUSMALLINT>(parts.month),
                         static_cast<SQLUSMALLINT>(parts.day)};
}

SQL_TIME_STRUCT TimeOf(const core::TDateTime::Parts& parts) {
  return SQL_TIME_STRUCT{static_cast<SQLUSMALLINT>(parts.hour), static_cast<SQLUSMALLINT>(parts.minute),
                         static_cast<SQLUSMALLINT>(parts.second)};
}

}  // namespace

SQL_DATE_STRUCT ToOdbcDate(core::TDateTime value) { return DateOf(value.Decode()); }

SQL_TIME_STRUCT ToOdbcTime(core::TDateTime value) { return TimeOf(value.Decode()); }

SQL_TIMESTAMP_STRUCT ToOdbcTimestamp(core::TDateTime value) {
  const auto parts = value.Decode();
  const SQL_DATE_STRUCT date = DateOf(parts);
  const SQL_TIME_STRUCT time = TimeOf(parts);
  return SQL_TIMESTAMP_STRUCT{date.year, date.month, date.day, time.hour, time.minute, time.second,
                              static_cast<SQLUINTEGER>(parts.millisecond) * kNanosecondsPerMillisecond};
}

core::TDateTime FromOdbc(const SQL_DATE_STRUCT& date) {
  return core::TDateTime::FromDate(date.year, date.month, date.day).value_or(core::TDateTime());
}

core::TDateTime FromOdbc(const SQL_TIME_STRUCT& time) {
  return core::TDateTime::FromTime(time.hour, time.minute, time.second).value_or(core::TDateTime());
}

core::TDateTime FromOdbc(const SQL_TIMESTAMP_STRUCT& stamp) {
  core::TDateTime::Parts parts;
  parts.year = stamp.year;
  parts.month = stamp.month;
  parts.day = stamp.day;
  parts.hour = stamp.hour;
  parts.minute = stamp.minute;
  parts.second = stamp.second;
  parts.millisecond = static_cast<int>(stamp.fraction / kNanosecondsPerMillisecond);
  return core::TDateTime::FromParts(parts).value_or(core::TDateTime());
}

}  // namespace odbc
