#include "pdb/PDBNSBasic.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PDBEngineTestSupport.h"
#include "pdb/PDBDataSet.h"
#include "core/NumberFormat.h"

namespace pdb {
namespace {

using pdbtest::B;
using pdbtest::ExpectPDBError;

core::TDateTime Date(int y, int m, int d) { return core::TDateTime::FromDate(y, m, d).value(); }

void Define(TPDBNSBasic& db, const std::vector<TPDBNSBFieldType>& types) {
  db.Fields().Clear();
  for (std::size_t i = 0; i < types.size(); ++i) {
    auto& field = db.Fields().Add();
    field.SetFieldName("F" + std::to_string(i));
    field.SetDataType(types[i]);
  }
}

// Opens a file holding one record with the given field list.
void OpenRecord(TPDBNSBasic& db, const testsupport::TempDir& dir, core::Bytes record,
                const std::vector<TPDBNSBFieldType>& types) {
  pdbtest::FileSpec spec;
  spec.records = {std::move(record)};
  dir.WriteFile("in.pdb", pdbtest::BuildFile(spec));
  Define(db, types);
  pdbtest::PrepareRead(db, dir, "in.pdb");
}

TEST(PDBNSBasic, IntegerAndStringEncodeToTheDocumentedBytes) {
  testsupport::TempDir dir;
  {
    TPDBNSBasic db;
    Define(db, {NSBInteger, NSBString});
    pdbtest::PrepareWrite(db, dir);
    db.BeginAppend();
    db.Fields()[0].SetAsInteger(1);
    db.Fields()[1].SetAsString("X");
    db.Post();
    db.Close();
  }
  EXPECT_EQ(pdbtest::RecordOf(dir.ReadBytes("db.pdb"), 0), B({0, 0, 0, 1, 0x58, 0}));
}

TEST(PDBNSBasic, TextsEndAtTheirFirstZeroByte) {
  // A zero byte inside a text would end the field early and shift the fields after it.
  testsupport::TempDir dir;
  {
    TPDBNSBasic db;
    Define(db, {NSBString, NSBShort});
    pdbtest::PrepareWrite(db, dir);
    db.BeginAppend();
    db.Fields()[0].SetAsString(std::string("ab\0cd", 5));
    db.Fields()[1].SetAsShort(3);
    db.Post();
    db.Close();
  }
  EXPECT_EQ(pdbtest::RecordOf(dir.ReadBytes("db.pdb"), 0), B({'a', 'b', 0, 0, 3}));
}

TEST(PDBNSBasic, DateAndTimeNumbers) {
  struct Case {
    core::TDateTime date;
    double stored;
  };
  for (const auto& c : {Case{Date(1998, 3, 5), 980305}, Case{Date(1999, 12, 31), 991231},
                        Case{Date(2005, 1, 1), 1050101}, Case{Date(9999, 12, 31), 80991231},
                        Case{Date(1899, 12, 31), -8769}, Case{Date(1850, 6, 15), -499385},
                        Case{Date(1, 1, 1), -18989899}}) {
    SCOPED_TRACE(c.stored);
    EXPECT_EQ(nsb::EncodeDate(c.date), c.stored);
    EXPECT_EQ(nsb::DecodeDate(c.stored), c.date);
  }
  EXPECT_EQ(nsb::EncodeDate(core::TDateTime()), 0.0);  // the empty date stays "no date"
  EXPECT_TRUE(nsb::DecodeDate(0).IsZero());
  EXPECT_TRUE(nsb::DecodeDate(1050231).IsZero());  // 31 February
  EXPECT_TRUE(nsb::DecodeDate(-5).IsZero());
  EXPECT_TRUE(nsb::DecodeDate(1e300).IsZero());
  EXPECT_EQ(nsb::EncodeTime(core::TDateTime::FromTime(14, 35, 59, 700).value()), 143559.0);
  EXPECT_EQ(nsb::DecodeTime(143559), core::TDateTime::FromTime(14, 35, 59).value());
  for (double bad : {246000.0, 6000.0, -1.0, 1e300}) {
    SCOPED_TRACE(bad);
    try {
      nsb::DecodeTime(bad);
      ADD_FAILURE() << "no exception";
    } catch (const core::EConvertError& e) {
      EXPECT_STREQ(e.what(), "Invalid argument to time encode");
    }
  }
}

TEST(PDBNSBasic, FixedStringsArePaddedAndCut) {
  struct Case {
    const char* text;
    std::size_t size;
    const char* decoded;
  };
  for (const auto& c : {Case{"ABC", 10, "ABC"}, Case{"ABCDEFGHIJKL", 10, "ABCDEFGHIJ"}, Case{"", 3, ""}}) {
    SCOPED_TRACE(c.text);
    testsupport::TempDir dir;
    {
      TPDBNSBasic db;
      Define(db, {NSBString});
      db.Fields()[0].SetSize(static_cast<std::int32_t>(c.size));
      pdbtest::PrepareWrite(db, dir);
      db.BeginAppend();
      db.Fields()[0].SetAsString(c.text);
      db.Post();
      db.Close();
    }
    const auto record = pdbtest::RecordOf(dir.ReadBytes("db.pdb"), 0);
    EXPECT_EQ(record.size(), c.size + 1);
    EXPECT_EQ(record.back(), 0);
    TPDBNSBasic db;
    Define(db, {NSBString});
    db.Fields()[0].SetSize(static_cast<std::int32_t>(c.size));
    pdbtest::PrepareRead(db, dir);
    EXPECT_EQ(db.Fields()[0].AsString(), c.decoded);
    EXPECT_EQ(db.Fields()[0].Raw().size(), c.size + 1);
  }
}

TEST(PDBNSBasic, EveryTypeRoundTripsThroughAFile) {
  const std::vector<TPDBNSBFieldType> types = {NSBByte,   NSBShort, NSBInteger, NSBFloat, NSBSingle,
                                               NSBDouble, NSBDate,  NSBTime,    NSBString};
  auto fill = [](TPDBNSBasic& db, int i) {
    auto& f = db.Fields();
    f[0].SetAsByte(static_cast<std::uint8_t>(200 + i));
    f[1].SetAsShort(static_cast<std::int16_t>(-3000 * i));
    f[2].SetAsInteger(-70000 * i);
    f[3].SetAsFloat(1.0 / (i + 3));
    f[4].SetAsSingle(0.25f * static_cast<float>(i));
    f[5].SetAsFloat(-1e100 * i);
    f[6].SetAsDate(i == 0 ? core::TDateTime() : Date(1950 + 20 * i, 2, 28));
    f[7].SetAsTime(core::TDateTime::FromTime(23 - i, 59, 58).value());
    f[8].SetAsString(std::string(static_cast<std::size_t>(i * 7), 'q') + "\xC0\xFF");
  };
  testsupport::TempDir dir;
  {
    TPDBNSBasic db;
    Define(db, types);
    pdbtest::PrepareWrite(db, dir);
    for (int i = 0; i < 3; ++i) {
      db.BeginAppend();
      fill(db, i);
      db.Post();
    }
    db.Close();
  }
  TPDBNSBasic expected;
  Define(expected, types);
  TPDBNSBasic db;
  Define(db, types);
  pdbtest::PrepareRead(db, dir);
  ASSERT_EQ(db.RecordCount(), 3);
  int seen = 0;
  for (db.First(); !db.Eof(); db.Next(), ++seen) {
    fill(expected, seen);
    auto& f = db.Fields();
    auto& e = expected.Fields();
    EXPECT_EQ(f[0].AsByte(), e[0].AsByte());
    EXPECT_EQ(f[1].AsShort(), e[1].AsShort());
    EXPECT_EQ(f[2].AsInteger(), e[2].AsInteger());
    EXPECT_EQ(f[3].AsFloat(), e[3].AsFloat());
    EXPECT_EQ(f[4].AsSingle(), e[4].AsSingle());
    EXPECT_EQ(f[5].AsFloat(), e[5].AsFloat());
    EXPECT_EQ(f[6].AsDate(), e[6].AsDate());
    EXPECT_EQ(f[7].AsTime(), e[7].AsTime());
    EXPECT_EQ(f[8].AsString(), e[8].AsString());
  }
  EXPECT_EQ(seen, 3);
}

TEST(PDBNSBasic, AccessorTypeRules) {
  TPDBNSBField field;
  field.SetDataType(NSBDate);
  field.SetAsDate(Date(2005, 1, 1));
  EXPECT_EQ(field.AsFloat(), Date(2005, 1, 1).Days());  // the date-time number
  ExpectPDBError([&] { field.SetAsFloat(3.5); }, "Invalid DataType for this Field (Float)!", 1);
  EXPECT_EQ(field.AsDate(), Date(2005, 1, 1));  // a failed setter leaves the value

  field.SetDataType(NSBFloat);
  ExpectPDBError([&] { (void)field.AsDate(); }, "Invalid DataType for this Field (Date)!", 1);
  ExpectPDBError([&] { (void)field.AsSingle(); }, "Invalid DataType for this Field (Single)!", 1);
  field.SetAsShort(-7);  // accepted on the reals
  EXPECT_EQ(field.AsFloat(), -7.0);

  field.SetDataType(NSBByte);
  EXPECT_EQ(field.AsShort(), 0);
  ExpectPDBError([&] { field.SetAsShort(1); }, "Invalid DataType for this Field (short)!", 1);
  {
    pdbtest::PortugueseMessages pt;
    ExpectPDBError([&] { field.SetAsShort(1); }, "Tipo de dado Inválido para este campo (Short)!", 1);
    ExpectPDBError([&] { field.SetAsInteger(1); }, "Tipo de dado Inválido para este campo (Integer)!", 1);
  }
  field.SetDataType(NSBString);
  ExpectPDBError([&] { (void)field.AsFloat(); }, "Invalid DataType for this Field (Float)!", 1);
  ExpectPDBError([&] { (void)field.AsTime(); }, "Invalid DataType for this Field (Time)!", 1);
}

TEST(PDBNSBasic, SizeRules) {
  TPDBNSBField field;
  EXPECT_EQ(field.DataType(), NSBString);
  EXPECT_EQ(field.Size(), 0);
  field.SetSize(65505);
  EXPECT_EQ(field.Size(), 65505);
  ExpectPDBError([&] { field.SetSize(65506); }, "Invalid Size for this Field!", 1);
  field.SetDataType(NSBShort);
  field.SetSize(100);
  EXPECT_EQ(field.Size(), 2);
}

TEST(PDBNSBasic, BeginAppendChecks) {
  testsupport::TempDir dir;
  TPDBNSBasic db;
  ExpectPDBError([&] { db.BeginAppend(); }, "Database is not open!", 1);
  pdbtest::PrepareWrite(db, dir);
  ExpectPDBError([&] { db.BeginAppend(); }, "There are no fields specified in Database!", 3);
  db.Close();
  TPDBNSBasic reader;
  pdbtest::PrepareRead(reader, dir);
  ExpectPDBError([&] { reader.BeginAppend(); }, "Database is not open for write!", 2);
}

TEST(PDBNSBasic, RecordsThatDoNotHoldTheirFieldsAreRefused) {
  struct Case {
    const char* what;
    core::Bytes record;
    std::vector<TPDBNSBFieldType> types;
    std::int32_t stringSize;
  };
  const std::vector<Case> cases = {
      {"empty record", {}, {NSBByte}, 0},
      {"ends inside an integer", B({0, 0, 1}), {NSBInteger}, 0},
      {"ends inside a double after a byte", B({7, 0x40, 0, 0}), {NSBByte, NSBDouble}, 0},
      {"string without terminator", B({0x41, 0x42}), {NSBString}, 0},
      {"nothing left for the string", B({0, 1}), {NSBShort, NSBString}, 0},
      {"fixed string runs past the end", B({0x41, 0x42, 0x43, 0}), {NSBString}, 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::TempDir dir;
    pdbtest::FileSpec spec;
    spec.records = {c.record};
    dir.WriteFile("in.pdb", pdbtest::BuildFile(spec));
    TPDBNSBasic db;
    Define(db, c.types);
    if (c.stringSize) db.Fields()[0].SetSize(c.stringSize);
    // The first record is read by Open, which then leaves the database closed.
    ExpectPDBError([&] { pdbtest::PrepareRead(db, dir, "in.pdb"); },
                   "Record is not stored as detailed in Fields structure!", 1);
    EXPECT_FALSE(db.IsOpen());
  }
  // A bad record further on fails the move onto it.
  testsupport::TempDir dir;
  pdbtest::FileSpec spec;
  spec.records = {B({0, 0, 0, 1}), B({0, 0, 1})};
  dir.WriteFile("in.pdb", pdbtest::BuildFile(spec));
  TPDBNSBasic db;
  Define(db, {NSBInteger});
  pdbtest::PrepareRead(db, dir, "in.pdb");
  EXPECT_EQ(db.Fields()[0].AsInteger(), 1);
  ExpectPDBError([&] { db.Next(); }, "Record is not stored as detailed in Fields structure!", 1);
}

TEST(PDBNSBasic, ExtraBytesAfterTheFieldsAreIgnored) {
  testsupport::TempDir dir;
  TPDBNSBasic db;
  OpenRecord(db, dir, B({0xFF, 0xFE, 1, 2, 3, 4, 5, 6, 7, 8}), {NSBShort});
  EXPECT_EQ(db.Fields()[0].AsShort(), -2);
  EXPECT_EQ(db.Fields()[0].Raw(), B({0xFF, 0xFE}));
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

TEST(PDBNSBasicDataSet, EveryTypeRoundTripsThroughTheDataSet) {
  testsupport::TempDir dir;
  const std::vector<TPDBNSBFieldType> types = {NSBByte,   NSBShort, NSBInteger, NSBFloat, NSBSingle,
                                               NSBDouble, NSBDate,  NSBTime,    NSBString};
  auto define = [&](TPDBDataSet& ds) {
    for (std::size_t i = 0; i < types.size(); ++i) {
      auto& item = ds.FieldsNSBasic().Add();
      item.SetFieldName("F" + std::to_string(i));
      item.SetDataType(types[i]);
    }
  };
  const auto when = core::TDateTime::FromParts({2005, 1, 1, 13, 45, 30, 0}).value();
  {
    TPDBDataSet ds;
    PrepareDataSet(ds, dir, TEngine::NSBasic);
    define(ds);
    ds.Open();
    ds.Append();
    ds.FieldByName("F0").AsInteger(200);
    ds.FieldByName("F1").AsInteger(-300);
    ds.FieldByName("F2").AsInteger(-70000);
    ds.FieldByName("F3").AsFloat(0.1);
    ds.FieldByName("F4").AsFloat(0.25);
    ds.FieldByName("F5").AsFloat(-1e100);
    ds.FieldByName("F6").AsDateTime(when);
    ds.FieldByName("F7").AsDateTime(when);
    ds.FieldByName("F8").AsString("Text\xC0");
    ds.Post();
    ds.Close();
  }
  // The engine reads the file the data set wrote.
  TPDBNSBasic db;
  Define(db, types);
  pdbtest::PrepareRead(db, dir);
  EXPECT_EQ(db.Fields()[6].AsDate(), Date(2005, 1, 1));
  EXPECT_EQ(db.Fields()[8].AsString(), "Text\xC0");
  db.Close();

  TPDBDataSet ds;
  PrepareDataSet(ds, dir, TEngine::NSBasic);
  define(ds);
  ds.Open();
  ASSERT_FALSE(ds.Eof());
  EXPECT_EQ(ds.FieldByName("F0").AsInteger(), 200);
  EXPECT_EQ(ds.FieldByName("F1").AsInteger(), -300);
  EXPECT_EQ(ds.FieldByName("F2").AsInteger(), -70000);
  EXPECT_EQ(ds.FieldByName("F3").AsFloat(), 0.1);
  EXPECT_EQ(ds.FieldByName("F4").AsFloat(), 0.25);
  EXPECT_EQ(ds.FieldByName("F5").AsFloat(), -1e100);
  EXPECT_EQ(ds.FieldByName("F6").AsDateTime(), Date(2005, 1, 1));  // a date keeps no time
  EXPECT_EQ(ds.FieldByName("F7").AsDateTime(), core::TDateTime::FromTime(13, 45, 30).value());
  EXPECT_EQ(ds.FieldByName("F8").AsString(), "Text\xC0");
  ds.Next();
  EXPECT_TRUE(ds.Eof());
}

}  // namespace
}  // namespace pdb
