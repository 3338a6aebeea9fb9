// The driver through the unixODBC driver manager, on the calls the program's data sets make:
// scrolling a static cursor, positioning, several open statements, transactions and the file
// state after each statement.
#include <gtest/gtest.h>
#include <sql.h>
#include <sqlext.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace {

class Odbc {
 public:
  explicit Odbc(const std::string& directory) {
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
    SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
    const std::string text = std::string("DRIVER=") + VESTIBO_DBF_DRIVER + ";DefaultDir=" + directory;
    rc_ = SQLDriverConnect(dbc_, nullptr, reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.c_str())), SQL_NTS,
                           nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
  }
  ~Odbc() {
    for (SQLHSTMT s : statements_) SQLFreeHandle(SQL_HANDLE_STMT, s);
    SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK);
    SQLDisconnect(dbc_);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    SQLFreeHandle(SQL_HANDLE_ENV, env_);
  }
  Odbc(const Odbc&) = delete;
  Odbc& operator=(const Odbc&) = delete;

  SQLRETURN ConnectResult() const { return rc_; }
  SQLHDBC Dbc() const { return dbc_; }
  SQLHSTMT Statement(SQLULEN cursor = SQL_CURSOR_STATIC) {
    SQLHSTMT s = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &s);
    SQLSetStmtAttr(s, SQL_ATTR_CURSOR_TYPE, reinterpret_cast<SQLPOINTER>(cursor), 0);
    statements_.push_back(s);
    return s;
  }
  SQLRETURN Exec(const std::string& sql) {
    SQLHSTMT s = Statement();
    return SQLExecDirect(s, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())), SQL_NTS);
  }
  static std::string State(SQLSMALLINT type, SQLHANDLE handle) {
    SQLCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLCHAR message[512] = {};
    SQLSMALLINT length = 0;
    SQLGetDiagRec(type, handle, 1, state, &native, message, sizeof message, &length);
    return std::string(reinterpret_cast<char*>(state)) + " " + reinterpret_cast<char*>(message);
  }

 private:
  SQLHENV env_ = SQL_NULL_HENV;
  SQLHDBC dbc_ = SQL_NULL_HDBC;
  SQLRETURN rc_ = SQL_ERROR;
  std::vector<SQLHSTMT> statements_;
};

// Record count in a dBase header, and whether the file is as long as the header says.
std::pair<std::uint32_t, bool> HeaderState(const std::string& bytes) {
  if (bytes.size() < 12) return {0, false};
  auto byte = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])); };
  const std::uint32_t records = byte(4) | byte(5) << 8 | byte(6) << 16 | byte(7) << 24;
  const std::uint32_t headerLength = byte(8) | byte(9) << 8;
  const std::uint32_t recordLength = byte(10) | byte(11) << 8;
  return {records, bytes.size() == headerLength + records * recordLength + 1};
}

class DriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SQL_SUCCEEDED(odbc_.ConnectResult())) << Odbc::State(SQL_HANDLE_DBC, odbc_.Dbc());
    ASSERT_TRUE(SQL_SUCCEEDED(odbc_.Exec("CREATE TABLE \"items.dbf\" (id integer, name char(8))")));
    for (int id : {30, 10, 50, 20, 40})
      ASSERT_EQ(odbc_.Exec("INSERT INTO items VALUES (" + std::to_string(id) + ", 'n" + std::to_string(id) + "')"),
                SQL_SUCCESS);
  }
  testsupport::TempDir dir_;
  Odbc odbc_{dir_.Str()};
};

TEST_F(DriverTest, StaticCursorScrollsInEveryDirection) {
  SQLHSTMT s = odbc_.Statement();
  ASSERT_EQ(SQLExecDirect(s, (SQLCHAR*)"select * from ITEMS order by id", SQL_NTS), SQL_SUCCESS);
  SQLINTEGER id = 0;
  SQLLEN indicator = 0;
  SQLBindCol(s, 1, SQL_C_SLONG, &id, sizeof id, &indicator);
  struct Step {
    SQLSMALLINT orientation;
    SQLLEN offset;
    SQLRETURN rc;
    SQLINTEGER id;  // when found
    SQLULEN rowNumber;
  };
  const Step steps[] = {
      {SQL_FETCH_LAST, 0, SQL_SUCCESS, 50, 5},      {SQL_FETCH_PRIOR, 0, SQL_SUCCESS, 40, 4},
      {SQL_FETCH_FIRST, 0, SQL_SUCCESS, 10, 1},     {SQL_FETCH_PRIOR, 0, SQL_NO_DATA, 0, 0},
      {SQL_FETCH_NEXT, 0, SQL_SUCCESS, 10, 1},      {SQL_FETCH_ABSOLUTE, 3, SQL_SUCCESS, 30, 3},
      {SQL_FETCH_RELATIVE, 1, SQL_SUCCESS, 40, 4},  {SQL_FETCH_ABSOLUTE, -2, SQL_SUCCESS, 40, 4},
      {SQL_FETCH_ABSOLUTE, 6, SQL_NO_DATA, 0, 0},   {SQL_FETCH_PRIOR, 0, SQL_SUCCESS, 50, 5},
      {SQL_FETCH_RELATIVE, 0, SQL_SUCCESS, 50, 5},  {SQL_FETCH_NEXT, 0, SQL_NO_DATA, 0, 0},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(testing::Message() << "orientation " << step.orientation << " offset " << step.offset);
    id = -1;
    ASSERT_EQ(SQLFetchScroll(s, step.orientation, step.offset), step.rc) << Odbc::State(SQL_HANDLE_STMT, s);
    if (step.rc != SQL_SUCCESS) continue;
    EXPECT_EQ(id, step.id);
    SQLULEN row = 0;
    SQLGetStmtAttr(s, SQL_ATTR_ROW_NUMBER, &row, SQL_IS_UINTEGER, nullptr);
    EXPECT_EQ(row, step.rowNumber);
    ASSERT_EQ(SQLSetPos(s, 1, SQL_POSITION, SQL_LOCK_NO_CHANGE), SQL_SUCCESS);
    char name[9] = {};
    ASSERT_EQ(SQLGetData(s, 2, SQL_C_CHAR, name, sizeof name, &indicator), SQL_SUCCESS);
    EXPECT_EQ(std::string(name), "n" + std::to_string(step.id));
  }
}

TEST_F(DriverTest, OpenStatementsAndTransactions) {
  const std::string file = "items.dbf";
  const std::string before = dir_.ReadFile(file);
  EXPECT_EQ(HeaderState(before), std::make_pair(std::uint32_t{5}, true));

  // Two cursors stay open while a third statement inserts.
  SQLHSTMT a = odbc_.Statement(), b = odbc_.Statement();
  ASSERT_EQ(SQLExecDirect(a, (SQLCHAR*)"select id from items order by id desc", SQL_NTS), SQL_SUCCESS);
  ASSERT_EQ(SQLExecDirect(b, (SQLCHAR*)"select id from items where id < 25 or name is null", SQL_NTS), SQL_SUCCESS);
  ASSERT_EQ(SQLSetConnectAttr(odbc_.Dbc(), SQL_ATTR_AUTOCOMMIT, (SQLPOINTER)SQL_AUTOCOMMIT_OFF, 0), SQL_SUCCESS);
  SQLHSTMT insert = odbc_.Statement(SQL_CURSOR_FORWARD_ONLY);
  ASSERT_EQ(SQLPrepare(insert, (SQLCHAR*)"insert into  \"Items.DBF\" (id) values (?)", SQL_NTS), SQL_SUCCESS);
  SQLINTEGER value = 60;
  SQLLEN length = sizeof value;
  SQLBindParameter(insert, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &value, 0, &length);
  ASSERT_EQ(SQLExecute(insert), SQL_SUCCESS) << Odbc::State(SQL_HANDLE_STMT, insert);
  SQLINTEGER id = 0;
  SQLLEN indicator = 0;
  ASSERT_EQ(SQLFetch(a), SQL_SUCCESS);
  SQLGetData(a, 1, SQL_C_SLONG, &id, 0, &indicator);
  EXPECT_EQ(id, 50);  // the open result is the one it was when it ran
  ASSERT_EQ(SQLFetch(b), SQL_SUCCESS);

  // Uncommitted: the file is untouched, yet this connection reads its own row.
  EXPECT_EQ(dir_.ReadFile(file), before);
  SQLHSTMT count = odbc_.Statement();
  ASSERT_EQ(SQLExecDirect(count, (SQLCHAR*)"select id from items where id = 60", SQL_NTS), SQL_SUCCESS);
  EXPECT_EQ(SQLFetch(count), SQL_SUCCESS);

  ASSERT_EQ(SQLEndTran(SQL_HANDLE_DBC, odbc_.Dbc(), SQL_ROLLBACK), SQL_SUCCESS);
  EXPECT_EQ(dir_.ReadFile(file), before);
  ASSERT_EQ(SQLExecute(insert), SQL_SUCCESS);
  ASSERT_EQ(SQLEndTran(SQL_HANDLE_DBC, odbc_.Dbc(), SQL_COMMIT), SQL_SUCCESS);
  EXPECT_EQ(HeaderState(dir_.ReadFile(file)), std::make_pair(std::uint32_t{6}, true));
}

TEST_F(DriverTest, EveryStatementLeavesAValidFile) {
  SQLHSTMT insert = odbc_.Statement(SQL_CURSOR_FORWARD_ONLY);
  ASSERT_EQ(SQLPrepare(insert, (SQLCHAR*)"insert into items (id, name) values (?, ?)", SQL_NTS), SQL_SUCCESS);
  SQLINTEGER id = 0;
  char name[16] = "x";
  SQLLEN idLength = sizeof id, nameLength = SQL_NTS;
  SQLBindParameter(insert, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &id, 0, &idLength);
  SQLBindParameter(insert, 2, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_CHAR, 15, 0, name, sizeof name, &nameLength);
  for (std::uint32_t n = 6; n <= 9; ++n) {
    id = static_cast<SQLINTEGER>(n);
    ASSERT_EQ(SQLExecute(insert), SQL_SUCCESS);
    EXPECT_EQ(HeaderState(dir_.ReadFile("items.dbf")), std::make_pair(n, true));
  }
  // A row that fails writes nothing of itself.
  id = 1;
  SQLHSTMT bad = odbc_.Statement();
  EXPECT_EQ(SQLExecDirect(bad, (SQLCHAR*)"insert into items (name, id) values ('y', 123456789012)", SQL_NTS), SQL_ERROR);
  EXPECT_EQ(Odbc::State(SQL_HANDLE_STMT, bad).substr(0, 5), "22003");
  EXPECT_EQ(HeaderState(dir_.ReadFile("items.dbf")), std::make_pair(std::uint32_t{9}, true));
  EXPECT_EQ(odbc_.Exec("delete from items where id < 10"), SQL_SUCCESS);
  SQLHSTMT rest = odbc_.Statement();
  ASSERT_EQ(SQLExecDirect(rest, (SQLCHAR*)"select * from items", SQL_NTS), SQL_SUCCESS);
  SQLLEN rows = 0;
  SQLRowCount(rest, &rows);
  EXPECT_EQ(rows, 5);  // deleted records are never shown
}

// Two connections appending to one file in turns: each sees the other's records before its own
// next statement, and the file holds every record once.
TEST_F(DriverTest, ConnectionsTakeTurnsOnOneFile) {
  Odbc other(dir_.Str());
  auto count = [](Odbc& odbc) {
    SQLHSTMT s = odbc.Statement();
    SQLExecDirect(s, (SQLCHAR*)"select id from items", SQL_NTS);
    SQLLEN rows = -1;
    SQLRowCount(s, &rows);
    return rows;
  };
  ASSERT_EQ(count(other), 5);
  for (int id = 61; id <= 64; ++id)
    ASSERT_EQ((id % 2 ? odbc_ : other).Exec("insert into items (id) values (" + std::to_string(id) + ")"), SQL_SUCCESS);
  EXPECT_EQ(count(odbc_), 9);
  EXPECT_EQ(count(other), 9);
  EXPECT_EQ(HeaderState(dir_.ReadFile("items.dbf")), std::make_pair(std::uint32_t{9}, true));
}

TEST(DriverConnectTest, CompletesTheConnectionString) {
  testsupport::TempDir dir;
  SQLHENV env = SQL_NULL_HENV;
  SQLHDBC dbc = SQL_NULL_HDBC;
  SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
  const std::string in = std::string("DRIVER={") + VESTIBO_DBF_DRIVER + "};SourceDB=" + dir.Str() + ";Exclusive=No";
  SQLCHAR out[1024] = {};
  SQLSMALLINT length = 0;
  EXPECT_EQ(SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(const_cast<char*>(in.c_str())), SQL_NTS, out,
                             sizeof out, &length, SQL_DRIVER_NOPROMPT),
            SQL_SUCCESS);
  const std::string completed(reinterpret_cast<char*>(out), static_cast<std::size_t>(length));
  EXPECT_NE(completed.find("SourceDB=" + dir.Str()), std::string::npos) << completed;
  EXPECT_NE(completed.find("Exclusive=No"), std::string::npos) << completed;
  SQLDisconnect(dbc);
  SQLFreeHandle(SQL_HANDLE_DBC, dbc);
  SQLFreeHandle(SQL_HANDLE_ENV, env);
}

TEST(DriverConnectTest, DirectoryMustExist) {
  testsupport::TempDir dir;
  dir.WriteFile("plain.txt", "x");
  for (const std::string& path : {(dir / "missing").string(), (dir / "plain.txt").string()}) {
    Odbc odbc(path);
    EXPECT_EQ(odbc.ConnectResult(), SQL_ERROR);
    const std::string state = Odbc::State(SQL_HANDLE_DBC, odbc.Dbc());
    EXPECT_EQ(state.substr(0, 5), "08001");
    EXPECT_NE(state.find(path), std::string::npos) << state;
  }
}

}  // namespace
