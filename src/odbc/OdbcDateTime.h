// Conversions between the system's date-time values and ODBC's date, time and timestamp
// structures. A structure that holds no valid date or time reads as the zero date-time.
#pragma once

#include <sql.h>

#include "core/DateTime.h"

namespace odbc {

SQL_DATE_STRUCT ToOdbcDate(core::TDateTime value);
SQL_TIME_STRUCT ToOdbcTime(core::TDateTime value);
// Milliseconds travel in the fraction (nanoseconds).
SQL_TIMESTAMP_STRUCT ToOdbcTimestamp(core::TDateTime value);

core::TDateTime FromOdbc(const SQL_DATE_STRUCT& date);
core::TDateTime FromOdbc(const SQL_TIME_STRUCT& time);
core::TDateTime FromOdbc(const SQL_TIMESTAMP_STRUCT& stamp);

}  // namespace odbc
