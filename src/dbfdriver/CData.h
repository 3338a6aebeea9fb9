// Values between the driver and application buffers of the ODBC C types.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <vector>

#include "dbfdriver/DbfValue.h"
#include "dbfdriver/Executor.h"
#include "dbfdriver/Handles.h"

namespace dbf::odbc {

// The SQL type, size and decimal digits a result column is described with.
struct SqlDescription {
  SQLSMALLINT type = SQL_CHAR;
  SQLULEN size = 0;
  SQLSMALLINT digits = 0;
  const char* typeName = "CHAR";
};
SqlDescription Describe(const ResultColumn& column);
SqlDescription DescribeField(const FieldDef& field);

// The value of an input parameter (row 0 of the parameter set).
Value ParameterValue(const ParamBinding& binding);

// Writes `value` of a column into an application buffer of `cType`. Character and binary data
// continue from `offset` across SQLGetData calls; returns SQL_NO_DATA when a previous call
// returned everything. Warnings (01004 truncation, 01S07 fraction dropped) go to `warnings`.
SQLRETURN WriteValue(const Value& value, const ResultColumn& column, SQLSMALLINT cType, SQLPOINTER target,
                     SQLLEN length, SQLLEN* indicator, std::size_t& offset, bool& finished,
                     std::vector<Warning>& warnings);

// Copies a text into an output string buffer (SQLCHAR*, with terminator), reporting 01004 through
// the return value SQL_SUCCESS_WITH_INFO when it does not fit.
SQLRETURN CopyString(std::string_view text, SQLPOINTER target, SQLLEN length, SQLSMALLINT* outLength);
SQLRETURN CopyString(std::string_view text, SQLPOINTER target, SQLLEN length, SQLINTEGER* outLength);

}  // namespace dbf::odbc
