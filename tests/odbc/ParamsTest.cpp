// Parameter parsing, the parameter list, and the key=value connect lines.
#include <gtest/gtest.h>

#include "odbc/TmDataBase.h"
#include "odbc/TmParams.h"
#include "odbc/TmStatement.h"

namespace odbc {
namespace {

struct ParseCase {
  const char* name;
  std::string sql;
  std::string parsed;
  std::vector<std::string> params;
  friend void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.name; }
};

class ParseSQLParamsTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseSQLParamsTest, ReplacesParametersByMarkers) {
  const ParseCase& c = GetParam();
  const TParsedSQL result = ParseSQLParams(c.sql);
  EXPECT_EQ(result.text, c.parsed);
  EXPECT_EQ(result.names, c.params);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseSQLParamsTest,
    ::testing::Values(
        ParseCase{"LiteralColonAndDoubleColon",
                  "select * from t where a = :p1 and b = ':notme' and c = x::int",
                  "select * from t where a = ? and b = ':notme' and c = x:int", {"p1"}},
        ParseCase{"AtEndOfText", "select * from t where id=:id", "select * from t where id=?", {"id"}},
        ParseCase{"EveryDelimiter", "f(:a,:b;:c :d)\r\n:e\n:f",
                  "f(?,?;? ?)\r\n?\n?", {"a", "b", "c", "d", "e", "f"}},
        ParseCase{"DoubleQuotedNameWithBlank", "values (:\"my name\", :'other')",
                  "values (?, ?)", {"my name", "other"}},
        ParseCase{"DoubleQuotedLiteral", "select \"a:b\" from t where x = :x",
                  "select \"a:b\" from t where x = ?", {"x"}},
        ParseCase{"RepeatedNameKeepsEveryMarker", "a = :p or b = :P or c = :q",
                  "a = ? or b = ? or c = ?", {"p", "P", "q"}},
        ParseCase{"LoneColonStays", "a : b, c:", "a : b, c:", {}},
        ParseCase{"TripleColon", "x:::p", "x:?", {"p"}},
        ParseCase{"NoParameters", "create table t (n integer)", "create table t (n integer)", {}},
        ParseCase{"InsertOverTwoLines",
                  "insert into  \"order.dbf\" (id,IdCustomer)\r\n   values (:id,:IdCustomer)\r\n",
                  "insert into  \"order.dbf\" (id,IdCustomer)\r\n   values (?,?)\r\n",
                  {"id", "IdCustomer"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TmParamsTest, OneParameterPerNameAndValuesKeptByName) {
  TmParams params = TmParams::FromNames({"Id", "name", "ID"});
  ASSERT_EQ(params.Count(), 2u);
  EXPECT_EQ(params[0].Name(), "Id");
  EXPECT_EQ(&params.ParamByName("id"), &params[0]);
  EXPECT_THROW(params.ParamByName("missing"), std::out_of_range);

  params.ParamByName("id").SetAsInteger(7);
  params.ParamByName("name").Clear();
  TmParams next = TmParams::FromNames({"NAME", "extra"});
  next.AssignValues(params);
  EXPECT_TRUE(next[0].Bound());
  EXPECT_TRUE(next[0].IsNull());
  EXPECT_FALSE(next[1].Bound());
  EXPECT_EQ(next[1].DataType(), dataset::TFieldType::Unknown);
}

TEST(TmStatementTextTest, ChangingSQLReparsesAndKeepsValues) {
  TmStatement query;
  query.SetSQL({"select * from t", "where a = :A and b = :b"});
  EXPECT_EQ(query.ParsedSQL(), "select * from t\r\nwhere a = ? and b = ?\r\n");
  query.Params().ParamByName("a").SetAsInteger(1);
  query.AddSQL("or c = :c");
  ASSERT_EQ(query.Params().Count(), 3u);
  EXPECT_EQ(query.Params().ParamByName("A").AsInteger(), 1);

  query.SetParamCheck(false);  // the list stays as the caller made it
  query.SetSQL({"select :x"});
  EXPECT_EQ(query.Params().Count(), 3u);
  EXPECT_EQ(query.ParsedSQL(), "select ?\r\n");
}

TEST(ConnectLinesTest, JoinedWithSemicolons) {
  EXPECT_EQ(BuildConnectString({"DRIVER=x", "", "DefaultDir=d"}), "DRIVER=x;;DefaultDir=d");
  EXPECT_EQ(BuildConnectString({"", "DRIVER=x"}), "DRIVER=x");
  EXPECT_EQ(BuildConnectString({" A = b ", "c"}), " A = b ;c");
  EXPECT_EQ(BuildConnectString({}), "");
}

TEST(ConnectLinesTest, DataBaseNameIsTheDsnLine) {
  TmDataBase db;
  EXPECT_EQ(db.DataBaseName(), "");
  db.SetParams({"DRIVER=x"});
  db.SetDataBaseName("mData");
  EXPECT_EQ(db.Params(), (std::vector<std::string>{"DRIVER=x", "DSN=mData"}));
  db.Params().clear();
  EXPECT_EQ(db.DataBaseName(), "");

  db.SetParams({"dsn=old", "DRIVER=x"});
  db.SetDataBaseName("mData");  // the key matches in any case and keeps its place
  EXPECT_EQ(db.Params(), (std::vector<std::string>{"DSN=mData", "DRIVER=x"}));
  db.SetDataBaseName("");  // an empty value removes the line
  EXPECT_EQ(db.Params(), (std::vector<std::string>{"DRIVER=x"}));
}

}  // namespace
}  // namespace odbc
