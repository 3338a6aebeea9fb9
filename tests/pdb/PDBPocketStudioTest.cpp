#include "pdb/PDBPocketStudio.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PDBTestFiles.h"
#include "core/NumberFormat.h"
#include "support/TempDir.h"

namespace pdb {
namespace {

using pdbtest::B;
using pdbtest::BuildFile;
using pdbtest::ExpectPDBError;
using pdbtest::FileSpec;

core::TDateTime Date(int y, int m, int d) { return core::TDateTime::FromDate(y, m, d).value(); }
core::TDateTime At(int y, int mo, int d, int h, int mi, int s) {
  return core::TDateTime::FromParts({y, mo, d, h, mi, s, 0}).value();
}

void Define(TPDBPocketStudio& db, const std::vector<TPDBPSFieldType>& types) {
  db.Fields().Clear();
  for (std::size_t i = 0; i < types.size(); ++i) {
    auto& field = db.Fields().Add();
    field.SetFieldName("F" + std::to_string(i));
    field.SetDataType(types[i]);
  }
}

void PrepareWrite(TPDBPocketStudio& db, const testsupport::TempDir& dir, const std::string& file = "ps.pdb") {
  db.SetDirectory(dir.Str());
  db.SetPDBFilename(file);
  db.SetDatabaseName("PSTest");
  db.SetCreatorID("PmOr");
  db.SetDatabaseType("DATA");
  db.SetOpenMode(dmModeWriteOnly);
  db.CreateDatabase();
}

void PrepareRead(TPDBPocketStudio& db, const testsupport::TempDir& dir, const std::string& file = "ps.pdb") {
  db.SetOpenMode(dmModeReadOnly);
  db.SetDirectory(dir.Str());
  db.SetPDBFilename(file);
  db.Open();
}

// The record bytes of the only record of a file written by the engine.
core::Bytes OnlyRecord(const testsupport::TempDir& dir, const std::string& file = "ps.pdb") {
  const auto bytes = dir.ReadBytes(file);
  EXPECT_EQ(core::LoadBE16(&bytes[76]), 1);
  return core::Bytes(bytes.begin() + 88, bytes.end());
}

// A file with the given records, read back with the given field types.
void ReadRecords(TPDBPocketStudio& db, const testsupport::TempDir& dir, std::vector<core::Bytes> records,
                 const std::vector<TPDBPSFieldType>& types) {
  FileSpec spec;
  spec.records = std::move(records);
  dir.WriteFile("in.pdb", BuildFile(spec));
  Define(db, types);
  PrepareRead(db, dir, "in.pdb");
}

TEST(PDBPocketStudioCodec, FifteenByteRecordRoundTrip) {
  testsupport::TempDir dir;
  {
    TPDBPocketStudio db;
    Define(db, {PSInt16, PSString, PSBoolean, PSDouble});
    PrepareWrite(db, dir);
    db.BeginAppend();
    db.Fields()[0].SetAsInt16(-2);
    db.Fields()[1].SetAsString("abc");
    db.Fields()[2].SetAsBoolean(true);
    db.Fields()[3].SetAsDouble(1.5);
    db.Post();
    db.Close();
  }
  EXPECT_EQ(OnlyRecord(dir), B({0xFF, 0xFE, 0x61, 0x62, 0x63, 0x00, 0xFF, 0x3F, 0xF8, 0, 0, 0, 0, 0, 0}));

  TPDBPocketStudio db;
  Define(db, {PSInt16, PSString, PSBoolean, PSDouble});
  PrepareRead(db, dir);
  EXPECT_EQ(db.Fields()[0].AsInt16(), -2);
  EXPECT_EQ(db.Fields()[1].AsString(), "abc");
  EXPECT_EQ(db.Fields()[1].Raw(), B({0x61, 0x62, 0x63, 0x00}));
  EXPECT_TRUE(db.Fields()[2].AsBoolean());
  EXPECT_EQ(db.Fields()[3].AsDouble(), 1.5);
  EXPECT_EQ(db.CurrentRecord().size(), 15u);
}

TEST(PDBPocketStudioCodec, StringsArePaddedOrCutAndEndAtTheirFirstZeroByte) {
  using namespace std::string_literals;
  struct Case {
    std::int32_t size;
    std::string text;
    core::Bytes encoded;  // followed by a PSInt16 field holding 7
    std::string decoded;
  };
  for (const auto& c : {Case{4, "ab", B({0x61, 0x62, 0, 0, 0}), "ab"},
                        Case{4, "abcdef", B({0x61, 0x62, 0x63, 0x64, 0}), "abcd"},
                        Case{4, "", B({0, 0, 0, 0, 0}), ""},
                        Case{4, "a\0bcdef"s, B({0x61, 0, 0, 0, 0}), "a"},
                        Case{0, "ab\0cd"s, B({0x61, 0x62, 0}), "ab"}}) {
    SCOPED_TRACE(c.decoded);
    testsupport::TempDir dir;
    {
      TPDBPocketStudio db;
      Define(db, {PSString, PSInt16});
      db.Fields()[0].SetSize(c.size);
      PrepareWrite(db, dir);
      db.BeginAppend();
      db.Fields()[0].SetAsString(c.text);
      db.Fields()[1].SetAsInt16(7);
      db.Post();
      db.Close();
    }
    auto expected = c.encoded;
    expected.insert(expected.end(), {0, 7});
    EXPECT_EQ(OnlyRecord(dir), expected);
    TPDBPocketStudio db;
    Define(db, {PSString, PSInt16});
    db.Fields()[0].SetSize(c.size);
    PrepareRead(db, dir);
    EXPECT_EQ(db.Fields()[0].AsString(), c.decoded);
    EXPECT_EQ(db.Fields()[0].Raw().size(), c.encoded.size());
    EXPECT_EQ(db.Fields()[1].AsInt16(), 7);
  }
}

TEST(PDBPocketStudioCodec, DateWords) {
  EXPECT_EQ(ps::EncodeDate(Date(2005, 3, 15)), 0xCA6F);
  EXPECT_EQ(ps::EncodeDate(Date(1903, 12, 31)), 0);
  EXPECT_EQ(ps::EncodeDate(At(2005, 3, 15, 23, 59, 0)), 0xCA6F);  // the time of day is dropped
  EXPECT_EQ(ps::EncodeDate(Date(2032, 1, 1)), ps::EncodeDate(Date(1904, 1, 1)));  // 7 bits of year
  EXPECT_TRUE(ps::DecodeDate(0x0000).IsZero());
  EXPECT_EQ(ps::DecodeDate(0x1A3F), Date(1917, 1, 31));
  EXPECT_TRUE(ps::DecodeDate(0x1A5F).IsZero());             // 31 February
  EXPECT_TRUE(ps::DecodeDate(0x1A00 | (13 << 5) | 1).IsZero());  // month 13
  EXPECT_TRUE(ps::DecodeDate(0x1A20).IsZero());             // day 0
}

TEST(PDBPocketStudioCodec, TimeWords) {
  EXPECT_EQ(ps::EncodeTime(At(2001, 2, 3, 14, 35, 59)), 0x0E23);
  EXPECT_EQ(ps::DecodeTime(0x0E23), core::TDateTime::FromTime(14, 35, 0).value());
  try {
    ps::DecodeTime(0xFFFF);
    ADD_FAILURE() << "no exception";
  } catch (const core::EConvertError& e) {
    EXPECT_STREQ(e.what(), "Invalid argument to time encode");
  }
  EXPECT_THROW(ps::DecodeTime(0x1800), core::EConvertError);  // hour 24
  EXPECT_THROW(ps::DecodeTime(0x003C), core::EConvertError);  // minute 60
}

TEST(PDBPocketStudioCodec, EveryTypeRoundTripsThroughAFile) {
  const std::vector<TPDBPSFieldType> types = {PSBoolean, PSInt8,   PSInt16,  PSInt32, PSUInt8, PSUInt16, PSUInt32,
                                              PSDate,    PSTime,   PSDateTime, PSString, PSSingle, PSDouble, PSBinary};
  auto fill = [](TPDBPocketStudio& db, int i) {
    auto& f = db.Fields();
    f[0].SetAsBoolean(i % 2 == 0);
    f[1].SetAsInt8(static_cast<std::int8_t>(-i));
    f[2].SetAsInt16(static_cast<std::int16_t>(-1000 * i));
    f[3].SetAsInt32(-100000 * i);
    f[4].SetAsUInt8(static_cast<std::uint8_t>(200 + i % 50));
    f[5].SetAsUInt16(static_cast<std::uint16_t>(60000 + i));
    f[6].SetAsUInt32(4000000000u + static_cast<std::uint32_t>(i));
    f[7].SetAsDate(Date(2000 + i % 30, 1 + i % 12, 1 + i % 28));
    f[8].SetAsTime(core::TDateTime::FromTime(i % 24, i % 60, 0).value());
    f[9].SetAsDateTime(At(1990 + i % 40, 1 + i % 12, 1 + i % 28, i % 24, i % 60, i % 60));
    f[10].SetAsString(std::string(static_cast<std::size_t>(i % 40), static_cast<char>('a' + i % 26)) + "\xC0\xFF");
    f[11].SetAsSingle(0.25f * static_cast<float>(i));
    f[12].SetAsDouble(-1.0 / (i + 1));
    f[13].SetRaw(core::Bytes(static_cast<std::size_t>(i % 7), static_cast<std::uint8_t>(i)));
  };
  for (int count : {0, 1, 300}) {
    SCOPED_TRACE(count);
    testsupport::TempDir dir;
    {
      TPDBPocketStudio db;
      Define(db, types);
      PrepareWrite(db, dir);
      for (int i = 0; i < count; ++i) {
        db.BeginAppend();
        fill(db, i);
        db.Post();
      }
      EXPECT_EQ(db.RecordCount(), count);
      db.Close();
    }
    TPDBPocketStudio expected;
    Define(expected, types);
    TPDBPocketStudio db;
    Define(db, types);
    PrepareRead(db, dir);
    EXPECT_EQ(db.RecordCount(), count);
    int seen = 0;
    for (db.First(); !db.Eof(); db.Next(), ++seen) {
      fill(expected, seen);
      auto& f = db.Fields();
      auto& e = expected.Fields();
      EXPECT_EQ(f[0].AsBoolean(), e[0].AsBoolean());
      EXPECT_EQ(f[1].AsInt8(), e[1].AsInt8());
      EXPECT_EQ(f[2].AsInt16(), e[2].AsInt16());
      EXPECT_EQ(f[3].AsInt32(), e[3].AsInt32());
      EXPECT_EQ(f[4].AsUInt8(), e[4].AsUInt8());
      EXPECT_EQ(f[5].AsUInt16(), e[5].AsUInt16());
      EXPECT_EQ(f[6].AsUInt32(), e[6].AsUInt32());
      EXPECT_EQ(f[7].AsDate(), e[7].AsDate());
      EXPECT_EQ(f[8].AsTime(), e[8].AsTime());
      EXPECT_EQ(f[9].AsDateTime().ToPalmSeconds(), e[9].AsDateTime().ToPalmSeconds());
      EXPECT_EQ(f[10].AsString(), e[10].AsString());
      EXPECT_EQ(f[11].AsSingle(), e[11].AsSingle());
      EXPECT_EQ(f[12].AsDouble(), e[12].AsDouble());
      EXPECT_EQ(f[13].Raw(), e[13].Raw());
      EXPECT_EQ(f[13].AsString(), "0");
    }
    EXPECT_EQ(seen, count);
    db.Close();
  }
}

TEST(PDBPocketStudioCodec, DateTimeAndUnsignedEncodings) {
  testsupport::TempDir dir;
  {
    TPDBPocketStudio db;
    Define(db, {PSDateTime, PSDateTime, PSUInt32, PSInt8});
    PrepareWrite(db, dir);
    db.BeginAppend();
    db.Fields()[0].SetAsDateTime(At(1904, 1, 1, 0, 0, 1));
    db.Fields()[1].SetAsDateTime(At(1903, 12, 31, 23, 0, 0));
    db.Fields()[2].SetAsUInt32(0xFFFFFFFFu);
    db.Fields()[3].SetAsString("300");  // keeps the low 8 bits
    db.Post();
    db.Close();
  }
  EXPECT_EQ(OnlyRecord(dir), B({0, 0, 0, 1, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0x2C}));
  TPDBPocketStudio db;
  Define(db, {PSDateTime, PSDateTime, PSUInt32, PSInt8});
  PrepareRead(db, dir);
  EXPECT_EQ(db.Fields()[0].AsDateTime(), core::TDateTime::FromPalmSeconds(1));
  EXPECT_TRUE(db.Fields()[1].AsDateTime().IsZero());
  EXPECT_EQ(db.Fields()[2].AsDouble(), 4294967295.0);
  EXPECT_EQ(db.Fields()[2].AsUInt32(), 0xFFFFFFFFu);
  EXPECT_EQ(db.Fields()[3].AsInt8(), 44);
}

TEST(PDBPocketStudioCodec, ShortRecordsFailAndCloseTheDatabase) {
  testsupport::TempDir dir;
  {
    // The first record is decoded while opening.
    TPDBPocketStudio db;
    ReadRecords(db, dir, {}, {PSInt32});
    db.Close();
    FileSpec spec;
    spec.records = {B({1, 2, 3})};
    dir.WriteFile("in.pdb", BuildFile(spec));
    ExpectPDBError([&] { db.Open(); }, "Record is not stored as detailed in Fields structure!", 1);
    EXPECT_FALSE(db.IsOpen());
  }
  struct Case {
    const char* what;
    std::vector<TPDBPSFieldType> types;
    core::Bytes record;
    std::int32_t size = 0;
  };
  const std::vector<Case> cases = {
      {"string without terminator", {PSString}, B({0x61, 0x62})},
      {"fixed string without terminator", {PSString}, B({0x61, 0x62, 0x63, 0x64}), 4},
      {"binary longer than the record", {PSBinary}, B({0x00, 0x05, 1, 2})},
      {"second field missing", {PSInt16, PSDouble}, B({1, 2, 3, 4})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TPDBPocketStudio db;
    FileSpec spec;
    spec.records = {B({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), c.record};
    dir.WriteFile("in.pdb", BuildFile(spec));
    Define(db, c.types);
    if (c.size) db.Fields()[0].SetSize(c.size);
    PrepareRead(db, dir, "in.pdb");
    ExpectPDBError([&] { db.Next(); }, "Record is not stored as detailed in Fields structure!", 1);
    EXPECT_FALSE(db.IsOpen());
    ExpectPDBError([&] { db.Close(); }, "Database not open!", 1);
  }
}

TEST(PDBPocketStudioCodec, LongerRecordsAndDeletedRecords) {
  testsupport::TempDir dir;
  TPDBPocketStudio db;
  FileSpec spec;
  spec.records = {B({0x01, 0x02, 9, 9, 9, 9, 9, 9, 9, 9}), B({})};
  spec.entries = {{96, 0, 0}, {106, 0x80, 0}};
  dir.WriteFile("in.pdb", BuildFile(spec));
  Define(db, {PSInt16});
  PrepareRead(db, dir, "in.pdb");
  EXPECT_EQ(db.Fields()[0].AsInt16(), 0x0102);
  db.Fields()[0].SetAsInt16(77);
  // A deleted record has no data: its values are cleared rather than decoded.
  db.Next();
  EXPECT_EQ(db.CurrentAttributes(), kRecAttrDelete);
  EXPECT_EQ(db.Fields()[0].AsInt16(), 0);
  EXPECT_TRUE(db.IsOpen());
}

TEST(PDBPocketStudioCodec, TimeOutOfRangeInARecordIsAConversionError) {
  testsupport::TempDir dir;
  TPDBPocketStudio db;
  ReadRecords(db, dir, {B({0, 0}), B({0xFF, 0xFF})}, {PSTime});
  EXPECT_THROW(db.Next(), core::EConvertError);
}

TEST(PDBPocketStudioAppend, BeginAppendAndPostChecks) {
  testsupport::TempDir dir;
  TPDBPocketStudio db;
  ExpectPDBError([&] { db.BeginAppend(); }, "Database is not open!", 1);
  ExpectPDBError([&] { db.Post(); }, "Not in Append mode!", 1);
  ReadRecords(db, dir, {}, {PSInt8});
  ExpectPDBError([&] { db.BeginAppend(); }, "Database is not open for write!", 2);
  ExpectPDBError([&] { db.AppendRawRecord(); }, "Database is not in Creation mode (dmModeWriteOnly)!", 1);
  ExpectPDBError([&] { db.InsertRawRecord(); }, "Database is not in Creation mode (dmModeWriteOnly)!", 1);
  db.Close();

  db.Fields().Clear();
  PrepareWrite(db, dir);
  ExpectPDBError([&] { db.BeginAppend(); }, "There are no fields specified in Database!", 3);
  Define(db, {PSInt32});
  db.BeginAppend();
  db.Post();
  ExpectPDBError([&] { db.Post(); }, "Not in Append mode!", 1);
  EXPECT_EQ(db.RecordCount(), 1);

  // A value that does not convert fails the post; the record is not added and the append goes on.
  db.BeginAppend();
  db.Fields()[0].SetAsString("twelve");
  EXPECT_THROW(db.Post(), core::EConvertError);
  EXPECT_TRUE(db.Appending());
  EXPECT_EQ(db.RecordCount(), 1);
  db.Fields()[0].SetAsString("12");
  db.Post();
  EXPECT_EQ(db.RecordCount(), 2);
  db.Close();
}

TEST(PDBPocketStudioAppend, BeginAppendClearsValuesAndRawBuffers) {
  testsupport::TempDir dir;
  TPDBPocketStudio db;
  Define(db, {PSString, PSBinary, PSDate});
  PrepareWrite(db, dir);
  db.BeginAppend();
  db.Fields()[0].SetAsString("abc");
  db.Fields()[1].SetRaw(B({1, 2, 3}));
  db.Fields()[2].SetAsDate(Date(2005, 3, 15));
  db.Post();
  db.BeginAppend();
  EXPECT_EQ(db.Fields()[0].AsString(), "");
  EXPECT_TRUE(db.Fields()[1].Raw().empty());
  EXPECT_TRUE(db.Fields()[2].AsDate().IsZero());
  db.Post();
  db.Close();
  const auto file = dir.ReadBytes("ps.pdb");
  EXPECT_EQ(core::Bytes(file.begin() + 96, file.end()),
            B({0x61, 0x62, 0x63, 0, 0, 3, 1, 2, 3, 0xCA, 0x6F, 0, 0, 0, 0, 0}));
}

TEST(PDBPocketStudioAppend, PostStopsAt65535Records) {
  testsupport::TempDir dir;
  TPDBPocketStudio db;
  Define(db, {PSUInt8});
  PrepareWrite(db, dir);
  for (int i = 0; i < 65535; ++i) {
    db.BeginAppend();
    db.Post();
  }
  db.BeginAppend();
  ExpectPDBError([&] { db.Post(); }, "A Palm database cannot hold more than 65535 records!", 11);
  EXPECT_EQ(db.RecordCount(), 65535);
  db.Close();
  EXPECT_EQ(dir.ReadBytes("ps.pdb").size(), 80u + 9u * 65535);
}

}  // namespace
}  // namespace pdb
