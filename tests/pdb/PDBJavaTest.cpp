#include "pdb/PDBJava.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "PDBEngineTestSupport.h"
#include "pdb/PDBDataSet.h"
#include "core/NumberFormat.h"

namespace pdb {
namespace {

using pdbtest::B;
using pdbtest::ExpectPDBError;

core::TDateTime At(int y, int mo, int d, int h, int mi, int s, int ms = 0) {
  return core::TDateTime::FromParts({y, mo, d, h, mi, s, ms}).value();
}

void Define(TPDBJava& db, const std::vector<TPDBJavaFieldType>& types) {
  db.Fields().Clear();
  for (std::size_t i = 0; i < types.size(); ++i) {
    auto& field = db.Fields().Add();
    field.SetFieldName("F" + std::to_string(i));
    field.SetDataType(types[i]);
  }
}

// Writes one record with the given fields, set by `set`, and returns the file.
template <class Set>
core::Bytes WriteOne(const testsupport::TempDir& dir, const std::vector<TPDBJavaFieldType>& types, Set&& set,
                     const std::string& name = "TestDB") {
  TPDBJava db;
  Define(db, types);
  pdbtest::PrepareWrite(db, dir, "db.pdb", name);
  db.BeginAppend();
  set(db.Fields());
  db.Post();
  db.Close();
  return dir.ReadBytes("db.pdb");
}

TEST(PDBJava, StringsCarryTheirLength) {
  testsupport::TempDir dir;
  const auto file = WriteOne(dir, {JString, JString}, [](TPDBJavaFields& f) { f[0].SetAsString("AB"); });
  EXPECT_EQ(pdbtest::RecordOf(file, 0), B({0, 2, 0x41, 0x42, 0, 0}));
  TPDBJava db;
  Define(db, {JString, JString});
  pdbtest::PrepareRead(db, dir);
  EXPECT_EQ(db.Fields()[0].AsString(), "AB");
  EXPECT_EQ(db.Fields()[0].Raw(), B({0, 2, 0x41, 0x42}));
  EXPECT_EQ(db.Fields()[1].AsString(), "");
}

TEST(PDBJava, DatesCountMillisecondsSince1970WithoutTheirMilliseconds) {
  EXPECT_EQ(java::EncodeDate(At(1970, 1, 2, 0, 0, 0)), 86400000);
  EXPECT_EQ(java::EncodeDate(At(1970, 1, 2, 0, 0, 1, 500)), 86401000);
  EXPECT_EQ(java::EncodeDate(At(1969, 12, 31, 23, 59, 59)), -1000);
  EXPECT_EQ(java::EncodeDate(core::TDateTime()), 0);  // the empty date stays "no date"
  EXPECT_TRUE(java::DecodeDate(0).IsZero());
  EXPECT_EQ(java::DecodeDate(86401999), At(1970, 1, 2, 0, 0, 1));
  EXPECT_EQ(java::DecodeDate(-1500), At(1969, 12, 31, 23, 59, 58));
  EXPECT_THROW(java::EncodeDate(core::TDateTime(1e300)), core::EConvertError);
}

TEST(PDBJava, NameInTheHeaderAndInTheAppInfoBlock) {
  testsupport::TempDir dir;
  auto file = WriteOne(dir, {JInt}, [](TPDBJavaFields&) {}, "Orders");
  EXPECT_EQ(pdbtest::AppInfoOf(file), B({0, 0x4F, 0, 0x72, 0, 0x64, 0, 0x65, 0, 0x72, 0, 0x73}));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(file.data())), "Orders");

  // The header takes the trimmed name, the AppInfo block the name as it was set.
  file = WriteOne(dir, {JInt}, [](TPDBJavaFields&) {}, " Ab ");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(file.data())), "Ab");
  EXPECT_EQ(pdbtest::AppInfoOf(file), B({0, 0x20, 0, 0x41, 0, 0x62, 0, 0x20}));
}

TEST(PDBJava, CreatorSuffixIsCutFromTheHeaderName) {
  struct Case {
    const char* header;
    const char* name;
  };
  for (const auto& c : {Case{"Orders-PmOr", "Orders"}, Case{"Orders-PmOr-x", "Orders"}, Case{"Orders-Pm", "Orders-Pm"},
                        Case{"Orders", "Orders"}, Case{"-PmOr", ""}}) {
    SCOPED_TRACE(c.header);
    testsupport::TempDir dir;
    pdbtest::FileSpec spec;
    spec.name = c.header;
    dir.WriteFile("in.pdb", pdbtest::BuildFile(spec));
    TPDBJava db;
    Define(db, {JInt});
    pdbtest::PrepareRead(db, dir, "in.pdb");
    EXPECT_EQ(db.DatabaseName(), c.name);
  }
}

TEST(PDBJava, EveryTypeRoundTripsThroughAFile) {
  const std::vector<TPDBJavaFieldType> types = {JByte, JBoolean, JChar, JInt, JLong, JShort, JString, JDate};
  auto fill = [](TPDBJava& db, int i) {
    auto& f = db.Fields();
    f[0].SetAsByte(static_cast<std::uint8_t>(255 - i));
    f[1].SetAsBoolean(i % 2 == 0);
    f[2].SetAsChar(i == 0 ? "" : std::string(1, static_cast<char>('\xC0' + i)));
    f[3].SetAsInt(std::numeric_limits<std::int32_t>::min() + i);
    f[4].SetAsLong(std::numeric_limits<std::int64_t>::max() - i);  // beyond a double's digits
    f[5].SetAsShort(static_cast<std::int16_t>(-32768 + i));
    f[6].SetAsString(std::string(static_cast<std::size_t>(i * 300), 'z'));
    f[7].SetAsDate(i == 0 ? core::TDateTime() : At(1900 + 60 * i, 6, 15, 12, 30, 45));
  };
  testsupport::TempDir dir;
  {
    TPDBJava db;
    Define(db, types);
    pdbtest::PrepareWrite(db, dir);
    for (int i = 0; i < 3; ++i) {
      db.BeginAppend();
      fill(db, i);
      db.Post();
    }
    db.Close();
  }
  TPDBJava expected;
  Define(expected, types);
  TPDBJava db;
  Define(db, types);
  pdbtest::PrepareRead(db, dir);
  int seen = 0;
  for (db.First(); !db.Eof(); db.Next(), ++seen) {
    fill(expected, seen);
    auto& f = db.Fields();
    auto& e = expected.Fields();
    EXPECT_EQ(f[0].AsByte(), e[0].AsByte());
    EXPECT_EQ(f[1].AsBoolean(), e[1].AsBoolean());
    EXPECT_EQ(f[2].AsChar(), e[2].AsChar());
    EXPECT_EQ(f[3].AsInt(), e[3].AsInt());
    EXPECT_EQ(f[4].AsLong(), e[4].AsLong());
    EXPECT_EQ(f[5].AsShort(), e[5].AsShort());
    EXPECT_EQ(f[6].AsString(), e[6].AsString());
    EXPECT_EQ(f[7].AsDate(), e[7].AsDate());
  }
  EXPECT_EQ(seen, 3);
}

TEST(PDBJava, BooleansAndCharacters) {
  testsupport::TempDir dir;
  const auto file = WriteOne(dir, {JBoolean, JChar, JChar}, [](TPDBJavaFields& f) {
    f[0].SetAsBoolean(true);
    f[1].SetAsChar("A-ignored");
    f[2].SetAsString("Z");  // a text stands for its first character
  });
  EXPECT_EQ(pdbtest::RecordOf(file, 0), B({1, 0, 0x41, 0, 0x5A}));
}

TEST(PDBJava, AccessorTypeRules) {
  testsupport::TempDir dir;
  const auto file = WriteOne(dir, {JInt}, [](TPDBJavaFields& f) {
    f[0].SetAsShort(7);
    ExpectPDBError([&] { (void)f[0].AsShort(); }, "Invalid DataType for this Field (Short)!", 1);
  });
  EXPECT_EQ(pdbtest::RecordOf(file, 0), B({0, 0, 0, 7}));

  TPDBJavaField field;
  EXPECT_EQ(field.DataType(), JString);
  ExpectPDBError([&] { field.SetAsInt(1); }, "Invalid DataType for this Field (Int)!", 1);
  field.SetDataType(JByte);
  EXPECT_EQ(field.AsInt(), 0);
  ExpectPDBError([&] { (void)field.AsLong(); }, "Invalid DataType for this Field (Long)!", 1);
  ExpectPDBError([&] { (void)field.AsChar(); }, "Invalid DataType for this Field (Char)!", 1);
  ExpectPDBError([&] { field.SetAsBoolean(true); }, "Invalid DataType for this Field (Boolean)!", 1);
  pdbtest::PortugueseMessages pt;
  ExpectPDBError([&] { (void)field.AsDate(); }, "Tipo de dado Inválido para este campo (Date)!", 1);
}

TEST(PDBJava, StringsLongerThanTheirLengthWordAreRefused) {
  testsupport::TempDir dir;
  TPDBJava db;
  Define(db, {JString});
  pdbtest::PrepareWrite(db, dir);
  db.BeginAppend();
  db.Fields()[0].SetAsString(std::string(65536, 'x'));
  ExpectPDBError([&] { db.Post(); }, "String field longer than 65535 bytes!", 4);
  EXPECT_EQ(db.RecordCount(), 0);
  db.Fields()[0].SetAsString(std::string(65535, 'x'));
  db.Post();
  EXPECT_EQ(db.RecordCount(), 1);
}

TEST(PDBJava, BeginAppendChecks) {
  testsupport::TempDir dir;
  TPDBJava db;
  ExpectPDBError([&] { db.BeginAppend(); }, "Database is not open!", 1);
  pdbtest::PrepareWrite(db, dir);
  ExpectPDBError([&] { db.BeginAppend(); }, "There are no fields specified in Database!", 3);
  db.Close();
  Define(db, {JInt});
  pdbtest::PrepareRead(db, dir);
  ExpectPDBError([&] { db.BeginAppend(); }, "Database is not open for write!", 2);
}

TEST(PDBJava, RecordsThatDoNotHoldTheirFieldsAreRefused) {
  struct Case {
    const char* what;
    core::Bytes record;
    std::vector<TPDBJavaFieldType> types;
  };
  const std::vector<Case> cases = {
      {"length word cut", B({0}), {JString}},
      {"text runs past the end", B({0, 5, 'a', 'b'}), {JString}},
      {"date cut", B({0, 0, 0, 0, 0, 0, 1}), {JDate}},
      {"nothing left for the second field", B({0, 1}), {JShort, JBoolean}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::TempDir dir;
    pdbtest::FileSpec spec;
    spec.records = {c.record};
    dir.WriteFile("in.pdb", pdbtest::BuildFile(spec));
    TPDBJava db;
    Define(db, c.types);
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

TEST(PDBJavaDataSet, EveryTypeRoundTripsThroughTheDataSet) {
  testsupport::TempDir dir;
  const std::vector<TPDBJavaFieldType> types = {JByte, JBoolean, JChar, JInt, JLong, JShort, JString, JDate};
  auto define = [&](TPDBDataSet& ds) {
    for (std::size_t i = 0; i < types.size(); ++i) {
      auto& item = ds.FieldsJava().Add();
      item.SetFieldName("F" + std::to_string(i));
      item.SetDataType(types[i]);
    }
  };
  const auto when = At(1999, 12, 31, 23, 59, 59);
  constexpr std::int64_t kBig = std::numeric_limits<std::int64_t>::max() - 1;
  {
    TPDBDataSet ds;
    PrepareDataSet(ds, dir, TEngine::Java);
    define(ds);
    ds.Open();
    for (int i = 0; i < 2; ++i) {
      ds.Append();
      ds.FieldByName("F0").AsInteger(7 + i);
      ds.FieldByName("F1").AsBoolean(i == 0);
      ds.FieldByName("F2").AsString(i == 0 ? "Q" : "");
      ds.FieldByName("F3").AsInteger(-5 - i);
      ds.FieldByName("F4").AsLargeInt(kBig - i);
      ds.FieldByName("F5").AsInteger(-32768 + i);
      ds.FieldByName("F6").AsString(i == 0 ? "long text" : "");
      if (i == 0) ds.FieldByName("F7").AsDateTime(when);
      ds.Post();
    }
    ds.Close();
  }
  TPDBDataSet ds;
  PrepareDataSet(ds, dir, TEngine::Java);
  define(ds);
  ds.Open();
  for (int i = 0; i < 2; ++i, ds.Next()) {
    SCOPED_TRACE(i);
    ASSERT_FALSE(ds.Eof());
    EXPECT_EQ(ds.FieldByName("F0").AsInteger(), 7 + i);
    EXPECT_EQ(ds.FieldByName("F1").AsBoolean(), i == 0);
    EXPECT_EQ(ds.FieldByName("F2").AsString(), i == 0 ? "Q" : "");
    EXPECT_EQ(ds.FieldByName("F3").AsInteger(), -5 - i);
    EXPECT_EQ(ds.FieldByName("F4").AsLargeInt(), kBig - i);  // every digit kept
    EXPECT_EQ(ds.FieldByName("F5").AsInteger(), -32768 + i);
    EXPECT_EQ(ds.FieldByName("F6").AsString(), i == 0 ? "long text" : "");
    EXPECT_EQ(ds.FieldByName("F7").AsDateTime(), i == 0 ? when : core::TDateTime());
  }
  EXPECT_TRUE(ds.Eof());
}

}  // namespace
}  // namespace pdb

// A damaged record can hold any 64-bit millisecond count; the extremes decode without overflow.
TEST(PDBJavaDates, ExtremeCountsDecodeWithoutOverflow) {
  EXPECT_FALSE(pdb::java::DecodeDate(std::numeric_limits<std::int64_t>::min()).IsZero());
  EXPECT_FALSE(pdb::java::DecodeDate(std::numeric_limits<std::int64_t>::max()).IsZero());
}
