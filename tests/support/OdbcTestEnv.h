// The ODBC set-up shared by the ODBC and conversion tests: a driver registry of the tests' own (odbcinst.ini in a
// temporary directory, named by ODBCSYSINI before the first connection) and connection helpers
// for the SQLite and PostgreSQL drivers.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "odbc/TmDataBase.h"
#include "odbc/TmStatement.h"
#include "support/TempDir.h"

namespace odbctest {

inline constexpr const char* kSqliteDriver = "Vestibo SQLite3";
inline constexpr const char* kPostgresDriver = "Vestibo PostgreSQL ANSI";
// The PostgreSQL ANSI driver under two more names, for the dBase conversion: an ordinary name,
// and one whose name selects the FoxPro table definitions ("vfp" in small letters).
inline constexpr const char* kPostgresAsDBaseDriver = "Vestibo dBase on PostgreSQL";
inline constexpr const char* kPostgresAsFoxProDriver = "Vestibo vfp on PostgreSQL";
// The dBase driver of this build.
inline constexpr const char* kDBaseDriver = "Vestibo dBase Driver";
// Registered with a library path that does not exist.
inline constexpr const char* kBrokenDriver = "Vestibo Broken";

// Writes the registry and sets ODBCSYSINI/ODBCINI once per process (the driver manager reads
// the registry location once and keeps it).
void EnsureDriverRegistry();

// Connect lines for a SQLite database file (created on first use).
std::vector<std::string> SqliteParams(const std::string& databaseFile);
// Connect lines for the test server; empty when no server was started.
std::vector<std::string> PostgresParams();
// The socket directory of the test server, empty when there is none.
std::string PostgresSocket();
bool RunningUnderCI();

// Runs `sql` (a select) and returns every row, each column as text ("<null>" for NULL).
std::vector<std::vector<std::string>> FetchAll(odbc::TmDataBase& db, const std::string& sql);
// Opens `sql` with every cursor type in turn and checks that the cursor obtained is never more
// than the one asked for and is one the driver offers.
void ExpectCursorNegotiation(odbc::TmDataBase& db, const std::string& sql);
// Runs `sql` through ExecSQL on a fresh statement.
void Exec(odbc::TmDataBase& db, const std::string& sql);

// A SQLite database in a fresh directory.
class SqliteTest : public ::testing::Test {
 protected:
  void SetUp() override;
  std::string DatabaseFile() const { return (dir_ / "test.db").string(); }

  testsupport::TempDir dir_;
  odbc::TmDataBase db_;
};

}  // namespace odbctest

// Skips a test that needs the PostgreSQL test server when it is not there; under CI (CI=true)
// the test fails instead, so that a broken set-up is seen.
#define VESTIBO_REQUIRE_POSTGRES()                                                            \
  do {                                                                                        \
    if (::odbctest::PostgresSocket().empty()) {                                               \
      if (::odbctest::RunningUnderCI()) {                                                     \
        FAIL() << "PostgreSQL test server missing (scripts/test-services/postgres.sh)";       \
      } else {                                                                                \
        GTEST_SKIP() << "no PostgreSQL test server (VESTIBO_PG_SOCKET unset); run "           \
                        "scripts/test.sh to start one";                                       \
      }                                                                                       \
    }                                                                                         \
  } while (false)
