// The data-set query against the PostgreSQL driver: posting into tables with quoted dBase-style
// names, fixed-width text, the server's scrollable cursors and its positioned operations.
#include <gtest/gtest.h>

#include <sqlext.h>

#include "support/OdbcTestEnv.h"
#include "core/Reporter.h"
#include "support/RecordingReporter.h"
#include "odbc/TmQuery.h"

namespace odbctest {
namespace {

using odbc::TmCursorTypes;
using odbc::TmQuery;
using Rows = std::vector<std::vector<std::string>>;

class PostgresQuery : public ::testing::Test {
 protected:
  void SetUp() override {
    VESTIBO_REQUIRE_POSTGRES();
    Connect({});
    // A schema per test, so that tests never see each other's tables.
    schema_ = std::string("q_") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    Exec(db_, "drop schema if exists " + schema_ + " cascade");
    Exec(db_, "create schema " + schema_);
    Exec(db_, "set search_path to " + schema_);
  }
  void TearDown() override {
    if (schema_.empty()) return;
    db_.Disconnect();
    Connect({});
    Exec(db_, "drop schema if exists " + schema_ + " cascade");
  }
  void Connect(const std::vector<std::string>& extra) {
    db_.Disconnect();
    std::vector<std::string> params = PostgresParams();
    params.insert(params.end(), extra.begin(), extra.end());
    db_.SetParams(params);
    db_.SetDriverCompletion(odbc::TmDriverCompletion::sdNoPrompt);
    db_.Connect();
    if (!schema_.empty()) Exec(db_, "set search_path to " + schema_);
  }

  odbc::TmDataBase db_;
  std::string schema_;
};

TEST_F(PostgresQuery, InsertStatementIntoAQuotedTableName) {
  Exec(db_, "CREATE TABLE \"orderitem.dbf\" (IdOrder integer, IdProduct integer, Quantity float, Price float, "
            "Unit char(5))");
  testsupport::RecordingReporter reporter;
  TmQuery query;
  query.SetDataBase(&db_);
  query.SetReporter(&reporter);
  query.SetSQL({"select * from \"orderitem.dbf\""});
  query.InsertSQL() = {"insert into \"orderitem.dbf\" (IdOrder, IdProduct, Quantity, Price, Unit)",
                       "values (:IdOrder, :IdProduct, :Quantity, :Price, :Unit)"};
  query.SetRequestLive(true);
  query.Open();
  for (int i = 1; i <= 60; ++i) {
    query.Append();
    query.FieldByName("IDORDER").AsInteger(7);
    query.FieldByName("idproduct").AsInteger(i);
    query.FieldByName("quantity").AsFloat(i / 4.0);
    query.FieldByName("price").AsFloat(99.5);
    query.FieldByName("unit").AsString(i % 2 ? "ab" : "kg");
    query.Post();
  }
  query.ApplyUpdates();
  query.CommitUpdates();
  query.Close();
  EXPECT_TRUE(reporter.entries.empty());

  TmQuery reader;
  reader.SetDataBase(&db_);
  reader.SetSQL({"select idproduct, quantity, unit from \"orderitem.dbf\" order by idproduct"});
  reader.Open();
  EXPECT_EQ(reader.RecordCount(), 60);
  ASSERT_TRUE(reader.Locate("idproduct", 31));
  EXPECT_DOUBLE_EQ(reader.FieldByName("quantity").AsFloat(), 7.75);
  EXPECT_EQ(reader.FieldByName("unit").AsString(), "ab") << "fixed-width text without its padding";
}

TEST_F(PostgresQuery, ScrollableCursorAndStatementsWithOldValues) {
  Exec(db_, "create table item (id integer, name varchar(20))");
  Exec(db_, "insert into item select g, 'name ' || g from generate_series(1, 6) g");
  testsupport::RecordingReporter reporter;
  TmQuery query;
  query.SetDataBase(&db_);
  query.SetReporter(&reporter);
  query.SetSQL({"select id, name from item order by id"});
  query.ModifySQL() = {"update item set name = :name where id = :OLD_id"};
  query.DeleteSQL() = {"delete from item where id = :OLD_ID"};
  query.SetRequestLive(true);
  query.Open();
  EXPECT_NE(query.CursorType(), TmCursorTypes::ctFwdOnlyCursor);
  EXPECT_EQ(query.RecordCount(), 6);
  query.Last();
  query.Prior();
  EXPECT_EQ(query.FieldByName("id").AsInteger(), 5);
  const auto fifth = query.GetBookmark();
  query.First();
  query.GotoBookmark(fifth);
  EXPECT_EQ(query.FieldByName("name").AsString(), "name 5");

  query.Edit();
  query.FieldByName("name").AsString("five");
  query.Post();
  query.First();
  query.GotoBookmark(fifth);
  EXPECT_EQ(query.FieldByName("name").AsString(), "five");
  ASSERT_TRUE(query.Locate("id", 2));
  query.Delete();
  EXPECT_EQ(query.FieldByName("id").AsInteger(), 3);

  Exec(db_, "delete from item where id = 6");
  ASSERT_TRUE(query.Locate("id", 6));
  query.Delete();
  EXPECT_EQ(reporter.Texts(), std::vector<std::string>{"No rows affected"});
  EXPECT_EQ(FetchAll(db_, "select id, name from item order by id"),
            (Rows{{"1", "name 1"}, {"3", "name 3"}, {"4", "name 4"}, {"5", "five"}}));
}

TEST_F(PostgresQuery, PositionedUpdateAndDeleteWhereTheDriverOffersThem) {
  Connect({"UpdatableCursors=1"});
  Exec(db_, "create table item (id integer primary key, name varchar(20))");
  Exec(db_, "insert into item select g, 'name ' || g from generate_series(1, 4) g");
  TmQuery query;
  query.SetDataBase(&db_);
  query.SetCursorType(TmCursorTypes::ctKeySetCursor);
  query.SetSQL({"select id, name from item order by id"});
  query.SetRequestLive(true);
  query.Open();
  if (!query.Capabilities().canUpdate || !query.Capabilities().canDelete)
    GTEST_SKIP() << "no positioned operations on this cursor";
  ASSERT_TRUE(query.Locate("id", 2));
  query.Edit();
  query.FieldByName("name").AsString("two");
  query.Post();
  EXPECT_EQ(query.FieldByName("name").AsString(), "two");
  ASSERT_TRUE(query.Locate("id", 3));
  query.Delete();
  EXPECT_EQ(query.RecordCount(), 3);
  EXPECT_EQ(FetchAll(db_, "select id, name from item order by id"),
            (Rows{{"1", "name 1"}, {"2", "two"}, {"4", "name 4"}}));
}

}  // namespace
}  // namespace odbctest
