// The data-set query against the SQLite driver: browsing forward-only and scrollable results,
// long columns, posting through update statements and through the driver's positioned
// operations, Locate, Lookup and bookmarks.
#include <gtest/gtest.h>

#include <sqlext.h>

#include "support/OdbcTestEnv.h"
#include "core/Reporter.h"
#include "support/RecordingReporter.h"
#include "odbc/TmBlobStream.h"
#include "odbc/TmQuery.h"

namespace odbctest {
namespace {

using odbc::TmCursorTypes;
using odbc::TmQuery;
using Rows = std::vector<std::vector<std::string>>;

class SqliteQuery : public SqliteTest {
 protected:
  void SetUp() override {
    SqliteTest::SetUp();
    Exec(db_, "create table item (id integer, name varchar(20), qty float)");
    for (int i = 1; i <= 5; ++i)
      Exec(db_, "insert into item values (" + std::to_string(i) + ", 'name " + std::to_string(i) + "', " +
                    std::to_string(i) + ".5)");
  }
  void OpenItems(TmQuery& query, TmCursorTypes cursor, bool live = false) {
    query.SetDataBase(&db_);
    query.SetCursorType(cursor);
    query.SetSQL({"select id, name, qty from item order by id"});
    query.SetRequestLive(live);
    query.Open();
  }
  static std::vector<int> Ids(TmQuery& query) {
    std::vector<int> ids;
    for (query.First(); !query.Eof(); query.Next()) ids.push_back(query.FieldByName("ID").AsInteger());
    return ids;
  }
};

// Browsing must work the same whether the rows come from the local store or the cursor.
class BrowseBothCursors : public SqliteQuery, public ::testing::WithParamInterface<TmCursorTypes> {};

TEST_P(BrowseBothCursors, MovesInEveryDirectionAndFindsRecords) {
  TmQuery query;
  OpenItems(query, GetParam());
  ASSERT_EQ(query.CursorType(), GetParam()) << "the driver offers both cursor types";
  EXPECT_EQ(query.RecordCount(), 5);
  EXPECT_EQ(Ids(query), (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_TRUE(query.Eof());
  EXPECT_EQ(query.FieldByName("id").AsInteger(), 5);

  query.Last();
  query.Prior();
  EXPECT_EQ(query.FieldByName("id").AsInteger(), 4) << "prior from the last record";
  EXPECT_EQ(query.RecNo(), 4);
  query.First();
  query.Prior();
  EXPECT_TRUE(query.Bof());
  EXPECT_EQ(query.FieldByName("name").AsString(), "name 1");
  EXPECT_DOUBLE_EQ(query.FieldByName("qty").AsFloat(), 1.5);

  ASSERT_TRUE(query.Locate("NAME", "NAME 3", {.CaseInsensitive = true}));
  EXPECT_EQ(query.FieldByName("id").AsInteger(), 3);
  const auto third = query.GetBookmark();
  EXPECT_FALSE(query.Locate("name", "nobody"));
  EXPECT_EQ(query.FieldByName("id").AsInteger(), 3) << "a failed Locate leaves the cursor";
  EXPECT_TRUE(query.Locate("name", "name 5"));
  query.GotoBookmark(third);
  EXPECT_EQ(query.FieldByName("id").AsInteger(), 3);
  query.First();
  EXPECT_LT(TmQuery::CompareBookmarks(query.GetBookmark(), third), 0);

  const auto found = query.Lookup("id", 4, "name;qty");
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ((*found)[0].AsText(), "name 4");
  EXPECT_EQ(query.FieldByName("id").AsInteger(), 1) << "Lookup leaves the cursor where it was";
  EXPECT_FALSE(query.Lookup("id", 99, "name").has_value());
}

INSTANTIATE_TEST_SUITE_P(Cursors, BrowseBothCursors,
                         ::testing::Values(TmCursorTypes::ctFwdOnlyCursor, TmCursorTypes::ctStaticCursor),
                         [](const auto& info) {
                           return info.param == TmCursorTypes::ctFwdOnlyCursor ? std::string("ForwardOnly")
                                                                                : std::string("Static");
                         });

// A query opened again with another line (as "PDB -> DBF" reads its tables back sorted) walks
// every row from the first, whatever cursor it gets.
TEST_P(BrowseBothCursors, AQueryOpenedAgainWalksEveryRow) {
  TmQuery query;
  OpenItems(query, GetParam());
  query.Close();
  query.SetSQL({"select id, name, qty from item", "order by id desc"});
  query.Open();
  EXPECT_EQ(Ids(query), (std::vector<int>{5, 4, 3, 2, 1}));
  query.Close();
  query.AddSQL("");
  query.Open();
  std::vector<int> ids;
  for (; !query.Eof(); query.Next()) ids.push_back(query.FieldByName("id").AsInteger());
  EXPECT_EQ(ids, (std::vector<int>{5, 4, 3, 2, 1})) << "from the first record after Open";
}

TEST_F(SqliteQuery, EmptyResultAndReadOnlyResult) {
  TmQuery query;
  query.SetDataBase(&db_);
  query.SetSQL({"select id, name from item where id > 100"});
  query.Open();
  EXPECT_TRUE(query.Eof());
  EXPECT_TRUE(query.Bof());
  EXPECT_EQ(query.RecordCount(), 0);
  query.Append();
  EXPECT_THROW(query.FieldByName("id").AsInteger(7), dataset::EDatabaseError) << "not RequestLive";
  query.Cancel();
  EXPECT_THROW(query.ExecSQL(), dataset::EDatabaseError) << "ExecSQL needs a closed query";
  query.Close();
  EXPECT_FALSE(query.CursorOpen());
  EXPECT_TRUE(query.Prepared()) << "the statement stays prepared for the next Open";
  query.Open();
  EXPECT_EQ(query.RecordCount(), 0);
}

TEST_F(SqliteQuery, LongColumnsComeThroughGetData) {
  Exec(db_, "create table doc (id integer, body text, data blob)");
  std::string body;
  for (int i = 0; i < 700; ++i) body += "line " + std::to_string(i) + ";";
  {
    odbc::TmStatement insert;
    insert.SetDataBase(&db_);
    insert.SetSQL({"insert into doc values (:id, :body, :data)"});
    insert.Params().ParamByName("id").SetAsInteger(1);
    insert.Params().ParamByName("body").SetAsMemo(body);
    insert.Params().ParamByName("data").SetAsBlob(std::string("\x00\x01\xff\x00z", 5));
    insert.ExecSQL();
    insert.Params().ParamByName("id").SetAsInteger(2);
    insert.Params().ParamByName("body").Clear();
    insert.Params().ParamByName("data").Clear();
    insert.ExecSQL();
  }
  for (auto cursor : {TmCursorTypes::ctFwdOnlyCursor, TmCursorTypes::ctStaticCursor}) {
    TmQuery query;
    query.SetDataBase(&db_);
    query.SetCursorType(cursor);
    query.SetSQL({"select id, body, data from doc order by id"});
    query.Open();
    const auto& defs = query.ODBCFieldDefs();
    ASSERT_EQ(defs.size(), 3u);
    EXPECT_FALSE(defs[1].Bound()) << "long text is read through SQLGetData";
    EXPECT_EQ(query.FieldByName("body").AsString(), body);
    EXPECT_EQ(query.FieldByName("data").AsString(), std::string("\x00\x01\xff\x00z", 5));
    auto stream = query.CreateBlobStream(query.FieldByName("body"), dataset::TBlobStreamMode::Read);
    stream->Seek(-3, dataset::TSeekOrigin::End);
    EXPECT_EQ(stream->ReadRest(), "99;");
    query.Next();
    EXPECT_TRUE(query.FieldByName("body").IsNull());
    query.Prior();
    EXPECT_EQ(query.FieldByName("body").AsString().size(), body.size());
  }
}

TEST_F(SqliteQuery, BlobStreamWritesCutTheValueAtTheirEnd) {
  Exec(db_, "create table doc (id integer, body text)");
  TmQuery query;
  query.SetDataBase(&db_);
  query.SetSQL({"select id, body from doc"});
  query.InsertSQL() = {"insert into doc values (:id, :body)"};
  query.SetRequestLive(true);
  query.Open();
  query.Append();
  query.FieldByName("id").AsInteger(1);
  {
    auto stream = query.CreateBlobStream(query.FieldByName("body"), dataset::TBlobStreamMode::Write);
    stream->Write("hello world");
    stream->Seek(5, dataset::TSeekOrigin::Beginning);
    stream->Write("!");
  }
  EXPECT_EQ(query.FieldByName("body").AsString(), "hello!");
  query.Post();
  EXPECT_EQ(FetchAll(db_, "select id, body from doc"), (Rows{{"1", "hello!"}}));
  EXPECT_THROW(query.CreateBlobStream(query.FieldByName("body"), dataset::TBlobStreamMode::Write), dataset::EDatabaseError)
      << "writing needs edit or insert state";
}

TEST_F(SqliteQuery, InsertStatementPostsEveryAppendedRecordOnce) {
  Exec(db_, "create table line (IdOrder integer, IdProduct integer, Quantity float, Price float, Note varchar(10))");
  testsupport::RecordingReporter reporter;
  TmQuery query;
  query.SetDataBase(&db_);
  query.SetReporter(&reporter);
  query.SetSQL({"select * from line"});
  // OLD_ names of an appended record carry the values being inserted.
  query.InsertSQL() = {"insert into line (IdOrder, IdProduct, Quantity, Price, Note)",
                       "values (:IdOrder, :OLD_IdProduct, :Quantity, :Price, :Note)"};
  query.SetRequestLive(true);
  query.Open();
  for (int i = 1; i <= 60; ++i) {
    query.Append();
    query.FieldByName("IdOrder").AsInteger(i / 10);
    query.FieldByName("idproduct").AsInteger(1000 + i);
    query.FieldByName("Quantity").AsFloat(i * 0.5);
    query.FieldByName("Price").AsFloat(i + 0.25);
    if (i % 2) query.FieldByName("Note").AsString("odd");
    query.Post();
    EXPECT_EQ(query.FieldByName("IdProduct").AsInteger(), 1000 + i) << "the posted record stays current";
  }
  query.ApplyUpdates();
  query.CommitUpdates();
  EXPECT_EQ(query.RecordCount(), 60);
  EXPECT_TRUE(reporter.entries.empty());
  const odbc::TmStatement* insert = query.UpdateQuery(odbc::TmStatement::ukInsert);
  ASSERT_NE(insert, nullptr);
  EXPECT_TRUE(insert->Prepared()) << "one prepared statement for every post";
  query.Close();

  TmQuery reader;
  reader.SetDataBase(&db_);
  reader.SetSQL({"select IdOrder, IdProduct, Quantity, Price, Note from line order by IdProduct"});
  reader.Open();
  EXPECT_EQ(reader.RecordCount(), 60);
  int i = 0;
  for (reader.First(); !reader.Eof(); reader.Next()) {
    ++i;
    EXPECT_EQ(reader.FieldByName("IdOrder").AsInteger(), i / 10);
    EXPECT_EQ(reader.FieldByName("IdProduct").AsInteger(), 1000 + i);
    EXPECT_DOUBLE_EQ(reader.FieldByName("Quantity").AsFloat(), i * 0.5);
    EXPECT_DOUBLE_EQ(reader.FieldByName("Price").AsFloat(), i + 0.25);
    EXPECT_EQ(reader.FieldByName("Note").IsNull(), i % 2 == 0);
  }
  EXPECT_EQ(i, 60);
}

TEST_F(SqliteQuery, ModifyAndDeleteStatementsUseOldValues) {
  testsupport::RecordingReporter reporter;
  TmQuery query;
  query.SetReporter(&reporter);
  query.ModifySQL() = {"update item set id = :id, name = :name where id = :OLD_ID"};
  query.DeleteSQL() = {"delete from item where id = :old_id"};
  query.InsertSQL() = {"insert into item (id, name) values (:id, :name)"};
  OpenItems(query, TmCursorTypes::ctStaticCursor, true);

  ASSERT_TRUE(query.Locate("id", 2));
  query.Edit();
  query.FieldByName("id").AsInteger(20);
  query.FieldByName("name").AsString("twenty");
  query.Post();
  EXPECT_EQ(query.FieldByName("id").AsInteger(), 20) << "the cursor does not show the update: kept locally";
  query.Next();
  query.Prior();
  EXPECT_EQ(query.FieldByName("name").AsString(), "twenty");

  ASSERT_TRUE(query.Locate("id", 4));
  query.Delete();
  EXPECT_EQ(query.FieldByName("id").AsInteger(), 5);
  EXPECT_EQ(query.RecordCount(), 4);
  EXPECT_EQ(query.DeletedBookmarks().size(), 1u);
  EXPECT_TRUE(reporter.entries.empty());
  EXPECT_EQ(FetchAll(db_, "select id, name from item order by id"),
            (Rows{{"1", "name 1"}, {"3", "name 3"}, {"5", "name 5"}, {"20", "twenty"}}));

  // Somebody else removed the row: the post completes and says that nothing was changed.
  Exec(db_, "delete from item where id = 5");
  ASSERT_TRUE(query.Locate("id", 5));
  query.Edit();
  query.FieldByName("name").AsString("gone");
  query.Post();
  EXPECT_EQ(query.State(), dataset::TDataSetState::Browse);
  EXPECT_EQ(reporter.Texts(), std::vector<std::string>{"No rows affected"});

  // Two rows match: reported, not refused.
  Exec(db_, "insert into item (id, name) values (1, 'twin')");
  ASSERT_TRUE(query.Locate("id", 1));
  query.Delete();
  EXPECT_EQ(reporter.Texts().back(), "More then one rows affected");

  EXPECT_THROW(query.SetInsertSQL({}), dataset::EDatabaseError) << "switching to positioned inserts while open";
  query.SetInsertSQL({"insert into item (id) values (:id)"});  // still a statement: allowed
}

TEST_F(SqliteQuery, PositionedOperationsWithoutStatements) {
  // The driver finds a row again by its key.
  Exec(db_, "create table keyed (id integer primary key, name varchar(20), qty float)");
  Exec(db_, "insert into keyed select * from item");
  TmQuery query;
  query.SetDataBase(&db_);
  query.SetCursorType(TmCursorTypes::ctStaticCursor);
  query.SetSQL({"select id, name, qty from keyed"});
  query.SetRequestLive(true);
  query.Open();
  const auto& caps = query.Capabilities();
  if (!caps.canUpdate || !caps.canDelete || !caps.canAdd) GTEST_SKIP() << "driver offers no positioned operations";

  ASSERT_TRUE(query.Locate("id", 3));
  query.Edit();
  query.FieldByName("name").AsString("three");
  query.Post();
  EXPECT_EQ(query.FieldByName("name").AsString(), "three");
  ASSERT_TRUE(query.Locate("id", 1));
  query.Delete();
  query.Append();
  query.FieldByName("id").AsInteger(6);
  query.FieldByName("name").AsString("six");
  query.Post();
  EXPECT_EQ(FetchAll(db_, "select id, name from keyed order by id"),
            (Rows{{"2", "name 2"}, {"3", "three"}, {"4", "name 4"}, {"5", "name 5"}, {"6", "six"}}));
}

TEST_F(SqliteQuery, WithoutStatementsAForwardOnlyQueryRefusesToPost) {
  TmQuery query;
  OpenItems(query, TmCursorTypes::ctFwdOnlyCursor, true);
  query.Append();
  query.FieldByName("id").AsInteger(9);
  EXPECT_THROW(query.Post(), dataset::EDatabaseError);
  query.Cancel();
  query.Edit();
  query.FieldByName("id").AsInteger(9);
  EXPECT_THROW(query.Post(), dataset::EDatabaseError);
  query.Cancel();
  EXPECT_THROW(query.Delete(), dataset::EDatabaseError);
  EXPECT_EQ(query.RecordCount(), 5);
  query.Close();

  query.InsertSQL() = {"  "};  // given, but says nothing
  query.Open();
  query.Append();
  query.FieldByName("id").AsInteger(9);
  try {
    query.Post();
    ADD_FAILURE() << "a blank insert statement posted";
  } catch (const dataset::EDatabaseError& error) {
    EXPECT_STREQ(error.what(), "sql statement not defined");
  }
  query.Cancel();
  EXPECT_EQ(query.RecordCount(), 5);
}

TEST_F(SqliteQuery, ExecSqlOfASelectClosesItsCursorEveryTime) {
  TmQuery query;
  query.SetDataBase(&db_);
  query.SetSQL({"select id from item"});
  for (int run = 0; run < 3; ++run) {
    query.ExecSQL();
    EXPECT_FALSE(query.CursorOpen());
  }
  query.Open();
  EXPECT_EQ(query.RecordCount(), 5);
}

TEST_F(SqliteQuery, ChangingTheTextClosesTheQuery) {
  TmQuery query;
  OpenItems(query, TmCursorTypes::ctFwdOnlyCursor);
  query.SetSQL({"select id from item where id = :id"});
  EXPECT_FALSE(query.Active());
  query.Params().ParamByName("id").SetAsInteger(4);
  query.Open();
  EXPECT_EQ(query.RecordCount(), 1);
  EXPECT_EQ(query.FieldByName("id").AsInteger(), 4);
}

TEST_F(SqliteQuery, MasterSuppliesUnassignedParameters) {
  TmQuery master;
  OpenItems(master, TmCursorTypes::ctFwdOnlyCursor);
  TmQuery detail;
  detail.SetDataBase(&db_);
  detail.SetSQL({"select name from item where id = :id"});
  detail.SetDataSource(&master);
  EXPECT_THROW(master.SetDataSource(&detail), dataset::EDatabaseError);
  ASSERT_TRUE(master.Locate("id", 3));
  detail.Open();
  EXPECT_EQ(detail.FieldByName("name").AsString(), "name 3");
}

}  // namespace
}  // namespace odbctest
