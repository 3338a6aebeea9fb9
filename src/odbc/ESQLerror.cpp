#include "odbc/ESQLerror.h"

#include <sqlext.h>

#include <algorithm>
#include <climits>

namespace odbc {

std::string SqlResultName(SQLRETURN code) {
  switch (code) {
    case SQL_SUCCESS: return "SQL_SUCCESS";
    case SQL_SUCCESS_WITH_INFO: return "SQL_SUCCESS_WITH_INFO";
    case SQL_STILL_EXECUTING: return "SQL_STILL_EXECUTING";
    case SQL_NEED_DATA: return "SQL_NEED_DATA";
    case SQL_NO_DATA: return "SQL_NO_DATA";
    case SQL_ERROR: return "SQL_ERROR";
    case SQL_INVALID_HANDLE: return "SQL_INVALID_HANDLE";
    default: return "unknown SQL result" + std::to_string(code);
  }
}

std::optional<TSQLDiagRecord> ReadDiagRecord(const TOdbcApi& api, SQLSMALLINT handleType,
                                             SQLHANDLE handle, SQLSMALLINT recordNumber) {
  SQLCHAR state[SQL_SQLSTATE_SIZE + 1] = {};
  SQLINTEGER native = 0;
  std::string message(1000, '\0');
  SQLSMALLINT length = 0;
  SQLRETURN rc = api.SQLGetDiagRec(handleType, handle, recordNumber, state, &native,
                                   reinterpret_cast<SQLCHAR*>(message.data()),
                                   static_cast<SQLSMALLINT>(message.size()), &length);
  if (rc == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(message.size())) {
    // Truncated: ask again with room for the whole text and its terminator.
    message.assign(static_cast<std::size_t>(length) + 1, '\0');
    rc = api.SQLGetDiagRec(handleType, handle, recordNumber, state, &native,
                           reinterpret_cast<SQLCHAR*>(message.data()),
                           static_cast<SQLSMALLINT>(message.size()), &length);
  }
  if (rc != SQL_SUCCESS) return std::nullopt;
  TSQLDiagRecord record;
  record.sqlState = reinterpret_cast<const char*>(state);
  record.nativeError = native;
  const std::size_t used = length < 0 ? 0 : static_cast<std::size_t>(length);
  message.resize(std::min(used, message.size()));
  if (const auto nul = message.find('\0'); nul != std::string::npos) message.resize(nul);
  record.message = std::move(message);
  return record;
}

std::vector<TSQLDiagRecord> ReadDiagRecords(const TOdbcApi& api, SQLSMALLINT handleType,
                                            SQLHANDLE handle) {
  std::vector<TSQLDiagRecord> records;
  for (SQLSMALLINT number = 1; number < SHRT_MAX; ++number) {
    auto record = ReadDiagRecord(api, handleType, handle, number);
    if (!record) break;
    records.push_back(std::move(*record));
  }
  return records;
}

std::string DiagText(const std::vector<TSQLDiagRecord>& records) {
  std::string text;
  for (const TSQLDiagRecord& record : records) {
    if (!text.empty()) text += "\r\n";
    text += record.Text();
  }
  return text;
}

ESQLerror::ESQLerror(const std::string& message) : std::runtime_error(message) {}

ESQLerror::ESQLerror(const TOdbcApi& api, SQLSMALLINT handleType, SQLRETURN code,
                     SQLHANDLE handle)
    : std::runtime_error(SqlResultName(code)), nativeError_(code), returnCode_(code) {
  if (code != SQL_SUCCESS_WITH_INFO && code != SQL_ERROR) return;
  records_ = ReadDiagRecords(api, handleType, handle);
  if (records_.empty()) return;
  sqlState_ = records_.front().sqlState;
  nativeError_ = records_.back().nativeError;
  SetMessage(records_.front().Text());
}

std::vector<std::string> ESQLerror::Errors() const {
  std::vector<std::string> lines;
  lines.reserve(records_.size());
  for (const TSQLDiagRecord& record : records_) lines.push_back(record.Text());
  return lines;
}

void ESQLerror::SetMessage(const std::string& message) {
  static_cast<std::runtime_error&>(*this) = std::runtime_error(message);
}

void InfoCheck(const TOdbcApi& api, SQLRETURN code, SQLHDBC connection) {
  switch (code) {
    case SQL_SUCCESS: return;
    case SQL_SUCCESS_WITH_INFO:
    case SQL_ERROR: throw ESQLerror(api, SQL_HANDLE_DBC, code, connection);
    case SQL_STILL_EXECUTING: throw ESQLerror("SQL_STILL_EXECUTING");
    case SQL_INVALID_HANDLE: throw ESQLerror("SQL_INVALID_HANDLE");
    default: throw ESQLerror("unknown SQL result");
  }
}

void StatementCheck(const TOdbcApi& api, SQLRETURN code, SQLHSTMT statement) {
  switch (code) {
    case SQL_SUCCESS: return;
    case SQL_SUCCESS_WITH_INFO:
    case SQL_ERROR: throw ESQLerror(api, SQL_HANDLE_STMT, code, statement);
    case SQL_STILL_EXECUTING: throw ESQLerror("SQL_STILL_EXECUTING");
    case SQL_NEED_DATA: throw ESQLerror("SQL_NEED_DATA");
    case SQL_NO_DATA: throw ESQLerror("SQL_NO_DATA");
    case SQL_INVALID_HANDLE: throw ESQLerror(": SQL_INVALID_HANDLE");
    default: throw ESQLerror("unknown SQL result");
  }
}

}  // namespace odbc
