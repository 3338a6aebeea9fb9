// The server path: the PostgreSQL driver against the test server that scripts/test.sh starts.
#include <gtest/gtest.h>

#include <sqlext.h>

#include <memory>

#include "support/OdbcTestEnv.h"
#include "odbc/TmStatement.h"

namespace odbctest {
namespace {

using odbc::ESQLerror;
using dataset::TFieldType;
using odbc::TmDataBase;
using odbc::TmStatement;
using Rows = std::vector<std::vector<std::string>>;

class PostgresTest : public ::testing::Test {
 protected:
  void SetUp() override {
    VESTIBO_REQUIRE_POSTGRES();
    EnsureDriverRegistry();
    db_.SetParams(PostgresParams());
    db_.SetDriverCompletion(odbc::TmDriverCompletion::sdNoPrompt);
    db_.Connect();
    // A schema per test, so that tests never see each other's tables.
    schema_ = std::string("t_") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    Exec(db_, "drop schema if exists " + schema_ + " cascade");
    Exec(db_, "create schema " + schema_);
    Exec(db_, "set search_path to " + schema_);
  }
  void TearDown() override {
    if (!schema_.empty()) {
      db_.Disconnect();
      db_.Connect();
      Exec(db_, "drop schema if exists " + schema_ + " cascade");
    }
  }
  static void UseTestServer(TmDataBase& db) { db.SetParams(PostgresParams()); }

  TmDataBase db_;
  std::string schema_;
};

TEST_F(PostgresTest, ConnectsAndCompletesTheConnectString) {
  EXPECT_TRUE(db_.Connected());
  EXPECT_NE(db_.CompletedConnectString().find("DRIVER="), std::string::npos)
      << db_.CompletedConnectString();
  EXPECT_EQ(FetchAll(db_, "select current_setting('client_encoding')"), (Rows{{"SQL_ASCII"}}));
}

TEST_F(PostgresTest, EveryParameterTypeReachesTheServerTyped) {
  Exec(db_,
       "create table v (s char(4), m text, b bytea, si smallint, w integer, i integer, "
       "f boolean, d double precision, c numeric(15,3), dt date, tm time, ts timestamp(3))");
  TmStatement insert;
  insert.SetDataBase(&db_);
  insert.SetSQL({"insert into v values (:s, :m, :b, :si, :w, :i, :f, :d, :c, :dt, :tm, :ts)"});
  auto& p = insert.Params();
  p.ParamByName("s").SetAsString("\xcf\xf0");  // Windows-1251 bytes through SQL_ASCII
  p.ParamByName("m").SetAsMemo(std::string(5000, 'm'));
  p.ParamByName("b").SetAsBlob(std::string("\x00\x01\xff", 3));
  p.ParamByName("si").SetAsSmallInt(-12);
  p.ParamByName("w").SetAsWord(40000);
  p.ParamByName("i").SetAsInteger(2147483647);
  p.ParamByName("f").SetAsBoolean(true);
  p.ParamByName("d").SetAsFloat(-0.125);
  p.ParamByName("c").SetAsCurrency(1234.5);
  p.ParamByName("dt").SetAsDate(*core::TDateTime::FromDate(1899, 12, 30));
  p.ParamByName("tm").SetAsTime(*core::TDateTime::FromTime(0, 0, 1));
  p.ParamByName("ts").SetAsDateTime(*core::TDateTime::FromParts({2024, 2, 29, 12, 0, 0, 50}));
  insert.ExecSQL();
  EXPECT_EQ(insert.RowsAffected(), 1);
  for (auto& param : p) param.Clear();
  insert.ExecSQL();

  const Rows rows = FetchAll(db_,
      "select s, length(m), encode(b, 'hex'), si, w, i, cast(f as text), d, c, dt, tm, ts from v "
      "order by m nulls last");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"\xcf\xf0  ", "5000", "0001ff", "-12", "40000",
                                               "2147483647", "true", "-0.125", "1234.500",
                                               "1899-12-30", "00:00:01",
                                               "2024-02-29 12:00:00.05"}));
  EXPECT_EQ(rows[1], std::vector<std::string>(12, "<null>"));
}

TEST_F(PostgresTest, WordAboveSmallintRangeIsRefusedNotWrapped) {
  Exec(db_, "create table t (n smallint)");
  TmStatement insert;
  insert.SetDataBase(&db_);
  insert.SetSQL({"insert into t values (:n)"});
  insert.Params()[0].SetAsWord(40000);
  EXPECT_THROW(insert.ExecSQL(), ESQLerror);
  EXPECT_TRUE(FetchAll(db_, "select n from t").empty());
}

TEST_F(PostgresTest, RefusedCreateTableCarriesTheServersState) {
  Exec(db_, "create table dup (n integer)");
  try {
    Exec(db_, "create table dup (n integer)");
    FAIL() << "created a table twice";
  } catch (const ESQLerror& error) {
    EXPECT_EQ(error.SqlState(), "42P07");  // duplicate table
    ASSERT_FALSE(error.Errors().empty());
    EXPECT_EQ(error.Errors().front().rfind("42P07:", 0), 0u) << error.Errors().front();
    EXPECT_EQ(error.ReturnCode(), SQL_ERROR);
  }
}

TEST_F(PostgresTest, CommittedWorkIsSeenAndUncommittedWorkIsDroppedOnDisconnect) {
  Exec(db_, "create table t (n integer)");
  db_.StartTransaction();
  Exec(db_, "insert into t values (1)");

  TmDataBase other;
  UseTestServer(other);
  other.Connect();
  const std::string count = "select count(*) from " + schema_ + ".t";
  EXPECT_EQ(FetchAll(other, count), (Rows{{"0"}})) << "not committed yet";
  db_.Commit();
  EXPECT_EQ(FetchAll(other, count), (Rows{{"1"}}));

  Exec(db_, "insert into t values (2)");  // a new transaction
  db_.Disconnect();
  EXPECT_EQ(FetchAll(other, count), (Rows{{"1"}}));
  db_.Connect();
}

TEST_F(PostgresTest, IsolationLevelIsSetAfterConnect) {
  using odbc::TmIsolationLevels;
  const std::pair<TmIsolationLevels, const char*> levels[] = {
      {TmIsolationLevels::TxnReadCommitted, "read committed"},
      {TmIsolationLevels::TxnRepeatableRead, "repeatable read"},
      {TmIsolationLevels::TxnSerializable, "serializable"}};
  for (const auto& [level, name] : levels) {
    TmDataBase db;
    UseTestServer(db);
    db.SetTransIsolation(level);
    db.Connect();
    db.StartTransaction();
    EXPECT_EQ(FetchAll(db, "show transaction_isolation"), (Rows{{name}}));
    db.Commit();
  }
}

TEST_F(PostgresTest, FieldDefinitionsFollowTheServersTypes) {
  Exec(db_,
       "create table f (c2 char(2) not null, vc varchar(10), big varchar(300), t text, "
       "i integer, si smallint, bi bigint, n numeric(15,3), d double precision, r real, "
       "dt date, tm time, ts timestamp, b boolean, by bytea, u uuid)");
  TmStatement query;
  query.SetDataBase(&db_);
  query.SetSQL({"select * from f"});
  query.InitFieldDefs();
  struct Expected {
    const char* name;
    TFieldType type;
    int size;
    bool bound;
  };
  const Expected expected[] = {
      {"c2", TFieldType::String, 2, true},   {"vc", TFieldType::String, 10, true},
      {"big", TFieldType::Memo, 0, false},   {"t", TFieldType::Memo, 0, false},
      {"i", TFieldType::Integer, 0, true},   {"si", TFieldType::Smallint, 0, true},
      {"bi", TFieldType::Float, 0, true},    {"n", TFieldType::Float, 0, true},
      {"d", TFieldType::Float, 0, true},     {"r", TFieldType::Float, 0, true},
      {"dt", TFieldType::Date, 0, true},     {"tm", TFieldType::Time, 0, true},
      {"ts", TFieldType::DateTime, 0, true}, {"b", TFieldType::Boolean, 0, true},
      {"by", TFieldType::Blob, 0, false}};
  const auto& defs = query.ODBCFieldDefs();
  ASSERT_GE(defs.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(defs[i].name, expected[i].name);
    EXPECT_EQ(defs[i].dataType, expected[i].type) << "sql type " << defs[i].sqlType;
    if (expected[i].size) {
      EXPECT_EQ(defs[i].size, expected[i].size);
    }
    EXPECT_EQ(defs[i].Bound(), expected[i].bound);
  }
  EXPECT_TRUE(defs[0].required);
  EXPECT_FALSE(defs[1].required);
  EXPECT_EQ(query.FindFieldDef("n")->precision, 3);
  EXPECT_EQ(query.FindFieldDef("u"), nullptr) << "a type without a field";
  EXPECT_EQ(defs.size(), std::size(expected));
}

TEST_F(PostgresTest, CursorIsLoweredToWhatTheDriverOffers) {
  Exec(db_, "create table t (n integer)");
  ExpectCursorNegotiation(db_, "select n from t");
}

// A statement that runs with warnings has run: the warnings go to OnSuccessWithInfo.
TEST_F(PostgresTest, WarningsOfAStatementReachOnSuccessWithInfo) {
  auto infos = std::make_shared<std::vector<std::string>>();
  db_.OnSuccessWithInfo = [this, infos](TmDataBase& sender, const std::string& info) {
    EXPECT_EQ(&sender, &db_);
    infos->push_back(info);
  };
  Exec(db_, "drop table if exists vestibo_nosuch");
  ASSERT_EQ(infos->size(), 1u);
  EXPECT_EQ(infos->at(0).rfind("00000:", 0), 0u) << infos->at(0);
  EXPECT_NE(infos->at(0).find("does not exist"), std::string::npos) << infos->at(0);

  infos->clear();
  Exec(db_, "do $$ begin raise notice 'first'; raise notice 'second'; end $$");
  ASSERT_EQ(infos->size(), 1u);
  EXPECT_NE(infos->at(0).find("first"), std::string::npos) << infos->at(0);
  EXPECT_NE(infos->at(0).find("second"), std::string::npos) << infos->at(0);
}

}  // namespace
}  // namespace odbctest
