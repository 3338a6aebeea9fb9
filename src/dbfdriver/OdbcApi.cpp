// The ODBC 3 entry points the driver manager calls. Each one catches every exception and turns
// it into a diagnostic record on its handle: nothing escapes into the host program, nothing is
// printed.
#pragma GCC visibility push(default)
#include <odbcinst.h>
#include <sql.h>
#include <sqlext.h>
#pragma GCC visibility pop

#include <algorithm>
#include <cstring>
#include <new>

#include "dbfdriver/Catalog.h"
#include "dbfdriver/CData.h"
#include "dbfdriver/ConnectString.h"
#include "dbfdriver/Handles.h"
#include "dbfdriver/SqlParser.h"

using namespace dbf;
using namespace dbf::odbc;

namespace {

// Runs `body` on the handle as type T with fresh diagnostics; any exception becomes a record.
template <typename T, typename F>
SQLRETURN Run(SQLHANDLE handle, F&& body) noexcept {
  if (!handle) return SQL_INVALID_HANDLE;
  T& h = static_cast<T&>(*static_cast<Handle*>(handle));
  SQLRETURN rc = SQL_ERROR;
  try {
    h.ClearDiagnostics();
    rc = body(h);
  } catch (const DriverError& e) {
    try {
      h.AddDiagnostic(e.State(), e.what());
    } catch (...) {
    }
  } catch (const std::bad_alloc&) {
    try {
      h.AddDiagnostic("HY001", "Memory allocation error");
    } catch (...) {
    }
  } catch (const std::exception& e) {
    try {
      h.AddDiagnostic("HY000", e.what());
    } catch (...) {
    }
  } catch (...) {
    try {
      h.AddDiagnostic("HY000", "Unexpected failure");
    } catch (...) {
    }
  }
  h.lastReturn = rc;
  return rc;
}

SQLRETURN WithWarnings(Handle& h, const std::vector<Warning>& warnings, SQLRETURN rc = SQL_SUCCESS) {
  for (const Warning& w : warnings) h.AddDiagnostic(w.state, w.message);
  return warnings.empty() || rc != SQL_SUCCESS ? rc : SQL_SUCCESS_WITH_INFO;
}

SQLRETURN Truncated(Handle& h, SQLRETURN rc) {
  if (rc == SQL_SUCCESS_WITH_INFO) h.AddDiagnostic("01004", "String data, right truncated");
  return rc;
}

std::string Text(const SQLCHAR* text, SQLINTEGER length) {
  if (!text) return {};
  if (length == SQL_NTS) return reinterpret_cast<const char*>(text);
  if (length < 0) throw DriverError("HY090", "Invalid string or buffer length");
  return std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(length));
}

template <typename T>
void Put(SQLPOINTER target, T value) {
  if (target) std::memcpy(target, &value, sizeof value);
}

// ---- connections -------------------------------------------------------------------------

std::string ProfileValue(const std::string& dataSource, const char* key) {
  char value[1024] = {};
  SQLGetPrivateProfileString(dataSource.c_str(), key, "", value, sizeof value, "odbc.ini");
  return value;
}

// Adds the directory keys of a data source the connection names and does not override.
void AddDataSourceKeys(Attributes& attributes) {
  const auto dsn = FindAttribute(attributes, "DSN");
  if (!dsn || dsn->empty()) return;
  for (const char* key : {"DefaultDir", "SourceDB", "DBQ"}) {
    if (FindAttribute(attributes, key)) continue;
    std::string value = ProfileValue(*dsn, key);
    if (!value.empty()) attributes.emplace_back(key, std::move(value));
  }
}

void Connect(Connection& c, const Attributes& attributes) {
  if (c.connected) throw DriverError("08002", "Connection name in use");
  const auto directory = DataDirectory(attributes);
  if (!directory) {
    throw DriverError("08001", "Client unable to establish connection: no data directory given (DefaultDir, "
                               "SourceDB or DBQ)");
  }
  std::string path = *directory;
  std::replace(path.begin(), path.end(), '\\', '/');
  std::error_code error;
  if (!std::filesystem::exists(path, error)) {
    throw DriverError("08001", "Client unable to establish connection: data directory " + *directory +
                                   " does not exist");
  }
  if (!std::filesystem::is_directory(path, error)) {
    throw DriverError("08001", "Client unable to establish connection: " + *directory + " is not a directory");
  }
  c.directory = std::filesystem::absolute(path, error);
  c.dataSource = FindAttribute(attributes, "DSN").value_or("");
  c.workspace = Workspace();
  c.connected = true;
}

Connection& Owner(Statement& s) {
  if (!s.connection.connected) throw DriverError("08003", "Connection not open");
  return s.connection;
}

// ---- statements --------------------------------------------------------------------------

void CloseCursor(Statement& s) {
  s.result.reset();
  s.rowsetStart = 0;
  s.rowsetSize = 0;
  s.positionInRowset = 1;
  s.getDataColumn = -1;
}

void Prepare(Statement& s, std::string text) {
  if (s.result) throw DriverError("24000", "Invalid cursor state: a result is open");
  s.parsed.reset();
  s.described.reset();
  s.text = std::move(text);
  s.parsed = sql::Parse(s.text);
}

const std::vector<ResultColumn>& ColumnsOf(Statement& s) {
  if (const auto* columns = s.Columns()) return *columns;
  if (!s.parsed) throw DriverError("HY010", "Function sequence error: no statement prepared");
  Connection& c = Owner(s);
  s.described = Executor(c.workspace, c.directory).Describe(*s.parsed);
  return *s.described;
}

const ResultColumn& ColumnAt(Statement& s, SQLUSMALLINT number) {
  const auto& columns = ColumnsOf(s);
  if (number < 1 || number > columns.size()) {
    throw DriverError("07009", "Invalid descriptor index " + std::to_string(number));
  }
  return columns[number - 1u];
}

SQLRETURN Execute(Statement& s) {
  if (!s.parsed) throw DriverError("HY010", "Function sequence error: no statement prepared");
  if (s.result) throw DriverError("24000", "Invalid cursor state: a result is open");
  Connection& c = Owner(s);
  const auto paramsetSize = s.attributes.count(SQL_ATTR_PARAMSET_SIZE) ? s.attributes[SQL_ATTR_PARAMSET_SIZE] : 1;
  if (paramsetSize > 1) throw DriverError("HYC00", "Arrays of parameters are not supported");
  std::vector<Value> values;
  for (int i = 1; i <= s.parsed->parameterCount; ++i) {
    const auto it = s.parameters.find(static_cast<SQLUSMALLINT>(i));
    if (it == s.parameters.end()) {
      throw DriverError("07002", "COUNT field incorrect: parameter " + std::to_string(i) + " is not bound");
    }
    values.push_back(ParameterValue(it->second));
  }
  s.rowCount = -1;
  ExecutionResult result = Executor(c.workspace, c.directory).Run(*s.parsed, values);
  if (s.paramsProcessed) *s.paramsProcessed = 1;
  if (s.paramStatus) *s.paramStatus = SQL_PARAM_SUCCESS;
  s.rowCount = result.affected;
  if (result.rows) {
    s.result = std::move(result.rows);
    s.rowsetStart = 0;
  }
  const bool searched = std::holds_alternative<sql::Update>(s.parsed->statement) ||
                        std::holds_alternative<sql::Delete>(s.parsed->statement);
  if (searched && result.affected == 0 && result.warnings.empty()) return SQL_NO_DATA;
  return WithWarnings(s, result.warnings);
}

void OpenCatalogResult(Statement& s, ResultSet set) {
  if (s.result) throw DriverError("24000", "Invalid cursor state: a result is open");
  s.parsed.reset();
  s.described.reset();
  s.rowCount = static_cast<long long>(set.rows.size());
  s.result = std::move(set);
  s.rowsetStart = 0;
}

// Fills the bound columns for every row of the rowset.
SQLRETURN FillRowset(Statement& s) {
  std::vector<Warning> warnings;
  const SQLLEN bindOffset = s.rowBindOffset ? *s.rowBindOffset : 0;
  for (SQLLEN r = 0; r < s.rowsetSize; ++r) {
    const auto row = static_cast<std::size_t>(s.rowsetStart - 1 + r);
    const std::size_t before = warnings.size();
    for (const auto& [number, binding] : s.columns) {
      if (number < 1 || number > s.result->columns.size()) continue;
      char* target = static_cast<char*>(binding.target);
      auto* indicatorBytes = reinterpret_cast<char*>(binding.indicator);
      if (s.rowBindType == SQL_BIND_BY_COLUMN) {
        if (target) target += r * binding.length + bindOffset;
        if (indicatorBytes) indicatorBytes += r * static_cast<SQLLEN>(sizeof(SQLLEN)) + bindOffset;
      } else {
        const SQLLEN step = r * static_cast<SQLLEN>(s.rowBindType) + bindOffset;
        if (target) target += step;
        if (indicatorBytes) indicatorBytes += step;
      }
      std::size_t offset = 0;
      bool finished = false;
      WriteValue(s.result->At(row, number - 1u), s.result->columns[number - 1u], binding.cType, target,
                 binding.length, reinterpret_cast<SQLLEN*>(indicatorBytes), offset, finished, warnings);
    }
    if (s.rowStatus) s.rowStatus[r] = warnings.size() > before ? SQL_ROW_SUCCESS_WITH_INFO : SQL_ROW_SUCCESS;
  }
  if (s.rowStatus)
    for (SQLULEN r = static_cast<SQLULEN>(s.rowsetSize); r < s.rowArraySize; ++r) s.rowStatus[r] = SQL_ROW_NOROW;
  return WithWarnings(s, warnings);
}

SQLRETURN FetchScroll(Statement& s, SQLSMALLINT orientation, SQLLEN offset) {
  if (!s.result) throw DriverError("24000", "Invalid cursor state: no result is open");
  if (s.cursorType == SQL_CURSOR_FORWARD_ONLY && orientation != SQL_FETCH_NEXT) {
    throw DriverError("HY106", "Fetch type out of range: the cursor is forward-only");
  }
  const auto n = static_cast<SQLLEN>(s.result->rows.size());
  const auto size = static_cast<SQLLEN>(std::max<SQLULEN>(s.rowArraySize, 1));
  const SQLLEN current = s.rowsetStart;
  bool pastStart = false;
  SQLLEN start = 0;
  switch (orientation) {
    case SQL_FETCH_NEXT: start = current <= 0 ? 1 : (current > n ? n + 1 : current + size); break;
    case SQL_FETCH_PRIOR:
      if (current <= 0) {
        start = 0;
      } else if (current > n) {
        start = std::max<SQLLEN>(n - size + 1, 1);
      } else if (current == 1) {
        start = 0;
      } else if (current - size < 1) {
        start = 1;
        pastStart = true;
      } else {
        start = current - size;
      }
      break;
    case SQL_FETCH_FIRST: start = 1; break;
    case SQL_FETCH_LAST: start = std::max<SQLLEN>(n - size + 1, 1); break;
    case SQL_FETCH_ABSOLUTE: start = offset >= 0 ? offset : std::max<SQLLEN>(n + offset + 1, 0); break;
    case SQL_FETCH_RELATIVE:
      if (current <= 0) {
        start = offset > 0 ? offset : 0;
      } else if (current > n) {
        start = offset < 0 ? n + 1 + offset : n + 1;
      } else {
        start = std::max<SQLLEN>(current + offset, 0);
      }
      break;
    default: throw DriverError("HY106", "Fetch type out of range");
  }
  s.positionInRowset = 1;
  s.getDataColumn = -1;
  if (start < 1 || start > n || n == 0) {
    s.rowsetStart = start < 1 ? 0 : n + 1;
    s.rowsetSize = 0;
    if (s.rowsFetched) *s.rowsFetched = 0;
    if (s.rowStatus)
      for (SQLULEN r = 0; r < s.rowArraySize; ++r) s.rowStatus[r] = SQL_ROW_NOROW;
    return SQL_NO_DATA;
  }
  s.rowsetStart = start;
  s.rowsetSize = std::min(size, n - start + 1);
  if (s.rowsFetched) *s.rowsFetched = static_cast<SQLULEN>(s.rowsetSize);
  const SQLRETURN rc = FillRowset(s);
  if (pastStart) {
    s.AddDiagnostic("01S06", "Attempt to fetch before the result set returned the first rowset");
    return SQL_SUCCESS_WITH_INFO;
  }
  return rc;
}

std::size_t CurrentRow(Statement& s) {
  if (!s.result || s.rowsetStart < 1 || s.rowsetStart > static_cast<SQLLEN>(s.result->rows.size())) {
    throw DriverError("24000", "Invalid cursor state: no current row");
  }
  return static_cast<std::size_t>(s.rowsetStart - 1 + s.positionInRowset - 1);
}

SQLLEN NumericAttribute(Statement& s, const ResultColumn& column, SQLUSMALLINT field, bool& known) {
  const SqlDescription d = Describe(column);
  known = true;
  switch (field) {
    case SQL_DESC_COUNT: case SQL_COLUMN_COUNT: return static_cast<SQLLEN>(ColumnsOf(s).size());
    case SQL_DESC_TYPE: return d.type == SQL_TYPE_DATE ? SQL_DATETIME : d.type;
    case SQL_DESC_CONCISE_TYPE: return d.type;
    case SQL_DESC_LENGTH: case SQL_DESC_PRECISION: case SQL_COLUMN_PRECISION: case SQL_COLUMN_LENGTH:
      return static_cast<SQLLEN>(d.size);
    case SQL_DESC_OCTET_LENGTH: return d.type == SQL_TYPE_DATE ? 6 : static_cast<SQLLEN>(column.field.width);
    case SQL_DESC_SCALE: case SQL_COLUMN_SCALE: return d.digits;
    case SQL_DESC_DISPLAY_SIZE: return column.field.width > 10 || d.type != SQL_TYPE_DATE ? column.field.width : 10;
    case SQL_DESC_NULLABLE: case SQL_COLUMN_NULLABLE: return SQL_NULLABLE;
    case SQL_DESC_UNSIGNED: return d.type == SQL_CHAR || d.type == SQL_VARCHAR || d.type == SQL_TYPE_DATE ? SQL_TRUE : SQL_FALSE;
    case SQL_DESC_FIXED_PREC_SCALE: case SQL_DESC_AUTO_UNIQUE_VALUE: return SQL_FALSE;
    case SQL_DESC_CASE_SENSITIVE: return d.type == SQL_CHAR ? SQL_TRUE : SQL_FALSE;
    case SQL_DESC_SEARCHABLE: return SQL_PRED_SEARCHABLE;
    case SQL_DESC_UPDATABLE: return SQL_ATTR_READONLY;
    case SQL_DESC_NUM_PREC_RADIX: return d.type == SQL_INTEGER || d.type == SQL_NUMERIC ? 10 : 0;
    case SQL_DESC_UNNAMED: return SQL_NAMED;
    default: known = false; return 0;
  }
}

std::optional<std::string> StringAttribute(const ResultColumn& column, SQLUSMALLINT field) {
  switch (field) {
    case SQL_DESC_NAME: case SQL_DESC_LABEL: case SQL_DESC_BASE_COLUMN_NAME: case SQL_COLUMN_NAME:
      return column.field.name;
    case SQL_DESC_TYPE_NAME: case SQL_DESC_LOCAL_TYPE_NAME: return std::string(Describe(column).typeName);
    case SQL_DESC_TABLE_NAME: case SQL_DESC_BASE_TABLE_NAME: return column.table;
    case SQL_DESC_SCHEMA_NAME: case SQL_DESC_CATALOG_NAME: return std::string();
    case SQL_DESC_LITERAL_PREFIX: case SQL_DESC_LITERAL_SUFFIX: {
      const auto type = Describe(column).type;
      return type == SQL_CHAR || type == SQL_VARCHAR || type == SQL_TYPE_DATE ? "'" : "";
    }
    default: return std::nullopt;
  }
}

}  // namespace

extern "C" {

// ---- handles -----------------------------------------------------------------------------

SQLRETURN SQL_API SQLAllocHandle(SQLSMALLINT type, SQLHANDLE input, SQLHANDLE* output) {
  if (!output) return SQL_ERROR;
  *output = SQL_NULL_HANDLE;
  try {
    switch (type) {
      case SQL_HANDLE_ENV: {
        // The driver manager owns the environment through this handle until SQLFreeHandle.
        *output = static_cast<Handle*>(std::make_unique<Environment>().release());
        return SQL_SUCCESS;
      }
      case SQL_HANDLE_DBC:
        return Run<Environment>(input, [&](Environment& env) -> SQLRETURN {
          env.connections.push_back(std::make_unique<Connection>(env));
          *output = static_cast<Handle*>(env.connections.back().get());
          return SQL_SUCCESS;
        });
      case SQL_HANDLE_STMT:
        return Run<Connection>(input, [&](Connection& c) -> SQLRETURN {
          if (!c.connected) throw DriverError("08003", "Connection not open");
          c.statements.push_back(std::make_unique<Statement>(c));
          *output = static_cast<Handle*>(c.statements.back().get());
          return SQL_SUCCESS;
        });
      case SQL_HANDLE_DESC:
        return Run<Connection>(input, [&](Connection&) -> SQLRETURN {
          throw DriverError("HYC00", "Descriptors of the application's own are not supported");
        });
      default: return SQL_ERROR;
    }
  } catch (...) {
    return SQL_ERROR;
  }
}

SQLRETURN SQL_API SQLFreeHandle(SQLSMALLINT type, SQLHANDLE handle) {
  if (!handle) return SQL_INVALID_HANDLE;
  try {
    switch (type) {
      case SQL_HANDLE_ENV: {
        auto& env = static_cast<Environment&>(*static_cast<Handle*>(handle));
        if (!env.connections.empty()) {
          env.AddDiagnostic("HY010", "Function sequence error: connections are still allocated");
          return SQL_ERROR;
        }
        std::unique_ptr<Environment> owned(&env);  // taken back from the driver manager
        return SQL_SUCCESS;
      }
      case SQL_HANDLE_DBC: {
        auto& c = static_cast<Connection&>(*static_cast<Handle*>(handle));
        if (c.connected) {
          c.AddDiagnostic("HY010", "Function sequence error: the connection is still open");
          return SQL_ERROR;
        }
        auto& list = c.environment.connections;
        list.erase(std::remove_if(list.begin(), list.end(), [&](const auto& p) { return p.get() == &c; }), list.end());
        return SQL_SUCCESS;
      }
      case SQL_HANDLE_STMT: {
        auto& s = static_cast<Statement&>(*static_cast<Handle*>(handle));
        auto& list = s.connection.statements;
        list.erase(std::remove_if(list.begin(), list.end(), [&](const auto& p) { return p.get() == &s; }), list.end());
        return SQL_SUCCESS;
      }
      default: return SQL_ERROR;
    }
  } catch (...) {
    return SQL_ERROR;
  }
}

SQLRETURN SQL_API SQLSetEnvAttr(SQLHENV env, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER) {
  return Run<Environment>(env, [&](Environment& e) -> SQLRETURN {
    e.attributes[attribute] = reinterpret_cast<SQLULEN>(value);
    return SQL_SUCCESS;
  });
}

SQLRETURN SQL_API SQLGetEnvAttr(SQLHENV env, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER, SQLINTEGER* length) {
  return Run<Environment>(env, [&](Environment& e) -> SQLRETURN {
    Put(value, static_cast<SQLUINTEGER>(e.attributes.count(attribute) ? e.attributes[attribute] : 0));
    if (length) *length = sizeof(SQLUINTEGER);
    return SQL_SUCCESS;
  });
}

// ---- connections -------------------------------------------------------------------------

SQLRETURN SQL_API SQLConnect(SQLHDBC dbc, SQLCHAR* dsn, SQLSMALLINT dsnLength, SQLCHAR*, SQLSMALLINT, SQLCHAR*,
                             SQLSMALLINT) {
  return Run<Connection>(dbc, [&](Connection& c) -> SQLRETURN {
    Attributes attributes{{"DSN", Text(dsn, dsnLength)}};
    AddDataSourceKeys(attributes);
    Connect(c, attributes);
    return SQL_SUCCESS;
  });
}

SQLRETURN SQL_API SQLDriverConnect(SQLHDBC dbc, SQLHWND, SQLCHAR* in, SQLSMALLINT inLength, SQLCHAR* out,
                                   SQLSMALLINT outMax, SQLSMALLINT* outLength, SQLUSMALLINT) {
  return Run<Connection>(dbc, [&](Connection& c) -> SQLRETURN {
    Attributes attributes = ParseConnectString(Text(in, inLength));
    AddDataSourceKeys(attributes);
    Connect(c, attributes);
    return Truncated(c, CopyString(BuildConnectString(attributes), out, outMax, outLength));
  });
}

SQLRETURN SQL_API SQLDisconnect(SQLHDBC dbc) {
  return Run<Connection>(dbc, [&](Connection& c) -> SQLRETURN {
    if (!c.connected) throw DriverError("08003", "Connection not open");
    if (!c.workspace.Autocommit() && c.workspace.HasPendingChanges()) {
      throw DriverError("25000", "Invalid transaction state: commit or roll back before disconnecting");
    }
    c.workspace.Commit();  // syncs what was written
    c.statements.clear();
    c.workspace = Workspace();
    c.connected = false;
    return SQL_SUCCESS;
  });
}

SQLRETURN SQL_API SQLSetConnectAttr(SQLHDBC dbc, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER) {
  return Run<Connection>(dbc, [&](Connection& c) -> SQLRETURN {
    const auto number = reinterpret_cast<SQLULEN>(value);
    if (attribute == SQL_ATTR_AUTOCOMMIT) {
      const bool on = number == SQL_AUTOCOMMIT_ON;
      if (on && !c.workspace.Autocommit()) c.workspace.Commit();  // switching on commits the open transaction
      c.workspace.SetAutocommit(on);
    } else if (attribute == SQL_ATTR_CURRENT_CATALOG) {
      throw DriverError("HYC00", "Changing the directory of an open connection is not supported");
    } else {
      c.attributes[attribute] = number;
    }
    return SQL_SUCCESS;
  });
}

SQLRETURN SQL_API SQLGetConnectAttr(SQLHDBC dbc, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER bufferLength,
                                    SQLINTEGER* length) {
  return Run<Connection>(dbc, [&](Connection& c) -> SQLRETURN {
    switch (attribute) {
      case SQL_ATTR_AUTOCOMMIT:
        Put(value, static_cast<SQLUINTEGER>(c.workspace.Autocommit() ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF));
        break;
      case SQL_ATTR_CONNECTION_DEAD: Put(value, static_cast<SQLUINTEGER>(c.connected ? SQL_CD_FALSE : SQL_CD_TRUE)); break;
      case SQL_ATTR_CURRENT_CATALOG:
        return Truncated(c, CopyString(c.directory.string(), value, bufferLength, length));
      case SQL_ATTR_TXN_ISOLATION: Put(value, static_cast<SQLUINTEGER>(SQL_TXN_READ_COMMITTED)); break;
      default: Put(value, static_cast<SQLUINTEGER>(c.attributes.count(attribute) ? c.attributes[attribute] : 0)); break;
    }
    if (length) *length = sizeof(SQLUINTEGER);
    return SQL_SUCCESS;
  });
}

SQLRETURN SQL_API SQLEndTran(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT completion) {
  auto finish = [completion](Connection& c) {
    if (!c.connected) return;
    if (completion == SQL_COMMIT) {
      c.workspace.Commit();
    } else {
      c.workspace.Rollback();
    }
  };
  if (completion != SQL_COMMIT && completion != SQL_ROLLBACK) return SQL_ERROR;
  if (type == SQL_HANDLE_ENV) {
    return Run<Environment>(handle, [&](Environment& e) -> SQLRETURN {
      for (auto& c : e.connections) finish(*c);
      return SQL_SUCCESS;
    });
  }
  return Run<Connection>(handle, [&](Connection& c) -> SQLRETURN {
    if (!c.connected) throw DriverError("08003", "Connection not open");
    finish(c);
    return SQL_SUCCESS;
  });
}

SQLRETURN SQL_API SQLGetInfo(SQLHDBC dbc, SQLUSMALLINT type, SQLPOINTER value, SQLSMALLINT bufferLength,
                             SQLSMALLINT* length) {
  return Run<Connection>(dbc, [&](Connection& c) -> SQLRETURN {
    const auto info = GetInfoValue(type, c.directory, c.dataSource);
    if (!info) throw DriverError("HY096", "Information type " + std::to_string(type) + " is not known");
    if (const auto* text = std::get_if<std::string>(&*info)) return Truncated(c, CopyString(*text, value, bufferLength, length));
    if (const auto* small = std::get_if<SQLUSMALLINT>(&*info)) {
      Put(value, *small);
      if (length) *length = sizeof(SQLUSMALLINT);
    } else {
      Put(value, std::get<SQLUINTEGER>(*info));
      if (length) *length = sizeof(SQLUINTEGER);
    }
    return SQL_SUCCESS;
  });
}

SQLRETURN SQL_API SQLGetFunctions(SQLHDBC dbc, SQLUSMALLINT function, SQLUSMALLINT* supported) {
  return Run<Connection>(dbc, [&](Connection&) -> SQLRETURN {
    if (!supported) return SQL_SUCCESS;
    if (function == SQL_API_ODBC3_ALL_FUNCTIONS) {
      std::fill(supported, supported + SQL_API_ODBC3_ALL_FUNCTIONS_SIZE, 0);
      for (SQLUSMALLINT f = 1; f < SQL_API_ODBC3_ALL_FUNCTIONS_SIZE * 16; ++f)
        if (Implements(f)) supported[f >> 4] = static_cast<SQLUSMALLINT>(supported[f >> 4] | (1 << (f & 0xF)));
    } else if (function == SQL_API_ALL_FUNCTIONS) {
      for (SQLUSMALLINT f = 0; f < 100; ++f) supported[f] = Implements(f) ? SQL_TRUE : SQL_FALSE;
    } else {
      *supported = Implements(function) ? SQL_TRUE : SQL_FALSE;
    }
    return SQL_SUCCESS;
  });
}

SQLRETURN SQL_API SQLNativeSql(SQLHDBC dbc, SQLCHAR* in, SQLINTEGER inLength, SQLCHAR* out, SQLINTEGER outMax,
                               SQLINTEGER* outLength) {
  return Run<Connection>(dbc, [&](Connection& c) -> SQLRETURN {
    return Truncated(c, CopyString(Text(in, inLength), out, outMax, outLength));
  });
}

// ---- statements --------------------------------------------------------------------------

SQLRETURN SQL_API SQLPrepare(SQLHSTMT stmt, SQLCHAR* text, SQLINTEGER length) {
  return Run<Statement>(stmt, [&](Statement& s) -> SQLRETURN {
    Prepare(s, Text(text, length));
    return SQL_SUCCESS;
  });
}

SQLRETURN SQL_API SQLExecute(SQLHSTMT stmt) {
  return Run<Statement>(stmt, [&](Statement& s) -> SQLRETURN { return Execute(s); });
}

SQLRETURN SQL_API SQLExecDirect(SQLHSTMT stmt, SQLCHAR* text, SQLINTEGER length) {
  return Run<Statement>(stmt, [&](Statement& s) -> SQLRETURN {
    Prepare(s, Text(text, length));
    return Execute(s);
  });
}

SQLRETURN SQL_API SQLNumParams(SQLHSTMT stmt, SQLSMALLINT* count) {
  return Run<Statement>(stmt, [&](Statement& s) -> SQLRETURN {
    if (!s.parsed) throw DriverError("HY010", "Function sequence error: no statement prepared");
    if (count) *count = static_cast<SQLSMALLINT>(s.parsed->parameterCount);
    return SQL_SUCCESS;
  });
}

SQLRETURN SQL_API SQLDescribeParam(SQLHSTMT stmt, SQLUSMALLINT number, SQLSMALLINT* type, SQLULEN* size,
                                   SQLSMALLINT* digits, SQLSMALLINT* nullable) {
  return Run<Statement>(stmt, [&](Statement& s) -> SQLRETURN {
    if (!s.parsed) throw DriverError("HY010", "Function sequence error: no statement prepared");
    if (number < 1 || number > s.parsed->parameterCount) throw DriverError("07009", "Invalid descriptor index");
    Connection& c = Owner(s);
    const auto field = Executor(c.workspace, c.directory).ParameterField(*s.parsed, number - 1);
    const SqlDescription d = field ? DescribeField(*field) : SqlDescription{SQL_VARCHAR, 254, 0, "VARCHAR"};
    if (type) *type = d.type;
    if (size) *size = d.size;
    if (digits) *digits = d.digits;
    if (nullable) *nullable = SQL_NULLABLE;
    return SQL_SUCCESS;
  });
}

SQLRETURN SQL_API SQLBindParameter(SQLHSTMT stmt, SQLUSMALLINT number, SQLSMALLINT ioType, SQLSMALLINT cType,
                                   SQLSMALLINT sqlType, SQLULEN columnSize, SQLSMALLINT digits, SQLPOINTER value,
                                   SQLLEN bufferLength, SQLLEN* indicator) {
  return Run<Statement>(stmt, [&](Statement& s) -> SQLRETURN {
    if (number < 1) throw DriverError("07009", "Invalid descriptor index");
    s.parameters[number] = ParamBinding{ioType, cType, sqlType, columnSize, digits, value, bufferLength, indicator};
    return SQL_SUCCESS;
  });
}

SQLRETURN SQL_API SQLNumResultCols(SQLHSTMT stmt, SQLSMALLINT* count) {
  return Run<Statement>(stmt, [&](Statement& s) -> SQLRETURN {
    const bool select = s.result || (s.parsed && std::holds_alternative<sql::Select>(s.parsed->statement));
    if (count) *count = select ? static_cast<SQLSMALLINT>(ColumnsOf(s).size()) : 0;
    return SQL_SUCCESS;
  });
}

SQLRETURN SQL_API SQLDescribeCol(SQLHSTMT stmt, SQLUSMALLINT number, SQLCHAR* name, SQLSMALLINT nameMax,
                                 SQLSMALLINT* nameLength, SQLSMALLINT* type, SQLULEN* size, SQLSMALLINT* digits,
                                 SQLSMALLINT* nullable) {
  return Run<Statement>(stmt, [&](Statement& s) -> SQLRETURN {
    const ResultColumn& column = ColumnAt(s, number);
    const SqlDescription d = Describe(column);
    if (type) *type = d.type;
    if (size) *size = d.size;
    if (digits) *digits = d.digits;
    if (nullable) *nullable = SQL_NULLABLE;
    return Truncated(s, CopyString(column.field.name, name, nameMax, nameLength));
  });
}

SQLRETURN SQL_API SQLColAttribute(SQLHSTMT stmt, SQLUSMALLINT number, SQLUSMALLINT field, SQLPOINTER text,
                                  SQLSMALLINT textMax, SQLSMALLINT* textLength, SQLLEN* numeric) {
  return Run<Statement>(stmt, [&](Statement& s) -> SQLRETURN {
    if (field == SQL_DESC_COUNT || field == SQL_COLUMN_COUNT) {
      const bool select = s.result || (s.parsed && std::holds_alternative<sql::Select>(s.parsed->statement));
      if (numeric) *numeric = select ? static_cast<SQLLEN>(ColumnsOf(s).size()) : 0;
      return SQL_SUCCESS;
    }
    const ResultColumn& column = ColumnAt(s, number);
    if (const auto value = StringAttribute(column, field)) return Truncated(s, CopyString(*value, text, textMax, textLength));
    bool known = false;
    const SQLLEN value = NumericAttribute(s, column, field, known);
    if (!known) throw DriverError("HY091", "Invalid descriptor field identifier " + std::to_string(field));
    if (numeric) *numeric = value;
    return SQL_SUCCESS;
  });
}

SQLRETURN SQL_API SQLBindCol(SQLHSTMT stmt, SQLUSMALLINT number, SQLSMALLINT cType, SQLPOINTER target, SQLLEN length,
                             SQLLEN* indicator) {
  return Run<Statement>(stmt, [&](Statement& s) -> SQLRETURN {
    if (number < 1) throw DriverError("07009", "Invalid descriptor index: bookmarks are not supported");
    if (!target && !indicator) {
      s.columns.erase(number);
    } else {
      s.columns[number] = ColumnBinding{cType, target, length, indicator};
    }
    return SQL_SUCCESS;
  });
}

SQLRETURN SQL_API SQLFetch(SQLHSTMT stmt) {
  return Run<Statement>(stmt, [&](Statement& s) -> SQLRETURN {
    if (!s.result) throw DriverError("24000", "Invalid cursor state: no result is open");
    return FetchScroll(s, SQL_FETCH_NEXT, 0);
  });
}

SQLRETURN SQL_API SQLFetchScroll(SQLHSTMT stmt, SQLSMALLINT orientation, SQLLEN offset) {
  return Run<Statement>(stmt, [&](Statement& s) -> SQLRETURN { return FetchScroll(s, orientation, offset); });
}

SQLRETURN SQL_API SQLSetPos(SQLHSTMT stmt, SQLSETPOSIROW row, SQLUSMALLINT operation, SQLUSMALLINT) {
  return Run<Statement>(stmt, [&](Statement& s) -> SQLRETURN {
    if (!s.result || s.rowsetSize == 0) throw DriverError("24000", "Invalid cursor state: no rowset");
    if (static_cast<SQLLEN>(row) > s.rowsetSize) throw DriverError("HY107", "Row value out of range");
    switch (operation) {
      case SQL_POSITION:
        s.positionInRowset = row == 0 ? 1 : static_cast<SQLLEN>(row);
        s.getDataColumn = -1;
        return SQL_SUCCESS;
      case SQL_REFRESH:
        if (row != 0) s.positionInRowset = static_cast<SQLLEN>(row);
        return FillRowset(s);
      default:
        throw DriverError("HYC00", "Positioned updates and deletes are not supported: use UPDATE and DELETE");
    }
  });
}

SQLRETURN SQL_API SQLGetData(SQLHSTMT stmt, SQLUSMALLINT number, SQLSMALLINT cType, SQLPOINTER target, SQLLEN length,
                             SQLLEN* indicator) {
  return Run<Statement>(stmt, [&](Statement& s) -> SQLRETURN {
    const std::size_t row = CurrentRow(s);
    if (number < 1 || number > s.result->columns.size()) throw DriverError("07009", "Invalid descriptor index");
    if (s.getDataColumn != number) {
      s.getDataColumn = number;
      s.getDataOffset = 0;
      s.getDataFinished = false;
    }
    std::vector<Warning> warnings;
    const SQLRETURN rc = WriteValue(s.result->At(row, number - 1u), s.result->columns[number - 1u], cType, target,
                                    length, indicator, s.getDataOffset, s.getDataFinished, warnings);
    return WithWarnings(s, warnings, rc);
  });
}

SQLRETURN SQL_API SQLRowCount(SQLHSTMT stmt, SQLLEN* count) {
  return Run<Statement>(stmt, [&](Statement& s) -> SQLRETURN {
    if (count) *count = static_cast<SQLLEN>(s.rowCount);
    return SQL_SUCCESS;
  });
}

SQLRETURN SQL_API SQLMoreResults(SQLHSTMT stmt) {
  return Run<Statement>(stmt, [&](Statement& s) -> SQLRETURN {
    CloseCursor(s);
    return SQL_NO_DATA;
  });
}

SQLRETURN SQL_API SQLFreeStmt(SQLHSTMT stmt, SQLUSMALLINT option) {
  if (option == SQL_DROP) return SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  return Run<Statement>(stmt, [&](Statement& s) -> SQLRETURN {
    switch (option) {
      case SQL_CLOSE: CloseCursor(s); break;
      case SQL_UNBIND: s.columns.clear(); break;
      case SQL_RESET_PARAMS: s.parameters.clear(); break;
      default: throw DriverError("HY092", "Invalid attribute/option identifier");
    }
    return SQL_SUCCESS;
  });
}

SQLRETURN SQL_API SQLCloseCursor(SQLHSTMT stmt) {
  return Run<Statement>(stmt, [&](Statement& s) -> SQLRETURN {
    if (!s.result) throw DriverError("24000", "Invalid cursor state: no result is open");
    CloseCursor(s);
    return SQL_SUCCESS;
  });
}

SQLRETURN SQL_API SQLCancel(SQLHSTMT stmt) {
  return Run<Statement>(stmt, [&](Statement&) -> SQLRETURN { return SQL_SUCCESS; });
}

SQLRETURN SQL_API SQLSetStmtAttr(SQLHSTMT stmt, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER) {
  return Run<Statement>(stmt, [&](Statement& s) -> SQLRETURN {
    const auto number = reinterpret_cast<SQLULEN>(value);
    switch (attribute) {
      case SQL_ATTR_CURSOR_TYPE:
        if (s.result) throw DriverError("24000", "Invalid cursor state: a result is open");
        s.cursorType = number == SQL_CURSOR_FORWARD_ONLY ? SQL_CURSOR_FORWARD_ONLY : SQL_CURSOR_STATIC;
        if (number != s.cursorType) {
          s.AddDiagnostic("01S02", "Option value changed: the driver offers a static cursor");
          return SQL_SUCCESS_WITH_INFO;
        }
        return SQL_SUCCESS;
      case SQL_ATTR_CURSOR_SCROLLABLE:
        s.cursorType = number == SQL_SCROLLABLE ? SQL_CURSOR_STATIC : SQL_CURSOR_FORWARD_ONLY;
        return SQL_SUCCESS;
      case SQL_ATTR_CONCURRENCY:
        if (number != SQL_CONCUR_READ_ONLY) {
          s.AddDiagnostic("01S02", "Option value changed: results are read-only");
          return SQL_SUCCESS_WITH_INFO;
        }
        return SQL_SUCCESS;
      case SQL_ATTR_USE_BOOKMARKS:
        if (number != SQL_UB_OFF) throw DriverError("HYC00", "Bookmarks are not supported");
        return SQL_SUCCESS;
      case SQL_ATTR_ROW_ARRAY_SIZE: case SQL_ROWSET_SIZE:
        s.rowArraySize = std::max<SQLULEN>(number, 1);
        return SQL_SUCCESS;
      case SQL_ATTR_ROW_BIND_TYPE: s.rowBindType = number; return SQL_SUCCESS;
      case SQL_ATTR_ROW_BIND_OFFSET_PTR: s.rowBindOffset = static_cast<SQLLEN*>(value); return SQL_SUCCESS;
      case SQL_ATTR_ROWS_FETCHED_PTR: s.rowsFetched = static_cast<SQLULEN*>(value); return SQL_SUCCESS;
      case SQL_ATTR_ROW_STATUS_PTR: s.rowStatus = static_cast<SQLUSMALLINT*>(value); return SQL_SUCCESS;
      case SQL_ATTR_PARAMS_PROCESSED_PTR: s.paramsProcessed = static_cast<SQLULEN*>(value); return SQL_SUCCESS;
      case SQL_ATTR_PARAM_STATUS_PTR: s.paramStatus = static_cast<SQLUSMALLINT*>(value); return SQL_SUCCESS;
      case SQL_ATTR_ASYNC_ENABLE:
        if (number != SQL_ASYNC_ENABLE_OFF) throw DriverError("HYC00", "Asynchronous execution is not supported");
        return SQL_SUCCESS;
      default:
        s.attributes[attribute] = number;
        return SQL_SUCCESS;
    }
  });
}

SQLRETURN SQL_API SQLGetStmtAttr(SQLHSTMT stmt, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER,
                                 SQLINTEGER* length) {
  return Run<Statement>(stmt, [&](Statement& s) -> SQLRETURN {
    SQLULEN number = 0;
    switch (attribute) {
      case SQL_ATTR_APP_ROW_DESC: case SQL_ATTR_APP_PARAM_DESC: case SQL_ATTR_IMP_ROW_DESC:
      case SQL_ATTR_IMP_PARAM_DESC: {
        const int index = attribute == SQL_ATTR_APP_ROW_DESC ? 0 : attribute == SQL_ATTR_APP_PARAM_DESC ? 1
                          : attribute == SQL_ATTR_IMP_ROW_DESC ? 2 : 3;
        Put(value, static_cast<SQLPOINTER>(static_cast<Handle*>(&s.descriptors[static_cast<std::size_t>(index)])));
        if (length) *length = sizeof(SQLPOINTER);
        return SQL_SUCCESS;
      }
      case SQL_ATTR_CURSOR_TYPE: number = s.cursorType; break;
      case SQL_ATTR_CURSOR_SCROLLABLE: number = s.cursorType == SQL_CURSOR_STATIC ? SQL_SCROLLABLE : SQL_NONSCROLLABLE; break;
      case SQL_ATTR_CURSOR_SENSITIVITY: number = SQL_INSENSITIVE; break;
      case SQL_ATTR_CONCURRENCY: number = SQL_CONCUR_READ_ONLY; break;
      case SQL_ATTR_USE_BOOKMARKS: number = SQL_UB_OFF; break;
      case SQL_ATTR_ROW_ARRAY_SIZE: case SQL_ROWSET_SIZE: number = s.rowArraySize; break;
      case SQL_ATTR_ROW_BIND_TYPE: number = s.rowBindType; break;
      case SQL_ATTR_ROW_NUMBER:
        number = s.result && s.rowsetStart >= 1 && s.rowsetStart <= static_cast<SQLLEN>(s.result->rows.size())
                     ? static_cast<SQLULEN>(s.rowsetStart + s.positionInRowset - 1)
                     : 0;
        break;
      case SQL_ATTR_ROW_BIND_OFFSET_PTR: Put(value, static_cast<SQLPOINTER>(s.rowBindOffset)); return SQL_SUCCESS;
      case SQL_ATTR_ROWS_FETCHED_PTR: Put(value, static_cast<SQLPOINTER>(s.rowsFetched)); return SQL_SUCCESS;
      case SQL_ATTR_ROW_STATUS_PTR: Put(value, static_cast<SQLPOINTER>(s.rowStatus)); return SQL_SUCCESS;
      case SQL_ATTR_PARAMSET_SIZE: number = 1; break;
      default: number = s.attributes.count(attribute) ? s.attributes[attribute] : 0; break;
    }
    Put(value, number);
    if (length) *length = sizeof(SQLULEN);
    return SQL_SUCCESS;
  });
}

// ---- catalog -----------------------------------------------------------------------------

SQLRETURN SQL_API SQLTables(SQLHSTMT stmt, SQLCHAR*, SQLSMALLINT, SQLCHAR*, SQLSMALLINT, SQLCHAR* table,
                            SQLSMALLINT tableLength, SQLCHAR* types, SQLSMALLINT typesLength) {
  return Run<Statement>(stmt, [&](Statement& s) -> SQLRETURN {
    Connection& c = Owner(s);
    OpenCatalogResult(s, TablesOf(c.workspace, c.directory, Text(table, tableLength), Text(types, typesLength)));
    return SQL_SUCCESS;
  });
}

SQLRETURN SQL_API SQLColumns(SQLHSTMT stmt, SQLCHAR*, SQLSMALLINT, SQLCHAR*, SQLSMALLINT, SQLCHAR* table,
                             SQLSMALLINT tableLength, SQLCHAR* column, SQLSMALLINT columnLength) {
  return Run<Statement>(stmt, [&](Statement& s) -> SQLRETURN {
    Connection& c = Owner(s);
    OpenCatalogResult(s, ColumnsOf(c.workspace, c.directory, Text(table, tableLength), Text(column, columnLength)));
    return SQL_SUCCESS;
  });
}

SQLRETURN SQL_API SQLGetTypeInfo(SQLHSTMT stmt, SQLSMALLINT type) {
  return Run<Statement>(stmt, [&](Statement& s) -> SQLRETURN {
    OpenCatalogResult(s, TypeInfo(type));
    return SQL_SUCCESS;
  });
}

// ---- diagnostics -------------------------------------------------------------------------

SQLRETURN SQL_API SQLGetDiagRec(SQLSMALLINT, SQLHANDLE handle, SQLSMALLINT record, SQLCHAR* state, SQLINTEGER* native,
                                SQLCHAR* message, SQLSMALLINT messageMax, SQLSMALLINT* messageLength) {
  if (!handle) return SQL_INVALID_HANDLE;
  try {
    const Handle& h = *static_cast<Handle*>(handle);
    if (record < 1) return SQL_ERROR;
    if (static_cast<std::size_t>(record) > h.diagnostics.size()) return SQL_NO_DATA;
    const DiagRecord& r = h.diagnostics[static_cast<std::size_t>(record - 1)];
    if (state) CopyString(r.state, state, 6, static_cast<SQLSMALLINT*>(nullptr));
    if (native) *native = r.native;
    return CopyString(r.message, message, messageMax, messageLength);
  } catch (...) {
    return SQL_ERROR;
  }
}

SQLRETURN SQL_API SQLGetDiagField(SQLSMALLINT, SQLHANDLE handle, SQLSMALLINT record, SQLSMALLINT field,
                                  SQLPOINTER info, SQLSMALLINT infoMax, SQLSMALLINT* length) {
  if (!handle) return SQL_INVALID_HANDLE;
  try {
    const Handle& h = *static_cast<Handle*>(handle);
    switch (field) {
      case SQL_DIAG_NUMBER: Put(info, static_cast<SQLINTEGER>(h.diagnostics.size())); return SQL_SUCCESS;
      case SQL_DIAG_RETURNCODE: Put(info, h.lastReturn); return SQL_SUCCESS;
      case SQL_DIAG_ROW_COUNT: {
        const SQLLEN rows = h.handleType == SQL_HANDLE_STMT ? static_cast<SQLLEN>(static_cast<const Statement&>(h).rowCount) : 0;
        Put(info, rows);
        return SQL_SUCCESS;
      }
      case SQL_DIAG_CURSOR_ROW_COUNT: Put(info, SQLLEN{0}); return SQL_SUCCESS;
      case SQL_DIAG_DYNAMIC_FUNCTION: return CopyString("", info, infoMax, length);
      case SQL_DIAG_DYNAMIC_FUNCTION_CODE: Put(info, SQLINTEGER{SQL_DIAG_UNKNOWN_STATEMENT}); return SQL_SUCCESS;
      default: break;
    }
    if (record < 1) return SQL_ERROR;
    if (static_cast<std::size_t>(record) > h.diagnostics.size()) return SQL_NO_DATA;
    const DiagRecord& r = h.diagnostics[static_cast<std::size_t>(record - 1)];
    switch (field) {
      case SQL_DIAG_SQLSTATE: return CopyString(r.state, info, infoMax, length);
      case SQL_DIAG_MESSAGE_TEXT: return CopyString(r.message, info, infoMax, length);
      case SQL_DIAG_NATIVE: Put(info, r.native); return SQL_SUCCESS;
      case SQL_DIAG_CLASS_ORIGIN: case SQL_DIAG_SUBCLASS_ORIGIN:
        return CopyString(r.state.rfind("IM", 0) == 0 ? "ODBC 3.0" : "ISO 9075", info, infoMax, length);
      case SQL_DIAG_CONNECTION_NAME: case SQL_DIAG_SERVER_NAME: return CopyString("", info, infoMax, length);
      case SQL_DIAG_COLUMN_NUMBER: Put(info, SQLINTEGER{SQL_COLUMN_NUMBER_UNKNOWN}); return SQL_SUCCESS;
      case SQL_DIAG_ROW_NUMBER: Put(info, SQLLEN{SQL_ROW_NUMBER_UNKNOWN}); return SQL_SUCCESS;
      default: return SQL_ERROR;
    }
  } catch (...) {
    return SQL_ERROR;
  }
}

}  // extern "C"
