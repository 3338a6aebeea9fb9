// The connection against real drivers: connecting from parameter lines, failures and their
// diagnostics, transactions, and the release of everything on disconnect.
#include <gtest/gtest.h>

#include <sqlext.h>

#include "support/OdbcTestEnv.h"
#include "odbc/TmDataBase.h"
#include "odbc/TmStatement.h"

namespace odbctest {
namespace {

using odbc::ESQLerror;
using odbc::TmDataBase;

using SqliteConnection = SqliteTest;

TEST_F(SqliteConnection, ConnectsFromParamLinesAndDisconnects) {
  std::vector<std::string> events;
  db_.OnConnect = [&](TmDataBase& sender) {
    EXPECT_EQ(&sender, &db_);
    events.push_back("connect");
  };
  db_.Connect();
  EXPECT_TRUE(db_.Connected());
  EXPECT_EQ(events, std::vector<std::string>{"connect"});
  // The driver hands back the connect string it used.
  EXPECT_NE(db_.CompletedConnectString().find("test.db"), std::string::npos)
      << db_.CompletedConnectString();

  db_.Connect();  // already connected: nothing happens
  EXPECT_EQ(events.size(), 1u);

  db_.Disconnect();
  EXPECT_FALSE(db_.Connected());
  db_.Disconnect();  // not connected: nothing happens
  EXPECT_FALSE(db_.Connected());
}

TEST_F(SqliteConnection, OnConnectMayStillChangeTheParams) {
  db_.SetParams({"DRIVER=nobody"});
  db_.OnConnect = [&](TmDataBase& sender) { sender.SetParams(SqliteParams(DatabaseFile())); };
  db_.Connect();
  EXPECT_TRUE(db_.Connected());
  EXPECT_TRUE(dir_.Exists("test.db"));
}

TEST_F(SqliteConnection, TwoConnectionsShareTheDefaultEnvironment) {
  TmDataBase second;
  second.SetParams(SqliteParams(DatabaseFile()));
  db_.Connect();
  const SQLHENV env = odbc::DefaultSession().Handle();
  second.Connect();
  EXPECT_EQ(odbc::DefaultSession().Handle(), env);
  EXPECT_NE(db_.ConnectionHandle(), second.ConnectionHandle());
}

// unixODBC takes a driver name it does not know for a library path and reports the failed
// load with SQLSTATE "01000", as it does for a registered driver whose library is missing.
// Neither may pass for a connection.
TEST_F(SqliteConnection, ADriverThatCannotBeLoadedFailsWithItsDiagnostics) {
  for (const std::string driver : {"Vestibo No Such Driver", kBrokenDriver}) {
    SCOPED_TRACE(driver);
    db_.SetParams({"DRIVER=" + driver, "Database=" + DatabaseFile()});
    try {
      db_.Connect();
      ADD_FAILURE() << "connected without a driver";
    } catch (const ESQLerror& error) {
      EXPECT_EQ(error.SqlState(), "01000");
      ASSERT_FALSE(error.Errors().empty());
      EXPECT_EQ(error.what(), error.Errors().front());
      EXPECT_EQ(error.Errors().front().rfind("01000:", 0), 0u) << error.Errors().front();
      EXPECT_NE(error.Errors().front().find("Can't open lib"), std::string::npos);
      EXPECT_EQ(error.ReturnCode(), SQL_ERROR);
    }
    EXPECT_FALSE(db_.Connected());
    EXPECT_EQ(db_.ConnectionHandle(), nullptr);
  }
}

TEST_F(SqliteConnection, ErrorsBuiltFromAHandle) {
  db_.Connect();
  const odbc::TOdbcApi& api = db_.Api();
  // Codes other than SQL_ERROR and SQL_SUCCESS_WITH_INFO read no records.
  const ESQLerror noData(api, SQL_HANDLE_DBC, SQL_NO_DATA, db_.ConnectionHandle());
  EXPECT_STREQ(noData.what(), "SQL_NO_DATA");
  EXPECT_EQ(noData.NativeError(), SQL_NO_DATA);
  EXPECT_TRUE(noData.Errors().empty());
  EXPECT_EQ(noData.SqlState(), "");

  // SQL_ERROR on a handle without records: the code's name, nothing else.
  const ESQLerror bare(api, SQL_HANDLE_DBC, SQL_ERROR, db_.ConnectionHandle());
  EXPECT_STREQ(bare.what(), "SQL_ERROR");
  EXPECT_EQ(bare.NativeError(), SQL_ERROR);
  EXPECT_TRUE(bare.Errors().empty());

  // A failing call leaves its records; the native error is the last record's.
  odbc::TmStatement query;
  query.SetDataBase(&db_);
  query.SetSQL({"select * from no_such_table"});
  try {
    query.Execute();
    FAIL();
  } catch (const ESQLerror& error) {
    ASSERT_FALSE(error.Records().empty());
    EXPECT_EQ(error.NativeError(), error.Records().back().nativeError);
    EXPECT_EQ(error.SqlState(), error.Records().front().sqlState);
    EXPECT_NE(std::string(error.what()).find("no such table"), std::string::npos) << error.what();
  }

  ESQLerror renamed("x");
  renamed.SetMessage("Database not opened");
  EXPECT_STREQ(renamed.what(), "Database not opened");
}

TEST_F(SqliteConnection, CommitKeepsWorkAndDisconnectDropsUncommittedWork) {
  db_.Connect();
  Exec(db_, "create table t (n integer)");
  db_.StartTransaction();
  Exec(db_, "insert into t values (1)");
  db_.Commit();
  Exec(db_, "insert into t values (2)");  // auto-commit stays off: a new transaction
  db_.Disconnect();
  EXPECT_FALSE(db_.Connected());

  db_.Connect();
  EXPECT_EQ(FetchAll(db_, "select n from t order by n"),
            (std::vector<std::vector<std::string>>{{"1"}}));
}

TEST_F(SqliteConnection, TransactionCallsNeedAConnection) {
  EXPECT_THROW(db_.StartTransaction(), ESQLerror);
  EXPECT_THROW(db_.Commit(), ESQLerror);
}

TEST_F(SqliteConnection, ShowsTheWaitCursorWhileConnecting) {
  std::int16_t screen = 0;
  std::vector<std::int16_t> seen;
  db_.SetCursorService({[&] { return screen; }, [&](std::int16_t cursor) {
                          screen = cursor;
                          seen.push_back(cursor);
                        }});
  db_.Connect();  // ShowWaitCursor is off by default
  EXPECT_TRUE(seen.empty());
  db_.Disconnect();

  db_.SetShowWaitCursor(true);
  db_.OnConnect = [&](TmDataBase&) { EXPECT_EQ(screen, TmDataBase::kSqlWaitCursor); };
  db_.Connect();
  EXPECT_EQ(seen, (std::vector<std::int16_t>{TmDataBase::kSqlWaitCursor, 0}));
  db_.Disconnect();

  seen.clear();
  db_.SetParams({"DRIVER=Vestibo No Such Driver"});
  EXPECT_THROW(db_.Connect(), ESQLerror);
  EXPECT_EQ(screen, 0) << "restored after a failure too";
}

TEST_F(SqliteConnection, AccessModeAndSessionChanges) {
  db_.Connect();
  db_.SetAccessMode(odbc::tmAccessMode::ReadOnly);  // applied at once; the driver accepts it
  EXPECT_TRUE(db_.Connected());

  odbc::TmSession own(odbc::TOdbcRuntime::Instance().DriverManager());
  db_.SetSession(&own);  // changing the session disconnects
  EXPECT_FALSE(db_.Connected());
  db_.Connect();
  EXPECT_TRUE(own.HasEnvironment());
  db_.Disconnect();
}

TEST_F(SqliteConnection, DestroyingTheConnectionLeavesItsQueriesWithout) {
  odbc::TmStatement query;
  {
    TmDataBase db;
    db.SetParams(SqliteParams(DatabaseFile()));
    query.SetDataBase(&db);
    query.SetSQL({"create table t (n integer)"});
    query.ExecSQL();
    EXPECT_TRUE(query.StatementAllocated());
    db.Disconnect();  // releases the statements of its queries
    EXPECT_FALSE(query.StatementAllocated());
    EXPECT_EQ(db.AttachedQueries().size(), 1u);
  }
  EXPECT_EQ(query.DataBase(), nullptr);
  try {
    query.ExecSQL();
    FAIL();
  } catch (const ESQLerror& error) {
    EXPECT_STREQ(error.what(), "ODBC datasource not defined");
    EXPECT_TRUE(error.Errors().empty());
  }
}

}  // namespace
}  // namespace odbctest
