// Run-time binding to the ODBC driver manager: the library is loaded on first use and a fixed
// table of ODBC 3 entry points (ANSI forms) is resolved by name. Nothing links the driver
// manager; its headers give the types only.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <string>
#include <vector>

#include "odbc/DynamicLibrary.h"

namespace odbc {

// The entry points, in the order in which they are resolved. Every one must be present in the
// driver manager, also those nothing calls yet.
#define VESTIBO_ODBC_ENTRY_POINTS(X)                                                          \
  X(SQLAllocHandle) X(SQLSetEnvAttr) X(SQLFreeHandle) X(SQLGetInfo) X(SQLProcedures)           \
  X(SQLColumns) X(SQLSpecialColumns) X(SQLGetDiagRec) X(SQLConnect) X(SQLDisconnect)           \
  X(SQLDriverConnect) X(SQLExecDirect) X(SQLPrepare) X(SQLCloseCursor) X(SQLExecute)           \
  X(SQLFetch) X(SQLNumResultCols) X(SQLDescribeCol) X(SQLFetchScroll) X(SQLExtendedFetch)      \
  X(SQLGetData) X(SQLSetStmtAttr) X(SQLGetStmtAttr) X(SQLBulkOperations) X(SQLPutData)         \
  X(SQLBindCol) X(SQLSetPos) X(SQLDataSources) X(SQLDrivers) X(SQLSetConnectAttr)              \
  X(SQLGetCursorName) X(SQLSetCursorName) X(SQLRowCount) X(SQLBindParameter) X(SQLFreeStmt)    \
  X(SQLColAttribute) X(SQLEndTran) X(SQLTables) X(SQLPrimaryKeys) X(SQLProcedureColumns)       \
  X(SQLMoreResults)

// One slot per entry point, typed after the unixODBC declarations.
struct TOdbcApi {
#define VESTIBO_ODBC_SLOT(name) decltype(&::name) name = nullptr;
  VESTIBO_ODBC_ENTRY_POINTS(VESTIBO_ODBC_SLOT)
#undef VESTIBO_ODBC_SLOT
};

// Owns the loaded driver-manager library and its entry-point table.
class TOdbcDriverManager {
 public:
  // The names tried in order: "libodbc.so.2", then "libodbc.so" (unixODBC); "ODBC32.DLL" on
  // Windows.
  static std::vector<std::string> PlatformLibraryNames();
  static constexpr int kEntryPointCount = 41;

  explicit TOdbcDriverManager(std::vector<std::string> libraryNames = PlatformLibraryNames());
  TOdbcDriverManager(const TOdbcDriverManager&) = delete;
  TOdbcDriverManager& operator=(const TOdbcDriverManager&) = delete;
  // Unloads the library; a failure cannot be reported from here and is ignored.
  ~TOdbcDriverManager() = default;

  // Loads the library and fills the table; does nothing when that was done already.
  // Throws std::runtime_error with the system's text when no library can be loaded, or
  // "Error Getting adress for <name>\r<system text>" for the first missing entry point. A
  // failed binding leaves nothing loaded, so the next call tries again and reports again.
  void Bind();
  bool Bound() const { return bound_; }
  // The filled table. Throws std::logic_error before a successful Bind().
  const TOdbcApi& Api() const;
  // Unloads the library and empties the table; throws std::runtime_error with the system's
  // text when the platform refuses. The sessions using it must be gone.
  void Unload();

 private:
  std::vector<std::string> libraryNames_;
  DynamicLibrary library_;
  TOdbcApi api_;
  bool bound_ = false;
};

}  // namespace odbc
