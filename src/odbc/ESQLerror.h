// ESQLerror: the exception for failed ODBC calls, carrying every diagnostic record of the
// handle; and the result checks applied after ODBC calls.
#pragma once

#include <sql.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "odbc/TOdbcDriverManager.h"

namespace odbc {

// One diagnostic record as the driver (or driver manager) reported it.
struct TSQLDiagRecord {
  std::string sqlState;      // five characters
  std::int32_t nativeError = 0;
  std::string message;       // driver text, bytes as given

  // "SQLSTATE:message", the form shown to the person.
  std::string Text() const { return sqlState + ":" + message; }
};

// The name of an ODBC return code: "SQL_SUCCESS", "SQL_ERROR", ... or "unknown SQL result<n>".
std::string SqlResultName(SQLRETURN code);

// Reads diagnostic record `recordNumber` (1-based) of a handle. A message longer than the first
// buffer is read again with room for all of it. Empty when there is no such record.
std::optional<TSQLDiagRecord> ReadDiagRecord(const TOdbcApi& api, SQLSMALLINT handleType,
                                             SQLHANDLE handle, SQLSMALLINT recordNumber);
// All diagnostic records of a handle, in order.
std::vector<TSQLDiagRecord> ReadDiagRecords(const TOdbcApi& api, SQLSMALLINT handleType,
                                            SQLHANDLE handle);
// The records as text, one "SQLSTATE:message" per line, lines separated by CR LF.
std::string DiagText(const std::vector<TSQLDiagRecord>& records);

class ESQLerror : public std::runtime_error {
 public:
  // An error with a message only: no diagnostic records, empty SqlState, NativeError 0.
  explicit ESQLerror(const std::string& message);
  // Built from a failed call: for SQL_SUCCESS_WITH_INFO and SQL_ERROR the handle's diagnostic
  // records are read; the message is the first record ("SQLSTATE:text"), or the name of the
  // return code when there is none.
  ESQLerror(const TOdbcApi& api, SQLSMALLINT handleType, SQLRETURN code, SQLHANDLE handle);

  // One line per diagnostic record: SQLSTATE, a colon, the message.
  std::vector<std::string> Errors() const;
  const std::vector<TSQLDiagRecord>& Records() const { return records_; }
  // The SQLSTATE of the first record; empty when none was read.
  const std::string& SqlState() const { return sqlState_; }
  // The native error of the last record read; the return code when none was read.
  std::int32_t NativeError() const { return nativeError_; }
  // The ODBC return code that caused the error (0 for a message-only error).
  SQLRETURN ReturnCode() const { return returnCode_; }

  void SetMessage(const std::string& message);

 private:
  std::vector<TSQLDiagRecord> records_;
  std::string sqlState_;
  std::int32_t nativeError_ = 0;
  SQLRETURN returnCode_ = SQL_SUCCESS;
};

// Check after SQLGetInfo: only SQL_SUCCESS passes (a truncated value is an error too).
void InfoCheck(const TOdbcApi& api, SQLRETURN code, SQLHDBC connection);
// Check after statement-level calls: only SQL_SUCCESS passes. Callers that expect a warning
// catch the ESQLerror and look at its SqlState.
void StatementCheck(const TOdbcApi& api, SQLRETURN code, SQLHSTMT statement);

}  // namespace odbc
