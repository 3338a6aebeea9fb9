#include "support/OdbcTestEnv.h"

#include <dlfcn.h>
#include <sqlext.h>

#include <cstdlib>
#include <memory>

namespace odbctest {

namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

struct Registry {
  testsupport::TempDir dir;
  Registry() {
    const std::string ini =
        std::string("[") + kSqliteDriver + "]\n"
        "Description=SQLite3 ODBC driver\n"
        "Driver=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so\n\n"
        "[" + kPostgresDriver + "]\n"
        "Description=PostgreSQL ODBC driver (ANSI)\n"
        "Driver=/usr/lib/x86_64-linux-gnu/odbc/psqlodbca.so\n\n"
        "[" + kPostgresAsDBaseDriver + "]\n"
        "Description=PostgreSQL ODBC driver (ANSI) standing in for a dBase driver\n"
        "Driver=/usr/lib/x86_64-linux-gnu/odbc/psqlodbca.so\n\n"
        "[" + kPostgresAsFoxProDriver + "]\n"
        "Description=PostgreSQL ODBC driver (ANSI) standing in for a Visual FoxPro driver\n"
        "Driver=/usr/lib/x86_64-linux-gnu/odbc/psqlodbca.so\n\n"
        "[" + kDBaseDriver + "]\n"
        "Description=Vestibo dBase driver of this build\n"
        "Driver=" VESTIBO_DBF_DRIVER "\n\n"
        "[" + kBrokenDriver + "]\n"
        "Description=a driver whose library is missing\n"
        "Driver=" + (dir / "no-such-driver.so").string() + "\n";
    dir.WriteFile("odbcinst.ini", ini);
    dir.WriteFile("odbc.ini", "");
    setenv("ODBCSYSINI", dir.Str().c_str(), 1);
    setenv("ODBCINSTINI", "odbcinst.ini", 1);
    setenv("ODBCINI", (dir / "odbc.ini").string().c_str(), 1);
  }
};

// Keeps the driver manager and the drivers mapped until the process ends, although the code
// under test unloads them: LeakSanitizer can then name the library of an allocation it
// reports, and tests/odbc/lsan.supp can suppress what those libraries keep at exit.
void PinOdbcLibraries() {
  for (const char* library :
       {"libodbc.so.2", "libodbcinst.so.2", "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so",
        "/usr/lib/x86_64-linux-gnu/odbc/psqlodbca.so"}) {
    dlopen(library, RTLD_NOW | RTLD_NODELETE);  // never closed, on purpose
  }
}

}  // namespace

void EnsureDriverRegistry() {
  static Registry registry;
  static const bool pinned = (PinOdbcLibraries(), true);
  (void)pinned;
}

namespace {
// Before main(): no test may load a driver library before it is pinned.
[[maybe_unused]] const bool registryReady = (EnsureDriverRegistry(), true);
}  // namespace

std::vector<std::string> SqliteParams(const std::string& databaseFile) {
  return {std::string("DRIVER=") + kSqliteDriver, "Database=" + databaseFile};
}

std::string PostgresSocket() { return Env("VESTIBO_PG_SOCKET"); }

bool RunningUnderCI() { return Env("CI") == "true"; }

std::vector<std::string> PostgresParams() {
  if (PostgresSocket().empty()) return {};
  return {std::string("DRIVER=") + kPostgresDriver, "Servername=" + PostgresSocket(),
          "Database=" + Env("PGDATABASE"), "UID=" + Env("PGUSER"), "BoolsAsChar=0", "ByteaAsLongVarBinary=1"};
}

std::vector<std::vector<std::string>> FetchAll(odbc::TmDataBase& db, const std::string& sql) {
  odbc::TmStatement query;
  query.SetDataBase(&db);
  query.SetCursorType(odbc::TmCursorTypes::ctFwdOnlyCursor);
  query.SetSQL({sql});
  query.Execute();
  const odbc::TOdbcApi& api = query.Api();
  SQLSMALLINT columns = 0;
  query.Check(api.SQLNumResultCols(query.StatementHandle(), &columns));
  std::vector<std::vector<std::string>> rows;
  while (true) {
    const SQLRETURN rc = api.SQLFetch(query.StatementHandle());
    if (rc == SQL_NO_DATA) break;
    query.Check(rc);
    std::vector<std::string>& row = rows.emplace_back();
    for (SQLUSMALLINT column = 1; column <= columns; ++column) {
      char buffer[4096];
      SQLLEN indicator = 0;
      query.Check(api.SQLGetData(query.StatementHandle(), column, SQL_C_CHAR, buffer, sizeof buffer, &indicator));
      row.push_back(indicator == SQL_NULL_DATA ? std::string("<null>") : std::string(buffer));
    }
  }
  return rows;
}

void ExpectCursorNegotiation(odbc::TmDataBase& db, const std::string& sql) {
  using odbc::TmCursorTypes;
  db.Connect();
  const SQLUINTEGER offered = db.GetInfoUInt32(SQL_SCROLL_OPTIONS);
  auto allowed = [&](TmCursorTypes type) {
    switch (type) {
      case TmCursorTypes::ctDynamicCursor: return (offered & SQL_SO_DYNAMIC) != 0;
      case TmCursorTypes::ctKeySetCursor: return (offered & SQL_SO_KEYSET_DRIVEN) != 0;
      case TmCursorTypes::ctStaticCursor: return (offered & SQL_SO_STATIC) != 0;
      case TmCursorTypes::ctFwdOnlyCursor: return true;
    }
    return false;
  };
  for (TmCursorTypes wanted : {TmCursorTypes::ctFwdOnlyCursor, TmCursorTypes::ctStaticCursor,
                               TmCursorTypes::ctKeySetCursor, TmCursorTypes::ctDynamicCursor}) {
    SCOPED_TRACE(static_cast<int>(wanted));
    odbc::TmStatement query;
    query.SetDataBase(&db);
    query.SetCursorType(wanted);
    query.SetSQL({sql});
    query.Execute();
    EXPECT_TRUE(query.CursorOpen());
    EXPECT_LE(static_cast<int>(query.CursorType()), static_cast<int>(wanted));
    EXPECT_TRUE(allowed(query.CursorType())) << "offered " << offered;
    if (query.CursorType() == TmCursorTypes::ctFwdOnlyCursor) {
      EXPECT_EQ(query.Capabilities().cursorAttributes1, 0u);
      EXPECT_FALSE(query.UseBookmarks());
    }
    EXPECT_THROW(query.SetCursorType(TmCursorTypes::ctFwdOnlyCursor), std::logic_error);
  }
}

void Exec(odbc::TmDataBase& db, const std::string& sql) {
  odbc::TmStatement statement;
  statement.SetDataBase(&db);
  statement.SetSQL({sql});
  statement.ExecSQL();
}

void SqliteTest::SetUp() {
  EnsureDriverRegistry();
  db_.SetParams(SqliteParams(DatabaseFile()));
  db_.SetDriverCompletion(odbc::TmDriverCompletion::sdNoPrompt);
}

}  // namespace odbctest

// The PostgreSQL driver loses a small result object on every prepared statement the server
// refuses to execute (reproduced with plain ODBC calls, outside this project's code). Tests that
// make the server refuse an insert would otherwise fail at exit on LeakSanitizer's report. The
// fast unwinder sees no frame beyond the driver, so the driver library is named.
extern "C" const char* __lsan_default_suppressions() { return "leak:psqlodbca.so\n"; }
