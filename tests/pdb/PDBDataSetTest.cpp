// The Palm database data set: opening and closing, the file written on close, the properties
// kept from the last file loaded, the type conversions between engine and data set, and what a
// failed close leaves behind.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "core/ByteIO.h"
#include "core/DateTime.h"
#include "pdb/PDBDataSet.h"
#include "PDBTestFiles.h"
#include "support/TempDir.h"

namespace pdb {
namespace {

using pdbtest::B;
using pdbtest::ExpectPDBError;

// The parts of a written file the tests look at.
struct Header {
  std::string name;
  std::uint16_t attributes = 0, version = 0;
  std::uint32_t created = 0, modified = 0, backedUp = 0, appInfo = 0, sortInfo = 0;
  std::string type, creator;
  std::vector<core::Bytes> records;
};

Header ParseFile(const core::Bytes& file) {
  Header h;
  core::BigEndianReader in(file);
  const auto name = in.Take(32);
  h.name.assign(name.begin(), std::find(name.begin(), name.end(), std::uint8_t{0}));
  h.attributes = in.U16();
  h.version = in.U16();
  h.created = in.U32();
  h.modified = in.U32();
  h.backedUp = in.U32();
  in.Skip(4);
  h.appInfo = in.U32();
  h.sortInfo = in.U32();
  h.type = std::string(core::AsText(in.Take(4)));
  h.creator = std::string(core::AsText(in.Take(4)));
  in.Skip(8);
  const std::uint16_t n = in.U16();
  std::vector<std::uint32_t> offsets;
  for (int i = 0; i < n; ++i) {
    offsets.push_back(in.U32());
    in.Skip(4);
  }
  for (int i = 0; i < n; ++i) {
    const std::uint32_t end = i + 1 < n ? offsets[i + 1] : static_cast<std::uint32_t>(file.size());
    h.records.emplace_back(file.begin() + offsets[i], file.begin() + end);
  }
  return h;
}

// A PocketStudio record of (PSInt32 id, PSString name).
core::Bytes IdName(std::uint32_t id, std::string_view name) {
  core::Bytes out;
  core::BigEndianWriter w(out);
  w.U32(id);
  w.Append(core::AsBytes(name));
  w.U8(0);
  return out;
}

constexpr std::uint32_t k2005 = 0xBDFB9880;  // 01/01/2005 00:00 in Palm seconds

class PDBDataSetTest : public ::testing::Test {
 protected:
  testsupport::TempDir dir;
  TPDBDataSet ds;

  void SetUp() override {
    ds.SetDirectory(dir.Str());
    ds.SetPDBFilename("Test.pdb");
    ds.SetDatabaseName("TestDB");
    ds.SetCreatorID("PmOr");
    ds.SetDatabaseType("DATA");
  }

  void IdNameFields(int nameSize = 100) {
    ds.FieldsPocketStudio().Clear();
    auto& id = ds.FieldsPocketStudio().Add();
    id.SetFieldName("Id");
    id.SetDataType(PSInt32);
    auto& name = ds.FieldsPocketStudio().Add();
    name.SetFieldName("Name");
    name.SetInternalSize(nameSize);
  }

  void WriteIdNameFile(const std::string& file, std::vector<core::Bytes> records, pdbtest::FileSpec spec = {}) {
    spec.records = std::move(records);
    dir.WriteFile(file, pdbtest::BuildFile(spec));
  }

  // Test.pdb with the live records 1 "one" and 3 "three", and records marked deleted first, in
  // the middle and last (that one without data); the flag is bit 7 of the entry's attribute
  // byte. Returns the file's bytes.
  core::Bytes WriteFileWithDeletedRecords() {
    pdbtest::FileSpec spec;
    spec.records = {IdName(9, "gone"), IdName(1, "one"), IdName(8, "gone"), IdName(3, "three"), {}};
    auto file = pdbtest::BuildFile(spec);
    for (const std::size_t entry : {0, 2, 4}) file[78 + 8 * entry + 4] = 0x80;
    dir.WriteFile("Test.pdb", file);
    return file;
  }

  void AppendIdName(int id, const std::string& name) {
    ds.Append();
    ds.FieldByName("Id").AsInteger(id);
    ds.FieldByName("Name").AsString(name);
    ds.Post();
  }

  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (ds.First(); !ds.Eof(); ds.Next()) names.push_back(ds.FieldByName("name").AsString());
    return names;
  }
};

TEST_F(PDBDataSetTest, StateChecks) {
  ExpectPDBError([&] { ds.Open(); }, "Fields are not defined", 2);
  EXPECT_FALSE(ds.Active());
  ExpectPDBError([&] { ds.Close(); }, "DataSet is not open", 1);

  IdNameFields();
  ds.SetEngine(TEngine::NSBasic);  // the field list of the selected engine counts
  ExpectPDBError([&] { ds.Open(); }, "Fields are not defined", 2);
  ds.SetEngine(TEngine::PocketStudio);
  ds.Open();
  ExpectPDBError([&] { ds.Open(); }, "DataSet is already open", 1);
  EXPECT_TRUE(ds.Active());
  // The engine a data set was opened with also closes it.
  ds.SetEngine(TEngine::Java);
  ds.Close();
  EXPECT_TRUE(dir.Exists("Test.pdb"));
}

TEST_F(PDBDataSetTest, PropertySettersCheckLikeTheContainer) {
  struct Case {
    void (TPDBDataSet::*set)(std::string);
    const char* value;
    const char* text;  // empty: accepted
    std::uint16_t code;
  };
  const Case cases[] = {
      {&TPDBDataSet::SetDatabaseName, "1234567890123456789012345678901", "", 0},
      {&TPDBDataSet::SetDatabaseName, "12345678901234567890123456789012", "Database name longer than 31 characters!", 1},
      {&TPDBDataSet::SetDatabaseName, "Caf\xE9", "Invalid Database name!", 2},
      {&TPDBDataSet::SetCreatorID, "ab1", "Creator ID must have 4 characters!", 1},
      {&TPDBDataSet::SetCreatorID, "ab-1", "Invalid Creator ID!", 2},
      {&TPDBDataSet::SetDatabaseType, "TYPES", "Database Type must have 4 characters!", 1},
      {&TPDBDataSet::SetDatabaseType, "T_PE", "Invalid DatabaseType!", 2},
      {&TPDBDataSet::SetPDBFilename, "orders.txt", "PDB Filename must have .PDB extension!", 1},
      {&TPDBDataSet::SetPDBFilename, "\xCF.pdb", "Invalid Filename!", 2},
      {&TPDBDataSet::SetPDBFilename, "orders.Pdb", "", 0},
      {&TPDBDataSet::SetCreatorID, "   ", "", 0},
  };
  for (const auto& c : cases) {
    if (*c.text == 0) {
      EXPECT_NO_THROW((ds.*c.set)(c.value)) << c.value;
    } else {
      ExpectPDBError([&] { (ds.*c.set)(c.value); }, c.text, c.code);
    }
  }
  EXPECT_EQ(ds.CreatorID(), "   ");
  EXPECT_EQ(ds.DatabaseType(), "DATA");  // a refused value leaves the old one
}

TEST_F(PDBDataSetTest, MissingFileOpensEmptyAndCloseWritesAnEmptyDatabase) {
  IdNameFields();
  ds.Open();
  EXPECT_TRUE(ds.Eof());
  EXPECT_TRUE(ds.Bof());
  EXPECT_EQ(ds.RecordCount(), 0);
  EXPECT_FALSE(dir.Exists("Test.pdb"));
  const std::uint32_t before = core::TDateTime::Now().ToPalmSeconds();
  ds.Close();
  const std::uint32_t after = core::TDateTime::Now().ToPalmSeconds();

  EXPECT_EQ(dir.List(), std::vector<std::string>{"Test.pdb"});
  const auto bytes = dir.ReadBytes("Test.pdb");
  ASSERT_EQ(bytes.size(), 80u);
  const Header h = ParseFile(bytes);
  EXPECT_EQ(h.name, "TestDB");
  EXPECT_EQ(h.type, "DATA");
  EXPECT_EQ(h.creator, "PmOr");
  EXPECT_GE(h.created, before);
  EXPECT_LE(h.created, after + 1);
}

TEST_F(PDBDataSetTest, ReadAndCloseRewritesTheSameDatabase) {
  pdbtest::FileSpec spec;
  spec.name = "Orders";
  spec.type = "ORDR";
  spec.creator = "Kest";
  spec.created = k2005;
  spec.attributes = 0x0008;  // backup
  spec.between = core::Bytes(300, 0x11);  // an AppInfo block
  spec.appInfoOffset = 80 + 3 * 8;
  WriteIdNameFile("Test.pdb", {IdName(1, "one"), IdName(2, "two"), IdName(3, "three")}, spec);
  ds.SetDatabaseName("");
  ds.SetCreatorID("");
  ds.SetDatabaseType("");
  IdNameFields();

  ds.Open();
  EXPECT_EQ(Names(), (std::vector<std::string>{"one", "two", "three"}));
  EXPECT_EQ(ds.DatabaseName(), "Orders");
  EXPECT_EQ(ds.CreatorID(), "Kest");
  EXPECT_EQ(ds.DatabaseType(), "ORDR");
  EXPECT_TRUE(ds.DatabaseFlags().Contains(dmHdrAttrBackup));
  EXPECT_EQ(ds.CreationDate(), core::TDateTime::FromDate(2005, 1, 1).value());
  ds.Close();

  const Header h = ParseFile(dir.ReadBytes("Test.pdb"));
  EXPECT_EQ(h.name, "Orders");
  EXPECT_EQ(h.type, "ORDR");
  EXPECT_EQ(h.creator, "Kest");
  EXPECT_EQ(h.created, k2005);
  EXPECT_EQ(h.modified, k2005);
  EXPECT_EQ(h.attributes, 0x0008);
  EXPECT_EQ(h.version, 0);
  EXPECT_EQ(h.appInfo, 0u);
  EXPECT_EQ(h.sortInfo, 0u);
  EXPECT_EQ(h.records, (std::vector<core::Bytes>{IdName(1, "one"), IdName(2, "two"), IdName(3, "three")}));
}

TEST_F(PDBDataSetTest, NewDatabaseKeepsThePropertiesOfTheLastFileLoaded) {
  pdbtest::FileSpec spec;
  spec.name = "Loaded";
  spec.created = k2005;
  spec.attributes = 0x0002 | 0x0040;
  WriteIdNameFile("Old.pdb", {IdName(1, "x")}, spec);
  IdNameFields();
  ds.SetPDBFilename("Old.pdb");
  ds.Open();
  ds.Close();

  ds.SetPDBFilename("New.pdb");
  ds.Open();
  AppendIdName(7, "seven");
  ds.Close();
  const Header h = ParseFile(dir.ReadBytes("New.pdb"));
  EXPECT_EQ(h.name, "Loaded");
  EXPECT_EQ(h.created, k2005);
  EXPECT_EQ(h.attributes, 0x0042);
  EXPECT_EQ(h.records, std::vector<core::Bytes>{IdName(7, "seven")});
}

TEST_F(PDBDataSetTest, InternalSizeCutsLoadedTextAndTheCutTextIsWritten) {
  const std::string thirty = "abcdefghijklmnopqrstuvwxyz0123";
  WriteIdNameFile("Test.pdb", {IdName(1, thirty)});
  IdNameFields(20);
  ds.Open();
  EXPECT_EQ(ds.FieldByName("Name").AsString(), thirty.substr(0, 20));
  ds.Close();
  EXPECT_EQ(ParseFile(dir.ReadBytes("Test.pdb")).records, std::vector<core::Bytes>{IdName(1, thirty.substr(0, 20))});
}

TEST_F(PDBDataSetTest, AppendingKeepsTheOldRecordsFirst) {
  WriteIdNameFile("Test.pdb", {IdName(1, "old1"), IdName(2, "old2")});
  IdNameFields();
  ds.Open();
  AppendIdName(3, "new");
  ds.Close();
  EXPECT_EQ(ParseFile(dir.ReadBytes("Test.pdb")).records,
            (std::vector<core::Bytes>{IdName(1, "old1"), IdName(2, "old2"), IdName(3, "new")}));
}

TEST_F(PDBDataSetTest, DeletedRecordsAreNeitherLoadedNorWrittenBack) {
  WriteFileWithDeletedRecords();
  IdNameFields();
  ds.Open();
  EXPECT_EQ(Names(), (std::vector<std::string>{"one", "three"}));
  EXPECT_EQ(ds.RecordCount(), 2);
  ds.Close();
  EXPECT_EQ(ParseFile(dir.ReadBytes("Test.pdb")).records, (std::vector<core::Bytes>{IdName(1, "one"), IdName(3, "three")}));
}

// A rewrite drops a record marked deleted, so a kept file still holds it.
TEST_F(PDBDataSetTest, KeepsAnUnchangedFileOnlyWhenAskedAndNothingChanged) {
  const struct {
    const char* name;
    bool keep;
    std::function<void(TPDBDataSet&)> change;
    bool kept;
  } cases[] = {
      {"read only, kept", true, [](TPDBDataSet&) {}, true},
      {"read only, default", false, [](TPDBDataSet&) {}, false},
      {"record deleted", true, [](TPDBDataSet& d) { d.Delete(); }, false},
      {"header changed", true, [](TPDBDataSet& d) { d.SetDatabaseType("ORDR"); }, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    pdbtest::FileSpec spec;
    spec.records = {IdName(1, "one"), IdName(2, "two"), IdName(9, "gone")};
    auto original = pdbtest::BuildFile(spec);
    original[78 + 8 * 2 + 4] = 0x80;  // the last entry's deleted flag
    dir.WriteFile("Test.pdb", original);
    IdNameFields();
    ds.SetKeepsUnchangedFile(c.keep);
    ds.Open();
    c.change(ds);
    ds.Close();
    EXPECT_EQ(dir.ReadBytes("Test.pdb") == original, c.kept);
  }
}

// Read forward only, a walk gives what the loaded data set gives (records marked deleted left
// out) and leaves the file alone; what would go back or change records is refused, naming the
// database, with the cursor left where it was.
TEST_F(PDBDataSetTest, ForwardOnlyWalksLikeTheLoadedDataSetAndRefusesTheRest) {
  const core::Bytes file = WriteFileWithDeletedRecords();
  IdNameFields();
  const auto walk = [&](bool forward) {
    ds.SetForwardOnly(forward);
    ds.Open();
    std::vector<std::string> rows{std::to_string(ds.RecordCount())};
    for (; !ds.Eof(); ds.Next()) rows.push_back(ds.FieldByName("Id").AsString() + ds.FieldByName("name").AsString());
    ds.Next();
    rows.push_back(ds.FieldByName("Name").AsString());  // the last record stays current
    ds.Close();
    return rows;
  };
  const auto forward = walk(true);
  EXPECT_EQ(dir.ReadBytes("Test.pdb"), file);
  EXPECT_EQ(forward, walk(false));
  EXPECT_EQ(forward, (std::vector<std::string>{"2", "1one", "3three", "three"}));

  dir.WriteFile("Test.pdb", file);  // as it was before the loaded data set rewrote it
  ds.SetForwardOnly(true);
  ds.Open();
  ds.First();  // still on the first record: nothing to go back to
  EXPECT_EQ(ds.FieldByName("Name").AsString(), "one");
  ds.Next();
  const struct {
    const char* name;
    std::function<void(TPDBDataSet&)> operation;
  } refused[] = {
      {"Prior", [](TPDBDataSet& d) { d.Prior(); }},
      {"Last", [](TPDBDataSet& d) { d.Last(); }},
      {"First", [](TPDBDataSet& d) { d.First(); }},
      {"RecNo", [](TPDBDataSet& d) { d.RecNo(1); }},
      {"Locate", [](TPDBDataSet& d) { d.Locate("Id", dataset::TValue(1)); }},
      {"GotoBookmark", [](TPDBDataSet& d) { d.GotoBookmark(dataset::TBookmark(1)); }},
      {"Append", [](TPDBDataSet& d) { d.Append(); }},
      {"Insert", [](TPDBDataSet& d) { d.Insert(); }},
      {"Edit", [](TPDBDataSet& d) { d.Edit(); }},
      {"Delete", [](TPDBDataSet& d) { d.Delete(); }},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(c.name);
    try {
      c.operation(ds);
      ADD_FAILURE() << "not refused";
    } catch (const dataset::EDatabaseError& e) {
      EXPECT_EQ(std::string(e.what()), std::string("Operation not allowed on a unidirectional dataset\n") + c.name +
                                           ": database " + ds.FilePath() + " is read forward only");
    }
    EXPECT_EQ(ds.FieldByName("Name").AsString(), "three");
    EXPECT_EQ(ds.State(), dataset::TDataSetState::Browse);
  }
  ds.Close();
  EXPECT_EQ(dir.ReadBytes("Test.pdb"), file);

  // A record that does not hold its fields fails the step onto it; the data set still closes.
  WriteIdNameFile("Test.pdb", {IdName(1, "ok"), B({0, 0})});
  ds.Open();
  ExpectPDBError([&] { ds.Next(); }, "Record is not stored as detailed in Fields structure!", 1);
  ds.Close();
  ds.SetForwardOnly(false);
  EXPECT_EQ(ParseFile(dir.ReadBytes("Test.pdb")).records.size(), 2u);
}

TEST_F(PDBDataSetTest, FileNameMatchesWithoutRegardToCaseAndIsRewrittenInPlace) {
  WriteIdNameFile("orders.pdb", {IdName(1, "a")});
  IdNameFields();
  ds.SetPDBFilename("ORDERS.PDB");
  ds.Open();
  EXPECT_EQ(ds.RecordCount(), 1);
  AppendIdName(2, "b");
  ds.Close();
  EXPECT_EQ(dir.List(), std::vector<std::string>{"orders.pdb"});
  EXPECT_EQ(ParseFile(dir.ReadBytes("orders.pdb")).records.size(), 2u);
}

TEST_F(PDBDataSetTest, FailedCloseLeavesTheFileAndTheDataSetAsTheyWere) {
  WriteIdNameFile("Test.pdb", {IdName(1, "one")});
  const auto original = dir.ReadBytes("Test.pdb");
  IdNameFields();
  ds.Open();
  AppendIdName(2, "two");
  ds.SetCreatorID("");
  ExpectPDBError([&] { ds.Close(); }, "CreatorID was not properly informed!", 5);
  EXPECT_TRUE(ds.Active());
  EXPECT_EQ(ds.RecordCount(), 2);
  EXPECT_EQ(dir.ReadBytes("Test.pdb"), original);
  EXPECT_EQ(dir.List(), std::vector<std::string>{"Test.pdb"});

  // The engine is usable again: the next close writes both records.
  ds.SetCreatorID("PmOr");
  ds.Close();
  EXPECT_EQ(ParseFile(dir.ReadBytes("Test.pdb")).records.size(), 2u);
}

TEST_F(PDBDataSetTest, FailureWhileWritingRecordsLeavesNoTraceAndCanBeRetried) {
  WriteIdNameFile("Test.pdb", {});
  const auto original = dir.ReadBytes("Test.pdb");
  auto& blob = ds.FieldsPocketStudio().Add();
  blob.SetFieldName("Data");
  blob.SetDataType(PSBinary);
  ds.Open();
  ds.Append();
  ds.FieldByName("Data").AsString(std::string(70000, 'x'));  // longer than a binary field holds
  ds.Post();
  EXPECT_THROW(ds.Close(), EPDBException);
  EXPECT_TRUE(ds.Active());
  EXPECT_EQ(dir.ReadBytes("Test.pdb"), original);
  EXPECT_EQ(dir.List(), std::vector<std::string>{"Test.pdb"});  // no temporary file left

  ds.Edit();
  ds.FieldByName("Data").AsString("short");
  ds.Post();
  ds.Close();
  EXPECT_EQ(ParseFile(dir.ReadBytes("Test.pdb")).records, std::vector<core::Bytes>{B({0, 5, 's', 'h', 'o', 'r', 't'})});
}

TEST_F(PDBDataSetTest, DestroyingAnOpenDataSetWritesNothing) {
  WriteIdNameFile("Test.pdb", {IdName(1, "one")});
  const auto original = dir.ReadBytes("Test.pdb");
  {
    TPDBDataSet other;
    other.SetDirectory(dir.Str());
    other.SetPDBFilename("Test.pdb");
    auto& field = other.FieldsPocketStudio().Add();
    field.SetFieldName("Id");
    field.SetDataType(PSInt32);
    other.Open();
    other.Append();
    other.FieldByName("Id").AsInteger(5);
    other.Post();
  }
  EXPECT_EQ(dir.ReadBytes("Test.pdb"), original);
  EXPECT_EQ(dir.List(), std::vector<std::string>{"Test.pdb"});
}

TEST_F(PDBDataSetTest, UnreadableFileFailsTheOpen) {
  dir.WriteFile("Test.pdb", std::string(50, 'x'));
  IdNameFields();
  ExpectPDBError([&] { ds.Open(); }, "File is not in Palm Database Format (PDB)!", 7);
  EXPECT_FALSE(ds.Active());

  // A record shorter than the fields: the open fails, the file stays as it was.
  WriteIdNameFile("Test.pdb", {IdName(1, "ok"), B({0, 0})});
  const auto original = dir.ReadBytes("Test.pdb");
  ExpectPDBError([&] { ds.Open(); }, "Record is not stored as detailed in Fields structure!", 1);
  EXPECT_FALSE(ds.Active());
  EXPECT_EQ(dir.ReadBytes("Test.pdb"), original);
}

TEST_F(PDBDataSetTest, FilteredRecordsAreWrittenToo) {
  IdNameFields();
  ds.Open();
  AppendIdName(1, "keep");
  AppendIdName(2, "hidden");
  ds.OnFilterRecord([](dataset::TDataSet& set, bool& accept) { accept = set.FieldByName("Id").AsInteger() == 1; });
  ds.Filtered(true);
  ds.Close();
  EXPECT_EQ(ParseFile(dir.ReadBytes("Test.pdb")).records.size(), 2u);
}

TEST_F(PDBDataSetTest, StoredTextsOfEveryLengthReadBackExactly) {
  // Records keep strings packed; a shorter text written over a longer one must not show the
  // rest of the old one, and the fields after a string must stay in place.
  IdNameFields(5);
  auto& code = ds.FieldsPocketStudio().Add();
  code.SetFieldName("Code");
  code.SetInternalSize(3);
  ds.Open();
  const std::vector<std::pair<std::string, std::string>> values = {
      {"", "x"}, {"abcde", ""}, {"abcdefgh", "xyzw"}, {"\xC0\xC1", "\xFF"}};
  int id = 0;
  for (const auto& [name, c] : values) {
    ds.Append();
    ds.FieldByName("Id").AsInteger(++id);
    ds.FieldByName("Name").AsString(name);
    ds.FieldByName("Code").AsString(c);
    ds.Post();
  }
  ds.First();
  ds.Next();
  ds.Edit();
  ds.FieldByName("Name").AsString("ab");
  ds.Post();
  ds.Last();  // read right after a record with a longer text
  ds.Edit();
  ds.FieldByName("Name").AsString("\xC0");
  ds.Post();
  std::vector<std::string> seen;
  for (ds.First(); !ds.Eof(); ds.Next())
    seen.push_back(ds.FieldByName("Id").AsString() + "|" + ds.FieldByName("Name").AsString() + "|" +
                   ds.FieldByName("Code").AsString() + "|" + (ds.FieldByName("Name").IsNull() ? "null" : "set"));
  EXPECT_EQ(seen, (std::vector<std::string>{"1||x|null", "2|ab||set", "3|abcde|xyz|set", "4|\xC0|\xFF|set"}));
}

TEST_F(PDBDataSetTest, EveryFieldTypeRoundTrips) {
  struct Item {
    const char* name;
    TPDBPSFieldType type;
  };
  const Item items[] = {{"Flag", PSBoolean},  {"I8", PSInt8},         {"I16", PSInt16},     {"I32", PSInt32},
                        {"U8", PSUInt8},      {"U16", PSUInt16},      {"U32", PSUInt32},    {"Day", PSDate},
                        {"Clock", PSTime},    {"Stamp", PSDateTime},  {"Text", PSString},   {"Single", PSSingle},
                        {"Double", PSDouble}, {"Blob", PSBinary}};
  for (const auto& item : items) {
    auto& field = ds.FieldsPocketStudio().Add();
    field.SetFieldName(item.name);
    field.SetDataType(item.type);
  }
  const auto day = core::TDateTime::FromDate(2007, 1, 5).value();
  const auto clock = core::TDateTime::FromTime(14, 35, 0).value();
  const auto stamp = core::TDateTime::FromParts({2007, 1, 5, 14, 35, 59}).value();
  const std::string cyrillic = "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0! \xB8\xA8";  // Windows-1251
  const std::string blob("\x00\x01\xFF\x00", 4);

  ds.Open();
  ds.Append();
  ds.FieldByName("Flag").AsBoolean(true);
  ds.FieldByName("I8").AsInteger(-100);
  ds.FieldByName("I16").AsInteger(-30000);
  ds.FieldByName("I32").AsInteger(-2000000000);
  ds.FieldByName("U8").AsInteger(250);
  ds.FieldByName("U16").AsInteger(65000);
  ds.FieldByName("U32").AsInteger(static_cast<std::int32_t>(3000000000u));
  ds.FieldByName("Day").AsDateTime(day);
  ds.FieldByName("Clock").AsDateTime(clock);
  ds.FieldByName("Stamp").AsDateTime(stamp);
  ds.FieldByName("Text").AsString(cyrillic);
  ds.FieldByName("Single").AsFloat(1.5);
  ds.FieldByName("Double").AsFloat(-1234.5678);
  ds.FieldByName("Blob").AsString(blob);
  ds.Post();
  ds.Append();  // a record of nulls: zero values in the file
  ds.Post();
  ds.Close();
  const auto written = dir.ReadBytes("Test.pdb");
  const Header h = ParseFile(written);
  ASSERT_EQ(h.records.size(), 2u);
  // PSUInt32 keeps the unsigned number in the file.
  EXPECT_EQ(core::LoadBE32(&h.records[0][1 + 1 + 2 + 4 + 1 + 2]), 3000000000u);

  ds.Open();
  ASSERT_EQ(ds.RecordCount(), 2);
  EXPECT_TRUE(ds.FieldByName("Flag").AsBoolean());
  EXPECT_EQ(ds.FieldByName("I8").AsInteger(), -100);
  EXPECT_EQ(ds.FieldByName("I16").AsInteger(), -30000);
  EXPECT_EQ(ds.FieldByName("I32").AsInteger(), -2000000000);
  EXPECT_EQ(ds.FieldByName("U8").AsInteger(), 250);
  EXPECT_EQ(ds.FieldByName("U16").AsInteger(), 65000);
  EXPECT_EQ(ds.FieldByName("U32").AsInteger(), -1294967296);  // above 2^31: negative as an integer
  EXPECT_EQ(ds.FieldByName("Day").AsDateTime(), day);
  EXPECT_EQ(ds.FieldByName("Clock").AsDateTime(), clock);
  EXPECT_NEAR(ds.FieldByName("Stamp").AsDateTime().Days(), stamp.Days(), 1e-9);
  EXPECT_EQ(ds.FieldByName("Text").AsString(), cyrillic);
  EXPECT_EQ(ds.FieldByName("Single").AsFloat(), 1.5);
  EXPECT_EQ(ds.FieldByName("Double").AsFloat(), -1234.5678);
  EXPECT_EQ(ds.FieldByName("Blob").AsString(), blob);
  ds.Next();
  EXPECT_FALSE(ds.FieldByName("Flag").AsBoolean());
  EXPECT_EQ(ds.FieldByName("U32").AsInteger(), 0);
  EXPECT_EQ(ds.FieldByName("Text").AsString(), "");
  EXPECT_TRUE(ds.FieldByName("Blob").IsNull());
  ds.Close();
  // Loading and saving again changes nothing.
  EXPECT_EQ(dir.ReadBytes("Test.pdb"), written);
}

TEST_F(PDBDataSetTest, MoreRecordsThanADatabaseHoldsFailTheClose) {
  auto& field = ds.FieldsPocketStudio().Add();
  field.SetFieldName("N");
  field.SetDataType(PSUInt8);
  ds.Open();
  for (int i = 0; i < 65536; ++i) {
    ds.Append();
    ds.Fields(0).AsInteger(i);
    ds.Post();
  }
  ExpectPDBError([&] { ds.Close(); }, "A Palm database cannot hold more than 65535 records!", 11);
  EXPECT_TRUE(ds.Active());
  EXPECT_TRUE(dir.List().empty());

  ds.Delete();
  ds.Close();
  const auto bytes = dir.ReadBytes("Test.pdb");
  EXPECT_EQ(core::LoadBE16(&bytes[76]), 65535);
}

}  // namespace
}  // namespace pdb
