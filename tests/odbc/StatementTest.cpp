// Statements against the SQLite driver: commands, parameters of every type, field definitions,
// cursor negotiation and failures.
#include <gtest/gtest.h>

#include <sqlext.h>

#include "support/OdbcTestEnv.h"
#include "odbc/TmStatement.h"

namespace odbctest {
namespace {

using odbc::ESQLerror;
using dataset::TFieldType;
using odbc::TmStatement;
using Rows = std::vector<std::vector<std::string>>;

class SqliteStatement : public SqliteTest {
 protected:
  void SetUp() override {
    SqliteTest::SetUp();
    query_.SetDataBase(&db_);
  }
  TmStatement query_;
};

TEST_F(SqliteStatement, ExecSqlRunsACommandAndLeavesTheStatementPrepared) {
  query_.SetSQL({"create table t (n integer, s varchar(20))"});
  query_.ExecSQL();  // connects on demand
  EXPECT_TRUE(db_.Connected());
  EXPECT_FALSE(query_.CursorOpen());
  EXPECT_TRUE(query_.StatementAllocated());
  EXPECT_TRUE(query_.Prepared());

  query_.SetSQL({"insert into t values (:n, :s)"});
  EXPECT_FALSE(query_.Prepared()) << "a new text is prepared anew";
  for (int i = 1; i <= 3; ++i) {
    query_.Params().ParamByName("n").SetAsInteger(i);
    query_.Params().ParamByName("s").SetAsString("row " + std::to_string(i));
    query_.ExecSQL();
    EXPECT_EQ(query_.RowsAffected(), 1);
    EXPECT_TRUE(query_.Prepared());
  }
  query_.SetSQL({"insert into t values (:n, :s)"});
  EXPECT_TRUE(query_.Prepared()) << "the same text keeps its prepared statement";

  query_.SetSQL({"update t set s = 'x' where n >= :n"});
  query_.Params()[0].SetAsInteger(2);
  query_.ExecSQL();
  EXPECT_EQ(query_.RowsAffected(), 2);
  query_.Params()[0].SetAsInteger(100);
  query_.ExecSQL();  // matches nothing: not an error
  EXPECT_EQ(query_.RowsAffected(), 0);

  EXPECT_EQ(FetchAll(db_, "select n, s from t order by n"),
            (Rows{{"1", "row 1"}, {"2", "x"}, {"3", "x"}}));
}

TEST_F(SqliteStatement, RepeatedParameterNameBindsOneValueAtEveryMarker) {
  Exec(db_, "create table t (a integer, b integer)");
  query_.SetSQL({"insert into t values (:v, :V)"});
  ASSERT_EQ(query_.Params().Count(), 1u);
  query_.Params()[0].SetAsInteger(42);
  query_.ExecSQL();
  EXPECT_EQ(FetchAll(db_, "select a, b from t"), (Rows{{"42", "42"}}));
}

TEST_F(SqliteStatement, LiteralColonsAndDoubleColonsReachTheDriverUnchanged) {
  Exec(db_, "create table t (s varchar(40))");
  query_.SetSQL({"insert into t values (':notme' || :p || 'a::b')"});
  query_.Params().ParamByName("p").SetAsString("-");
  query_.ExecSQL();
  // "::" stands for one colon outside literals only.
  EXPECT_EQ(FetchAll(db_, "select s from t"), (Rows{{":notme-a::b"}}));
}

TEST_F(SqliteStatement, EveryParameterTypeAndNulls) {
  Exec(db_,
       "create table v (s varchar(20), m text, b blob, si smallint, w integer, i integer, "
       "f boolean, d double, c double, dt date, tm time, ts timestamp)");
  query_.SetSQL({"insert into v values (:s, :m, :b, :si, :w, :i, :f, :d, :c, :dt, :tm, :ts)"});
  auto& p = query_.Params();
  p.ParamByName("s").SetAsString("caf\xe9");  // a Windows-1251 byte passes as it is
  p.ParamByName("m").SetAsMemo(std::string(3000, 'm'));
  p.ParamByName("b").SetAsBlob(std::string("\x00\x01\xff", 3));
  p.ParamByName("si").SetAsSmallInt(-12);
  p.ParamByName("w").SetAsWord(40000);
  p.ParamByName("i").SetAsInteger(-2000000000);
  p.ParamByName("f").SetAsBoolean(true);
  p.ParamByName("d").SetAsFloat(2.5);
  p.ParamByName("c").SetAsCurrency(1234.5);
  p.ParamByName("dt").SetAsDate(*core::TDateTime::FromDate(2024, 2, 29));
  p.ParamByName("tm").SetAsTime(*core::TDateTime::FromTime(13, 45, 6));
  p.ParamByName("ts").SetAsDateTime(*core::TDateTime::FromParts({2023, 12, 31, 23, 59, 58, 5}));
  query_.ExecSQL();
  EXPECT_EQ(query_.RowsAffected(), 1);

  for (auto& param : p) param.Clear();  // nulls of every type
  query_.ExecSQL();

  const Rows rows = FetchAll(db_,
      "select s, length(m), nullif(hex(b), ''), si, w, i, f, d, c, dt, tm, ts from v order by rowid");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"caf\xe9", "3000", "0001FF", "-12", "40000",
                                               "-2000000000", "1", "2.5", "1234.5", "2024-02-29",
                                               "13:45:06", "2023-12-31 23:59:58.005"}));
  EXPECT_EQ(rows[1], std::vector<std::string>(12, "<null>"));
}

TEST_F(SqliteStatement, UnsupportedParameterTypeIsRefusedByName) {
  Exec(db_, "create table t (n integer)");
  query_.SetSQL({"insert into t values (:n)"});  // n never given a value or a type
  try {
    query_.ExecSQL();
    FAIL();
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "Field 'n' is of an unsupported type");
  }
  EXPECT_FALSE(query_.StatementAllocated()) << "a failed execution releases the statement";
  query_.Params()[0].SetAsInteger(1);
  query_.ExecSQL();  // and the next one starts over
  EXPECT_EQ(query_.RowsAffected(), 1);
}

TEST_F(SqliteStatement, RefusedStatementRaisesWithTheDriversDiagnostics) {
  Exec(db_, "create table t (n integer)");
  query_.SetSQL({"create table t (n integer)"});
  try {
    query_.ExecSQL();
    FAIL() << "created a table twice";
  } catch (const ESQLerror& error) {
    EXPECT_EQ(error.SqlState().size(), 5u);
    ASSERT_FALSE(error.Errors().empty());
    EXPECT_EQ(error.what(), error.Errors().front());
    EXPECT_NE(error.Errors().front().find("already exists"), std::string::npos)
        << error.Errors().front();
  }
  EXPECT_FALSE(query_.StatementAllocated());
  EXPECT_FALSE(query_.CursorOpen());
}

TEST_F(SqliteStatement, FieldDefinitionsFromTheResultColumns) {
  Exec(db_, "create table t (id integer not null, name varchar(30), note text, price double, "
            "d date, ts timestamp, small smallint, pic blob)");
  query_.SetSQL({"select id, name, note, price, d, ts, small, pic, id, id, 1 as \"\" from t"});
  query_.SetRequestLive(true);
  query_.InitFieldDefs();
  EXPECT_TRUE(query_.CursorOpen());
  EXPECT_TRUE(query_.Modifiable());
  const auto& defs = query_.ODBCFieldDefs();
  std::vector<std::string> names;
  for (const auto& def : defs) names.push_back(def.name);
  EXPECT_EQ(names, (std::vector<std::string>{"id", "name", "note", "price", "d", "ts", "small",
                                             "pic", "id_1", "id_2", "COLUMN"}));

  const auto* id = query_.FindFieldDef("ID");
  ASSERT_NE(id, nullptr);
  EXPECT_EQ(id->dataType, TFieldType::Integer);
  EXPECT_EQ(id->bufferType, SQL_C_SLONG);
  EXPECT_EQ(id->fieldNo, 1);
  const auto* name = query_.FindFieldDef("name");
  EXPECT_EQ(name->dataType, TFieldType::String);
  EXPECT_EQ(name->size, 30);
  EXPECT_EQ(name->bufferLength, 31);
  EXPECT_EQ(query_.FindFieldDef("note")->dataType, TFieldType::Memo);
  EXPECT_FALSE(query_.FindFieldDef("note")->Bound());
  EXPECT_EQ(query_.FindFieldDef("price")->dataType, TFieldType::Float);
  EXPECT_EQ(query_.FindFieldDef("d")->dataType, TFieldType::Date);
  EXPECT_EQ(query_.FindFieldDef("ts")->dataType, TFieldType::DateTime);
  EXPECT_EQ(query_.FindFieldDef("small")->dataType, TFieldType::Smallint);
  EXPECT_EQ(query_.FindFieldDef("pic")->dataType, TFieldType::Blob);

  // Bound values and their indicators are aligned and do not overlap; unbound columns take
  // string slots in column order.
  std::size_t end = 0, slot = 0;
  for (const auto& def : defs) {
    if (!def.Bound()) {
      EXPECT_EQ(def.offset, slot++);
      continue;
    }
    EXPECT_GE(def.offset, end);
    EXPECT_EQ(def.offset % alignof(SQLLEN), 0u);
    EXPECT_GE(def.indicatorOffset, def.offset + static_cast<std::size_t>(def.bufferLength));
    EXPECT_EQ(def.indicatorOffset % alignof(SQLLEN), 0u);
    end = def.indicatorOffset + sizeof(SQLLEN);
  }
  EXPECT_EQ(query_.RowSize(), end);
  EXPECT_EQ(query_.StringSlots(), slot);
}

TEST_F(SqliteStatement, CursorIsLoweredToWhatTheDriverOffers) {
  Exec(db_, "create table t (n integer)");
  ExpectCursorNegotiation(db_, "select n from t");
}

TEST_F(SqliteStatement, QueryWithoutConnection) {
  TmStatement orphan;
  orphan.SetSQL({"select 1"});
  try {
    orphan.Execute();
    FAIL();
  } catch (const ESQLerror& error) {
    EXPECT_STREQ(error.what(), "ODBC datasource not defined");
    EXPECT_EQ(error.SqlState(), "");
  }
}

}  // namespace
}  // namespace odbctest
