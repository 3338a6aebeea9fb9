#include "pdb/PDBSQLDriver.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "PDBEngineTestSupport.h"
#include "pdb/PDBDataSet.h"
#include "core/NumberFormat.h"
#include "support/RecordingReporter.h"

namespace pdb {
namespace {

using pdbtest::B;
using pdbtest::ExpectPDBError;

// Adds fields after RowID.
void Define(TPDBSQLDriver& db, const std::vector<std::pair<std::string, TPDBSQLDriverFieldType>>& fields) {
  for (const auto& [name, type] : fields) {
    auto& field = db.Fields().Add();
    field.SetFieldName(name);
    field.SetDataType(type);
  }
}

TEST(PDBSQLDriver, NameHash) {
  EXPECT_EQ(SQLDriverNameHash("RowID"), 108705909u);
  EXPECT_EQ(SQLDriverNameHash("rowid"), 108705909u);
  EXPECT_EQ(SQLDriverNameHash(""), 0u);
  EXPECT_EQ(SQLDriverNameHash("\xC0"), 0xC0u);  // bytes count unsigned
}

TEST(PDBSQLDriver, ThreeRecordsAfterTheSchemaRecord) {
  testsupport::TempDir dir;
  {
    TPDBSQLDriver db;
    Define(db, {{"Name", PDChar}, {"Qty", PDShort}});
    db.Fields()[1].SetSize(4);
    pdbtest::PrepareWrite(db, dir);
    for (const char* name : {"AB", "CDEF", "G"}) {
      db.BeginAppend();
      db.FieldByName("name").SetAsString(name);
      db.FieldByName("Qty").SetAsShort(static_cast<std::int16_t>(db.RecordCount() * 10));
      db.Post();
    }
    EXPECT_EQ(db.Fields()[0].AsInt(), 3);  // the third record's RowID
    db.Close();
  }
  const auto file = dir.ReadBytes("db.pdb");
  ASSERT_EQ(core::LoadBE16(&file[76]), 4);
  core::Bytes schema;
  core::BigEndianWriter w(schema);
  w.U32(4);
  w.U16(3);
  for (auto h : {108705909u, SQLDriverNameHash("name"), SQLDriverNameHash("qty")}) w.U32(h);
  for (auto t : {PDInt, PDChar, PDShort}) w.U32(t);
  for (auto s : {0, 4, 0}) w.U32(static_cast<std::uint32_t>(s));
  w.Zeros(3 + 2);
  EXPECT_EQ(schema.size(), 13u * 3 + 8);
  EXPECT_EQ(pdbtest::RecordOf(file, 0), schema);
  EXPECT_EQ(pdbtest::RecordOf(file, 1), B({0, 0, 0, 1, 0, 2, 0, 0x41, 0, 0x42, 0, 0, 0, 0, 0, 0}));

  TPDBSQLDriver db;
  Define(db, {{"Name", PDChar}, {"Qty", PDShort}});
  db.Fields()[1].SetSize(4);
  pdbtest::PrepareRead(db, dir);
  EXPECT_EQ(db.RecordCount(), 3);
  std::vector<std::string> names;
  for (db.First(); !db.Eof(); db.Next()) {
    EXPECT_EQ(db.Fields()[0].AsInt(), static_cast<std::int32_t>(names.size()) + 1);
    EXPECT_EQ(db.Fields()[2].AsShort(), 10 * static_cast<int>(names.size()));
    names.push_back(db.Fields()[1].AsString());
  }
  EXPECT_EQ(names, (std::vector<std::string>{"AB", "CDEF", "G"}));
}

TEST(PDBSQLDriver, EmptyDatabaseHoldsOnlyTheSchemaRecord) {
  testsupport::TempDir dir;
  {
    TPDBSQLDriver db;
    pdbtest::PrepareWrite(db, dir);
    db.Close();
  }
  const auto file = dir.ReadBytes("db.pdb");
  ASSERT_EQ(core::LoadBE16(&file[76]), 1);
  EXPECT_EQ(core::LoadBE32(pdbtest::RecordOf(file, 0).data()), 1u);
  TPDBSQLDriver db;
  pdbtest::PrepareRead(db, dir);
  EXPECT_EQ(db.RecordCount(), 0);
  EXPECT_TRUE(db.Eof());
}

TEST(PDBSQLDriver, CharactersBeyondSizeAreCutAndTheLengthWordFollows) {
  testsupport::TempDir dir;
  {
    TPDBSQLDriver db;
    db.Fields().Delete(0);
    Define(db, {{"RowID", PDInt}, {"S", PDChar}});
    pdbtest::PrepareWrite(db, dir);
    db.BeginAppend();
    db.Fields()[1].SetAsString("ABCDE\xC0");
    db.Post();
    db.Close();
  }
  EXPECT_EQ(pdbtest::RecordOf(dir.ReadBytes("db.pdb"), 1), B({0, 0, 0, 1, 0, 2, 0, 0x41, 0, 0x42}));
}

TEST(PDBSQLDriver, EveryTypeRoundTripsThroughAFile) {
  const std::vector<std::pair<std::string, TPDBSQLDriverFieldType>> fields = {
      {"C", PDChar}, {"S", PDShort}, {"I", PDInt}, {"L", PDLong}, {"F", PDFloat}, {"D", PDDouble}};
  auto define = [&](TPDBSQLDriver& db) {
    Define(db, fields);
    db.Fields()[1].SetSize(40);
  };
  auto fill = [](TPDBSQLDriver& db, int i) {
    auto& f = db.Fields();
    f[1].SetAsString(std::string(static_cast<std::size_t>(i * 13), '\xFE'));
    f[2].SetAsShort(static_cast<std::int16_t>(-32768 + i));
    f[3].SetAsInt(std::numeric_limits<std::int32_t>::max() - i);
    f[4].SetAsLong(std::numeric_limits<std::int64_t>::min() + i);  // beyond a double's digits
    f[5].SetAsFloat(0.125f * static_cast<float>(i));
    f[6].SetAsDouble(1e-300 * i);
  };
  testsupport::TempDir dir;
  {
    TPDBSQLDriver db;
    define(db);
    pdbtest::PrepareWrite(db, dir);
    for (int i = 0; i < 3; ++i) {
      db.BeginAppend();
      fill(db, i);
      db.Post();
    }
    db.Close();
  }
  TPDBSQLDriver expected;
  define(expected);
  TPDBSQLDriver db;
  define(db);
  pdbtest::PrepareRead(db, dir);
  int seen = 0;
  for (db.First(); !db.Eof(); db.Next(), ++seen) {
    fill(expected, seen);
    auto& f = db.Fields();
    auto& e = expected.Fields();
    EXPECT_EQ(f[0].AsInt(), seen + 1);
    EXPECT_EQ(f[1].AsString(), e[1].AsString());
    EXPECT_EQ(f[2].AsShort(), e[2].AsShort());
    EXPECT_EQ(f[3].AsInt(), e[3].AsInt());
    EXPECT_EQ(f[4].AsLong(), e[4].AsLong());
    EXPECT_EQ(f[5].AsFloat(), e[5].AsFloat());
    EXPECT_EQ(f[6].AsDouble(), e[6].AsDouble());
  }
  EXPECT_EQ(seen, 3);
}

TEST(PDBSQLDriver, SizeRulesAndTheOddSizeMessage) {
  testsupport::RecordingReporter reporter;
  TPDBSQLDriver db(&reporter);
  auto& field = db.Fields().Add();
  EXPECT_EQ(field.DataType(), PDChar);
  EXPECT_EQ(field.Size(), 2);
  field.SetSize(10);
  EXPECT_EQ(field.Size(), 10);
  field.SetSize(5);
  EXPECT_EQ(field.Size(), 2);
  ASSERT_EQ(reporter.entries.size(), 1u);
  EXPECT_EQ(reporter.entries[0].text, "Tamanho da String deve ser PAR!");
  for (int quiet : {0, -4, 65506}) {
    field.SetSize(10);
    field.SetSize(quiet);
    EXPECT_EQ(field.Size(), 2) << quiet;
  }
  field.SetSize(65504);
  EXPECT_EQ(field.Size(), 65504);
  EXPECT_EQ(reporter.entries.size(), 1u);
  field.SetDataType(PDLong);
  field.SetSize(7);
  EXPECT_EQ(field.Size(), 8);
  EXPECT_EQ(reporter.entries.size(), 1u);

  TPDBSQLDriver silent;  // without a reporter the message is not shown
  silent.Fields().Add().SetSize(3);
  EXPECT_EQ(silent.Fields()[1].Size(), 2);
}

TEST(PDBSQLDriver, FieldByNameAndRowIDFailures) {
  TPDBSQLDriver db;
  EXPECT_EQ(&db.FieldByName("ROWID"), &db.Fields()[0]);
  ExpectPDBError([&] { db.FieldByName("Other"); }, "There are no Fields with this name!", 2);
  db.Fields().Clear();
  ExpectPDBError([&] { db.FieldByName("RowID"); }, "There are no Fields in the structure!", 1);

  testsupport::TempDir dir;
  pdbtest::PrepareWrite(db, dir);
  Define(db, {{"Name", PDChar}});
  db.BeginAppend();
  ExpectPDBError([&] { db.Post(); }, "There are no Fields with this name!", 2);
  Define(db, {{"RowID", PDShort}});
  ExpectPDBError([&] { db.Post(); }, "Invalid DataType for this Field (Int)!", 1);
  EXPECT_EQ(db.RecordCount(), 0);
}

TEST(PDBSQLDriver, AccessorTypeRules) {
  TPDBSQLDriverField field;
  field.SetDataType(PDInt);
  ExpectPDBError([&] { (void)field.AsString(); }, "Invalid DataType for this Field (Char)!", 1);
  field.SetAsString("12");  // any type takes a text
  EXPECT_EQ(field.AsInt(), 12);
  EXPECT_EQ(field.AsDouble(), 12.0);
  ExpectPDBError([&] { field.SetAsDouble(1); }, "Invalid DataType for this Field (Double)!", 1);
  ExpectPDBError([&] { field.SetAsShort(1), (void)field.AsShort(); }, "Invalid DataType for this Field (Short)!", 1);
  field.SetDataType(PDChar);
  ExpectPDBError([&] { (void)field.AsDouble(); }, "Invalid DataType for this Field (Double)!", 1);
  ExpectPDBError([&] { field.SetAsFloat(1); }, "Invalid DataType for this Field (Float)!", 1);
  pdbtest::PortugueseMessages pt;
  ExpectPDBError([&] { field.SetAsLong(1); }, "Tipo de dado Inválido para este campo (Long)!", 1);
}

TEST(PDBSQLDriver, BeginAppendChecks) {
  testsupport::TempDir dir;
  TPDBSQLDriver db;
  ExpectPDBError([&] { db.BeginAppend(); }, "Database is not open!", 1);
  pdbtest::PrepareWrite(db, dir);
  db.Close();
  pdbtest::PrepareRead(db, dir);
  ExpectPDBError([&] { db.BeginAppend(); }, "Database is not open for write!", 2);
  db.Close();
  db.Fields().Clear();
  pdbtest::PrepareWrite(db, dir);
  ExpectPDBError([&] { db.BeginAppend(); }, "There are no fields specified in Database!", 3);
}

TEST(PDBSQLDriver, RecordsThatDoNotHoldTheirFieldsAreRefused) {
  for (const auto& record : {B({0, 0, 1}), B({0, 0, 0, 1, 0, 2, 0, 0x41}), B({0, 0, 0, 1})}) {
    testsupport::TempDir dir;
    pdbtest::FileSpec spec;
    spec.records = {B({0, 0, 0, 2}), record};  // the schema record is not read
    dir.WriteFile("in.pdb", pdbtest::BuildFile(spec));
    TPDBSQLDriver db;
    Define(db, {{"Name", PDChar}});
    ExpectPDBError([&] { pdbtest::PrepareRead(db, dir, "in.pdb"); },
                   "Record is not stored as detailed in Fields structure!", 1);
  }
}


// A data set over db.pdb in the directory, with the given engine.
void PrepareDataSet(TPDBDataSet& ds, const testsupport::TempDir& dir, TEngine engine) {
  ds.SetDirectory(dir.Str());
  ds.SetPDBFilename("db.pdb");
  ds.SetDatabaseName("TestDB");
  ds.SetCreatorID("PmOr");
  ds.SetDatabaseType("DATA");
  ds.SetEngine(engine);
}

TEST(PDBSQLDriverDataSet, EveryTypeRoundTripsThroughTheDataSet) {
  testsupport::TempDir dir;
  auto define = [](TPDBDataSet& ds) {
    for (const auto& [name, type] : std::vector<std::pair<std::string, TPDBSQLDriverFieldType>>{
             {"C", PDChar}, {"S", PDShort}, {"I", PDInt}, {"L", PDLong}, {"F", PDFloat}, {"D", PDDouble}}) {
      auto& item = ds.FieldsSQLDriver().Add();
      item.SetFieldName(name);
      item.SetDataType(type);
    }
    ds.FieldsSQLDriver()[0].SetSize(6);
  };
  constexpr std::int64_t kBig = std::numeric_limits<std::int64_t>::min() + 1;
  {
    TPDBDataSet ds;
    PrepareDataSet(ds, dir, TEngine::SWSQLDriver);
    define(ds);
    ds.Open();
    EXPECT_THROW(ds.FieldByName("RowID"), dataset::EDatabaseError);  // the engine's own field
    for (int i = 0; i < 3; ++i) {
      ds.Append();
      ds.FieldByName("C").AsString(std::string("row ") + static_cast<char>('A' + i));
      ds.FieldByName("S").AsInteger(-i);
      ds.FieldByName("I").AsInteger(100000 * i);
      ds.FieldByName("L").AsLargeInt(kBig + i);
      ds.FieldByName("F").AsFloat(0.5 * i);
      ds.FieldByName("D").AsFloat(-0.1 * i);
      ds.Post();
    }
    ds.Close();
  }
  // The schema record and three data records numbered 1 to 3.
  const auto file = dir.ReadBytes("db.pdb");
  ASSERT_EQ(core::LoadBE16(&file[76]), 4);
  EXPECT_EQ(core::LoadBE32(pdbtest::RecordOf(file, 0).data()), 4u);
  EXPECT_EQ(core::LoadBE16(pdbtest::RecordOf(file, 0).data() + 4), 7);
  for (std::size_t r = 1; r <= 3; ++r) EXPECT_EQ(core::LoadBE32(pdbtest::RecordOf(file, r).data()), r);

  TPDBDataSet ds;
  PrepareDataSet(ds, dir, TEngine::SWSQLDriver);
  define(ds);
  ds.Open();
  for (int i = 0; i < 3; ++i, ds.Next()) {
    SCOPED_TRACE(i);
    ASSERT_FALSE(ds.Eof());
    EXPECT_EQ(ds.FieldByName("C").AsString(), std::string("row ") + static_cast<char>('A' + i));
    EXPECT_EQ(ds.FieldByName("S").AsInteger(), -i);
    EXPECT_EQ(ds.FieldByName("I").AsInteger(), 100000 * i);
    EXPECT_EQ(ds.FieldByName("L").AsLargeInt(), kBig + i);
    EXPECT_EQ(ds.FieldByName("F").AsFloat(), 0.5 * i);
    EXPECT_EQ(ds.FieldByName("D").AsFloat(), -0.1 * i);
  }
  EXPECT_TRUE(ds.Eof());
}

}  // namespace
}  // namespace pdb
