// The ODBC handles of the driver. The driver manager hands these back as opaque pointers; an
// environment is owned through its handle (taken and released at SQLAllocHandle/SQLFreeHandle),
// connections by their environment, statements by their connection.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <array>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dbfdriver/Executor.h"
#include "dbfdriver/SqlStatement.h"
#include "dbfdriver/Workspace.h"

namespace dbf::odbc {

inline constexpr const char* kMessagePrefix = "[Vestibo][dBase Driver]";

struct DiagRecord {
  std::string state;
  std::string message;
  SQLINTEGER native = 0;
};

struct Handle {
  explicit Handle(SQLSMALLINT type) : handleType(type) {}
  virtual ~Handle() = default;
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  void ClearDiagnostics() { diagnostics.clear(); }
  void AddDiagnostic(const std::string& state, const std::string& message) {
    diagnostics.push_back({state, kMessagePrefix + message, 0});
  }

  SQLSMALLINT handleType;
  std::vector<DiagRecord> diagnostics;
  SQLRETURN lastReturn = SQL_SUCCESS;
};

struct Connection;
struct Statement;

struct Descriptor : Handle {
  Descriptor() : Handle(SQL_HANDLE_DESC) {}
};

struct Environment : Handle {
  Environment() : Handle(SQL_HANDLE_ENV) {}
  std::vector<std::unique_ptr<Connection>> connections;
  std::map<SQLINTEGER, SQLULEN> attributes{{SQL_ATTR_ODBC_VERSION, SQL_OV_ODBC3}, {SQL_ATTR_OUTPUT_NTS, SQL_TRUE}};
};

struct Connection : Handle {
  explicit Connection(Environment& env) : Handle(SQL_HANDLE_DBC), environment(env) {}
  Environment& environment;
  bool connected = false;
  std::filesystem::path directory;
  std::string dataSource;
  Workspace workspace;
  std::vector<std::unique_ptr<Statement>> statements;
  std::map<SQLINTEGER, SQLULEN> attributes;
};

struct ColumnBinding {
  SQLSMALLINT cType = SQL_C_CHAR;
  SQLPOINTER target = nullptr;
  SQLLEN length = 0;
  SQLLEN* indicator = nullptr;
};

struct ParamBinding {
  SQLSMALLINT ioType = SQL_PARAM_INPUT;
  SQLSMALLINT cType = SQL_C_CHAR;
  SQLSMALLINT sqlType = SQL_CHAR;
  SQLULEN columnSize = 0;
  SQLSMALLINT digits = 0;
  SQLPOINTER value = nullptr;
  SQLLEN bufferLength = 0;
  SQLLEN* indicator = nullptr;
};

struct Statement : Handle {
  explicit Statement(Connection& conn) : Handle(SQL_HANDLE_STMT), connection(conn) {}
  Connection& connection;
  std::array<Descriptor, 4> descriptors;  // ARD, APD, IRD, IPD as the driver manager asks for them

  std::string text;
  std::optional<sql::ParsedStatement> parsed;
  std::optional<std::vector<ResultColumn>> described;  // columns of a prepared SELECT
  std::map<SQLUSMALLINT, ColumnBinding> columns;
  std::map<SQLUSMALLINT, ParamBinding> parameters;

  std::optional<ResultSet> result;  // an open cursor
  long long rowCount = -1;
  SQLLEN rowsetStart = 0;  // 1-based first row of the rowset; 0 before the first, size+1 after the last
  SQLLEN rowsetSize = 0;   // rows in the current rowset
  SQLLEN positionInRowset = 1;
  int getDataColumn = -1;
  std::size_t getDataOffset = 0;
  bool getDataFinished = false;

  SQLULEN cursorType = SQL_CURSOR_FORWARD_ONLY;
  SQLULEN rowArraySize = 1;
  SQLULEN rowBindType = SQL_BIND_BY_COLUMN;
  SQLLEN* rowBindOffset = nullptr;
  SQLULEN* rowsFetched = nullptr;
  SQLUSMALLINT* rowStatus = nullptr;
  SQLULEN* paramsProcessed = nullptr;
  SQLUSMALLINT* paramStatus = nullptr;
  std::map<SQLINTEGER, SQLULEN> attributes;  // accepted and kept, without effect here

  const std::vector<ResultColumn>* Columns() const {
    if (result) return &result->columns;
    return described ? &*described : nullptr;
  }
};

}  // namespace dbf::odbc
