#include "pdb/PDBDataManager.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "PDBTestFiles.h"
#include "pdb/PDBBaseMgr.h"
#include "support/TempDir.h"

namespace pdb {
namespace {

using pdbtest::B;
using pdbtest::BuildFile;
using pdbtest::ExpectPDBError;
using pdbtest::FileSpec;

core::TDateTime Date(int y, int m, int d) { return core::TDateTime::FromDate(y, m, d).value(); }

// A writer that holds raw records; the engine base writes the file.
struct Writer {
  TPDBBaseMgr db;
  explicit Writer(const testsupport::TempDir& dir, const std::string& file = "test.pdb") {
    db.SetDirectory(dir.Str());
    db.SetPDBFilename(file);
    db.SetDatabaseName("TestDB");
    db.SetCreatorID("PmOr");
    db.SetDatabaseType("DATA");
    db.SetCreationDate(Date(1990, 1, 1));
    db.SetOpenMode(dmModeWriteOnly);
  }
  void Append(core::Bytes bytes) {
    db.SetCurrentRecord(std::move(bytes));
    db.AppendRawRecord();
  }
};

// A reader over the bare container.
struct Reader {
  TPDBDataManager db;
  explicit Reader(const testsupport::TempDir& dir, const std::string& file = "test.pdb") {
    db.SetDirectory(dir.Str());
    db.SetPDBFilename(file);
  }
};

// ---- properties --------------------------------------------------------------------------------

TEST(PDBDataManagerProperties, SettersCheckTheirValues) {
  struct Case {
    const char* what;
    std::function<void(TPDBDataManager&)> set;
    const char* message;  // null: accepted
    std::uint16_t code;
  };
  const std::string name31(31, 'N');
  const std::vector<Case> cases = {
      {"31-character name", [&](auto& db) { db.SetDatabaseName(name31); }, nullptr, 0},
      {"31 characters after trimming", [&](auto& db) { db.SetDatabaseName("  " + name31 + " "); }, nullptr, 0},
      {"32-character name", [&](auto& db) { db.SetDatabaseName(name31 + "x"); },
       "Database name longer than 31 characters!", 1},
      {"accented name", [](auto& db) { db.SetDatabaseName("Caf\xE9"); }, "Invalid Database name!", 2},
      {"blank name", [](auto& db) { db.SetDatabaseName("   "); }, nullptr, 0},
      {"creator PmOr", [](auto& db) { db.SetCreatorID("PmOr"); }, nullptr, 0},
      {"creator with hyphen", [](auto& db) { db.SetCreatorID("Pm-r"); }, "Invalid Creator ID!", 2},
      {"three-letter creator", [](auto& db) { db.SetCreatorID("Pmo"); }, "Creator ID must have 4 characters!", 1},
      {"type DATA", [](auto& db) { db.SetDatabaseType("DATA"); }, nullptr, 0},
      {"type with blank inside", [](auto& db) { db.SetDatabaseType("DA A"); }, "Invalid DatabaseType!", 2},
      {"five-letter type", [](auto& db) { db.SetDatabaseType("DATAS"); }, "Database Type must have 4 characters!", 1},
      {"file name .pdb", [](auto& db) { db.SetPDBFilename("Kestor_In.pdb"); }, nullptr, 0},
      {"file name .PdB", [](auto& db) { db.SetPDBFilename("x.PdB"); }, nullptr, 0},
      {"file name .txt", [](auto& db) { db.SetPDBFilename("product.txt"); },
       "PDB Filename must have .PDB extension!", 1},
      {"file name with .pdb inside", [](auto& db) { db.SetPDBFilename("a.pdb.bak"); },
       "PDB Filename must have .PDB extension!", 1},
      {"file name with a control character", [](auto& db) { db.SetPDBFilename("a\tb.pdb"); }, "Invalid Filename!", 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TPDBDataManager db;
    if (c.message)
      ExpectPDBError([&] { c.set(db); }, c.message, c.code);
    else
      EXPECT_NO_THROW(c.set(db));
  }
}

TEST(PDBDataManagerProperties, RefusedValueKeepsTheOldOneAndEqualValueIsNotChecked) {
  testsupport::TempDir dir;
  // A file whose creator would not pass the setter's check.
  FileSpec spec;
  spec.creator = "a-b!";
  dir.WriteFile("odd.pdb", BuildFile(spec));
  Reader r(dir, "odd.pdb");
  r.db.Open();
  EXPECT_EQ(r.db.CreatorID(), "a-b!");
  EXPECT_NO_THROW(r.db.SetCreatorID("a-b!"));
  ExpectPDBError([&] { r.db.SetCreatorID("x-y!"); }, "Invalid Creator ID!", 2);
  EXPECT_EQ(r.db.CreatorID(), "a-b!");
  // The open mode cannot change while open, but setting the same mode is fine.
  EXPECT_NO_THROW(r.db.SetOpenMode(dmModeReadOnly));
  ExpectPDBError([&] { r.db.SetOpenMode(dmModeWriteOnly); }, "Can´t change Open Mode while Database is open!", 1);
  EXPECT_EQ(r.db.OpenMode(), dmModeReadOnly);
}

// ---- writing -----------------------------------------------------------------------------------

TEST(PDBDataManagerWrite, EmptyDatabaseIsEightyBytes) {
  testsupport::TempDir dir;
  {
    Writer w(dir);
    w.db.SetDatabaseFlags({dmHdrAttrBackup});
    w.db.CreateDatabase();
    w.db.Close();
  }
  const auto file = dir.ReadBytes("test.pdb");
  ASSERT_EQ(file.size(), 80u);
  EXPECT_EQ(std::string(file.begin(), file.begin() + 7), std::string("TestDB\0", 7));
  EXPECT_TRUE(std::all_of(file.begin() + 6, file.begin() + 32, [](auto b) { return b == 0; }));
  EXPECT_EQ(core::LoadBE16(&file[32]), 0x0008);  // attributes
  EXPECT_EQ(core::LoadBE16(&file[34]), 0);       // version
  // 01/01/1990 00:00:00 in creation and modification date, no backup date.
  EXPECT_EQ(core::Bytes(file.begin() + 36, file.begin() + 44), B({0xA1, 0xC4, 0x4E, 0x00, 0xA1, 0xC4, 0x4E, 0x00}));
  EXPECT_EQ(core::LoadBE32(&file[44]), 0u);
  EXPECT_EQ(core::LoadBE32(&file[52]), 0u);  // AppInfo
  EXPECT_EQ(core::LoadBE32(&file[56]), 0u);  // SortInfo
  EXPECT_EQ(std::string(file.begin() + 60, file.begin() + 68), "DATAPmOr");
  EXPECT_EQ(core::LoadBE16(&file[76]), 0);
  EXPECT_EQ(file[78], 0);
  EXPECT_EQ(file[79], 0);
}

TEST(PDBDataManagerWrite, CreationDateBefore1990IsWrittenAsNow) {
  testsupport::TempDir dir;
  const std::uint32_t before = core::TDateTime::Now().ToPalmSeconds();
  {
    Writer w(dir);
    w.db.SetCreationDate(Date(1989, 12, 31));
    w.db.CreateDatabase();
    w.db.Close();
  }
  const std::uint32_t after = core::TDateTime::Now().ToPalmSeconds();
  const auto file = dir.ReadBytes("test.pdb");
  const std::uint32_t written = core::LoadBE32(&file[36]);
  EXPECT_GE(written, before);
  EXPECT_LE(written, after);
  EXPECT_EQ(core::LoadBE32(&file[40]), written);
}

TEST(PDBDataManagerWrite, RecordsFollowTheListInOrder) {
  testsupport::TempDir dir;
  {
    Writer w(dir);
    w.db.CreateDatabase();
    w.Append(B({1, 2, 3}));
    w.Append(B({}));
    w.db.SetCurrentAttributes(kRecAttrSecret | kRecAttrDirty);
    w.db.SetCurrentCategory(5);
    w.db.SetCurrentUniqueID(0x123456);
    w.Append(B({4}));
    w.db.SetCurrentAttributes(0);
    w.db.SetCurrentCategory(0);
    w.db.SetCurrentUniqueID(0);
    w.db.SetCurrentRecord(B({9, 9}));
    w.db.InsertRawRecord();
    EXPECT_EQ(w.db.RecordCount(), 4);
    w.db.Close();
  }
  const auto file = dir.ReadBytes("test.pdb");
  const std::size_t first = 80 + 8 * 4;
  ASSERT_EQ(file.size(), first + 6);
  EXPECT_EQ(core::LoadBE16(&file[76]), 4);
  const std::uint32_t offsets[] = {first, first + 2, first + 5, first + 5};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(core::LoadBE32(&file[78 + 8 * i]), offsets[i]) << i;
  // Flags in the high nibble, category written as 0, unique ID as held.
  EXPECT_EQ(core::Bytes(file.begin() + 78 + 8 * 3 + 4, file.begin() + 78 + 8 * 4), B({0x50, 0x12, 0x34, 0x56}));
  EXPECT_EQ(core::Bytes(file.begin() + 78 + 4, file.begin() + 78 + 8), B({0, 0, 0, 0}));
  EXPECT_EQ(core::Bytes(file.begin() + first, file.end()), B({9, 9, 1, 2, 3, 4}));
}

TEST(PDBDataManagerWrite, AppInfoAndSortInfoBlocksRoundTrip) {
  testsupport::TempDir dir;
  {
    Writer w(dir);
    w.db.SetWriteCategories(true);
    w.db.CreateDatabase();
    w.db.CategoryNames()[0] = "Unfiled";
    w.db.CategoryNames()[15] = "Sixteen chars!!!";
    w.db.SetAppInfoData(B({0xAA, 0xBB}));
    w.db.SetSortInfoData(B({0xCC}));
    w.Append(B({7, 7}));
    w.db.Close();
  }
  const auto file = dir.ReadBytes("test.pdb");
  EXPECT_EQ(core::LoadBE32(&file[52]), 88u);
  EXPECT_EQ(core::LoadBE32(&file[56]), 88u + 276 + 2);
  EXPECT_EQ(core::LoadBE32(&file[78]), 88u + 276 + 2 + 1);
  ASSERT_EQ(file.size(), 88u + 276 + 2 + 1 + 2);

  Reader r(dir);
  r.db.Open();
  EXPECT_EQ(r.db.AppInfoData().size(), 278u);
  EXPECT_EQ(r.db.SortInfoData(), B({0xCC}));
  r.db.ReadCategories();
  EXPECT_EQ(r.db.CategoryNames()[0], "Unfiled");
  EXPECT_EQ(r.db.CategoryNames()[1], "");
  EXPECT_EQ(r.db.CategoryNames()[15], "Sixteen chars!!!");
  for (int i = 0; i < 16; ++i) EXPECT_EQ(r.db.CategoryIDs()[i], i);
  EXPECT_EQ(r.db.CategoryIDs()[16], 15);
  EXPECT_EQ(r.db.GetRecord(0).Data, B({7, 7}));
}

TEST(PDBDataManagerWrite, SortInfoWithoutAppInfoGetsItsOffset) {
  testsupport::TempDir dir;
  {
    Writer w(dir);
    w.db.CreateDatabase();
    w.db.SetSortInfoData(B({1, 2, 3}));
    w.db.Close();
  }
  Reader r(dir);
  r.db.Open();
  EXPECT_EQ(r.db.AppInfoOffset(), 0u);
  EXPECT_EQ(r.db.SortInfoOffset(), 80u);
  EXPECT_EQ(r.db.SortInfoData(), B({1, 2, 3}));
}

TEST(PDBDataManagerWrite, HeaderFieldsRoundTrip) {
  testsupport::TempDir dir;
  const core::TDateTime created(Date(2007, 1, 5).Days() + 0.5);
  {
    Writer w(dir);
    w.db.SetDatabaseName("Kestor_ProductDB");
    w.db.SetDatabaseType("PrDb");
    w.db.SetCreationDate(created);
    w.db.SetDatabaseFlags({dmHdrAttrBackup, dmHdrAttrCopyPrevention});
    w.db.CreateDatabase();
    w.db.Close();
  }
  Reader r(dir);
  r.db.Open();
  EXPECT_EQ(r.db.DatabaseName(), "Kestor_ProductDB");
  EXPECT_EQ(r.db.DatabaseType(), "PrDb");
  EXPECT_EQ(r.db.CreatorID(), "PmOr");
  EXPECT_EQ(r.db.CreationDate(), created);
  EXPECT_EQ(r.db.ModificationDate(), created);
  EXPECT_TRUE(r.db.BackupDate().IsZero());
  EXPECT_EQ(r.db.DatabaseFlags(), (TDBFlags{dmHdrAttrBackup, dmHdrAttrCopyPrevention}));
  EXPECT_EQ(r.db.RecordCount(), 0);
  EXPECT_EQ(r.db.FileSize(), 80u);
}

TEST(PDBDataManagerWrite, CreateDatabaseChecksItsSettings) {
  testsupport::TempDir dir;
  struct Case {
    const char* message;
    std::uint16_t code;
    std::function<void(TPDBDataManager&)> spoil;
  };
  const std::vector<Case> cases = {
      {"Cannot write to a Read-Only Database!", 1, [](auto& db) { db.SetOpenMode(dmModeReadOnly); }},
      {"Directory was not informed!", 3, [](auto& db) { db.SetDirectory(" "); }},
      {"Filename was not informed!", 4, [](auto& db) { db.SetPDBFilename(""); }},
      {"CreatorID was not properly informed!", 5, [](auto& db) { db.SetCreatorID(""); }},
      {"DatabaseType was not properly informed!", 6, [](auto& db) { db.SetDatabaseType(""); }},
      {"Database Name was not informed!", 8, [](auto& db) { db.SetDatabaseName(""); }},
      {"Error creating PDB File!", 7, [&](auto& db) { db.SetDirectory((dir / "missing").string()); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    Writer w(dir);
    c.spoil(w.db);
    ExpectPDBError([&] { w.db.CreateDatabase(); }, c.message, c.code);
    EXPECT_FALSE(w.db.IsOpen());
  }
  Writer w(dir);
  w.db.CreateDatabase();
  ExpectPDBError([&] { w.db.CreateDatabase(); }, "Database is open!", 2);
  w.db.Close();
  ExpectPDBError([&] { w.db.Close(); }, "Database not open!", 1);
}

// Announced records go to the file as they are posted; the file is the one written at Close.
TEST(PDBDataManagerWrite, AnnouncedRecordsWriteTheSameFile) {
  testsupport::TempDir dir;
  const auto write = [&](const std::string& file, std::optional<std::size_t> announced) {
    Writer w(dir, file);
    w.db.SetWriteCategories(true);
    w.db.CreateDatabase();
    w.db.SetAppInfoData(B({0xAA, 0xBB}));
    w.db.SetSortInfoData(B({0xCC}));
    if (announced) w.db.ExpectRecords(*announced);
    w.db.SetCurrentAttributes(kRecAttrSecret);
    w.db.SetCurrentUniqueID(0x123456);
    w.Append(B({1, 2, 3}));
    w.Append({});
    w.Append(B({4}));
    w.db.Close();
  };
  write("held.pdb", std::nullopt);
  write("streamed.pdb", 3);
  EXPECT_EQ(dir.ReadBytes("streamed.pdb"), dir.ReadBytes("held.pdb"));

  // A different number of records posted fails, and nothing is left to write again.
  EXPECT_THROW(write("wrong.pdb", 4), std::logic_error);
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"held.pdb", "streamed.pdb"}));
}

// A database whose writing fails on demand.
class FailingWriter : public TPDBBaseMgr {
 public:
  bool fail = true;
  ~FailingWriter() override { CloseOnDestroy(); }

 protected:
  void WriteDatabase(bool writeCategories) override {
    if (fail) {
      OutputFile().Write(std::string_view("partial"));
      throw core::FileError("disk full");
    }
    TPDBBaseMgr::WriteDatabase(writeCategories);
  }
};

TEST(PDBDataManagerWrite, FailedCloseLeavesTheEarlierFileAndNoTemporaryFile) {
  testsupport::TempDir dir;
  dir.WriteFile("test.pdb", std::string_view("earlier"));
  FailingWriter db;
  db.SetDirectory(dir.Str());
  db.SetPDBFilename("test.pdb");
  db.SetDatabaseName("TestDB");
  db.SetCreatorID("PmOr");
  db.SetDatabaseType("DATA");
  db.SetOpenMode(dmModeWriteOnly);
  db.CreateDatabase();
  // Until Close the earlier file is untouched.
  EXPECT_EQ(dir.ReadFile("test.pdb"), "earlier");
  db.SetCurrentRecord(B({1}));
  db.AppendRawRecord();
  EXPECT_THROW(db.Close(), core::FileError);
  EXPECT_TRUE(db.IsOpen());
  EXPECT_EQ(dir.ReadFile("test.pdb"), "earlier");
  EXPECT_EQ(dir.List(), std::vector<std::string>{"test.pdb"});
  // A later Close starts over and writes the whole file.
  db.fail = false;
  db.Close();
  EXPECT_EQ(dir.ReadBytes("test.pdb").size(), 80u + 8 + 1);
  EXPECT_EQ(dir.List(), std::vector<std::string>{"test.pdb"});
}

TEST(PDBDataManagerWrite, DestroyingAnOpenDatabaseWritesIt) {
  testsupport::TempDir dir;
  {
    Writer w(dir);
    w.db.CreateDatabase();
    w.Append(B({1, 2}));
  }
  EXPECT_EQ(dir.ReadBytes("test.pdb").size(), 80u + 8 + 2);
}

TEST(PDBDataManagerWrite, RecordCountStopsAt65535) {
  testsupport::TempDir dir;
  {
    Writer w(dir);
    w.db.CreateDatabase();
    for (int i = 0; i < 65535; ++i) w.Append({});
    EXPECT_EQ(w.db.RecordCount(), 65535);
    const char* message = "A Palm database cannot hold more than 65535 records!";
    ExpectPDBError([&] { w.Append(B({1})); }, message, 11);
    ExpectPDBError([&] { w.db.InsertRawRecord(); }, message, 11);
    EXPECT_EQ(w.db.RecordCount(), 65535);
    w.db.Close();
  }
  const auto file = dir.ReadBytes("test.pdb");
  EXPECT_EQ(file.size(), 80u + 8 * 65535);
  EXPECT_EQ(core::LoadBE16(&file[76]), 65535);
}

// ---- reading -----------------------------------------------------------------------------------

TEST(PDBDataManagerRead, HeaderDatesInBothEpochs) {
  testsupport::TempDir dir;
  FileSpec spec;
  spec.created = 0xA1C44E00;   // seconds since 1904, local time
  spec.modified = 0x7FFFFFFF;  // seconds since 1970 UTC
  spec.backedUp = 0x0000FFFF;  // first two bytes zero: no date
  dir.WriteFile("test.pdb", BuildFile(spec));
  Reader r(dir);
  r.db.Open();
  EXPECT_EQ(r.db.CreationDate(), Date(1990, 1, 1));
  const std::int64_t local = 0x7FFFFFFFLL - std::int64_t{core::StandardTimeZoneBiasMinutes()} * 60;
  EXPECT_NEAR(r.db.ModificationDate().Days(), core::TDateTime::FromUnixSeconds(local).Days(), 1e-9);
  EXPECT_TRUE(r.db.BackupDate().IsZero());
}

TEST(PDBDataManagerRead, GetRecordReturnsBytesAndEntryFields) {
  testsupport::TempDir dir;
  FileSpec spec;
  spec.records = {B({1, 2, 3}), B({4, 5}), B({6})};
  spec.entries = {{104, 0x23, 0x010203}, {107, 0x80, 7}, {109, 0x00, 0}};
  dir.WriteFile("test.pdb", BuildFile(spec));
  Reader r(dir);
  r.db.Open();
  EXPECT_EQ(r.db.RecordCount(), 3);
  auto first = r.db.GetRecord(0);
  EXPECT_EQ(first.Data, B({1, 2, 3}));
  EXPECT_EQ(first.Attributes, kRecAttrBusy);
  EXPECT_EQ(first.Category, 3);
  EXPECT_EQ(first.UniqueID, 0x010203u);
  auto deleted = r.db.GetRecord(1);
  EXPECT_TRUE(deleted.Data.empty());
  EXPECT_EQ(deleted.Attributes, kRecAttrDelete);
  EXPECT_EQ(r.db.GetRecord(2).Data, B({6}));  // the last record runs to the end of the file
  ExpectPDBError([&] { r.db.GetRecord(3); }, "Record does not exist!", 2);
  ExpectPDBError([&] { r.db.GetRecord(-1); }, "Record does not exist!", 2);
  r.db.Close();
  ExpectPDBError([&] { r.db.GetRecord(0); }, "Database not Open!", 1);

  Writer w(dir, "other.pdb");
  w.db.CreateDatabase();
  ExpectPDBError([&] { w.db.GetRecord(0); }, "Cannot get record from a Write-Only Database!", 7);
  ExpectPDBError([&] { w.db.ReadCategories(); }, "Cannot read Categories from a Write-Only Database!", 2);
}

TEST(PDBDataManagerRead, CursorWalksToTheLastRecordAndStops) {
  testsupport::TempDir dir;
  FileSpec spec;
  spec.records = {B({1}), B({2})};
  dir.WriteFile("test.pdb", BuildFile(spec));
  Reader r(dir);
  r.db.Open();
  EXPECT_EQ(r.db.CurrentIndex(), 0);
  EXPECT_FALSE(r.db.Eof());
  r.db.Next();
  EXPECT_EQ(r.db.CurrentIndex(), 1);
  EXPECT_FALSE(r.db.Eof());
  r.db.Next();
  EXPECT_TRUE(r.db.Eof());
  EXPECT_FALSE(r.db.Bof());
  EXPECT_EQ(r.db.CurrentIndex(), 1);
  ExpectPDBError([&] { r.db.Next(); }, "Cursor is already positioned beyond the last Record!", 2);
  r.db.First();
  EXPECT_EQ(r.db.CurrentIndex(), 0);
  EXPECT_FALSE(r.db.Eof());
}

TEST(PDBDataManagerRead, CursorOnAnEmptyDatabase) {
  testsupport::TempDir dir;
  dir.WriteFile("test.pdb", BuildFile({}));
  Reader r(dir);
  r.db.Open();
  EXPECT_EQ(r.db.CurrentIndex(), -1);
  r.db.Next();
  EXPECT_TRUE(r.db.Bof());
  EXPECT_TRUE(r.db.Eof());
  ExpectPDBError([&] { r.db.Next(); }, "Database is empty!", 1);
}

TEST(PDBDataManagerRead, OpenChecksItsSettings) {
  testsupport::TempDir dir;
  dir.WriteFile("test.pdb", BuildFile({}));
  {
    Reader r(dir);
    r.db.SetOpenMode(dmModeWriteOnly);
    ExpectPDBError([&] { r.db.Open(); }, "Cannot open a Write-Only Database!", 9);
  }
  {
    Reader r(dir);
    r.db.SetDirectory("  ");
    ExpectPDBError([&] { r.db.Open(); }, "Directory was not informed!", 2);
    r.db.SetDirectory(dir.Str());
    r.db.SetPDBFilename("");
    ExpectPDBError([&] { r.db.Open(); }, "Filename was not informed!", 3);
    r.db.SetPDBFilename("absent.pdb");
    ExpectPDBError([&] { r.db.Open(); }, "PDB File does not exist!\ndatabase " + (dir / "absent.pdb").string(), 4);
    r.db.SetPDBFilename("TEST.PDB");  // names match without regard to case
    r.db.Open();
    ExpectPDBError([&] { r.db.Open(); }, "Database already open!", 1);
  }
  {
    // A directory typed with its separator gets no second one.
    Reader r(dir);
    r.db.SetDirectory(" " + dir.Str() + "/ ");
    EXPECT_EQ(r.db.FilePath(), dir.Str() + "/test.pdb");
    EXPECT_NO_THROW(r.db.Open());
  }
}

TEST(PDBDataManagerRead, MessagesFollowTheUserLanguage) {
  testsupport::TempDir dir;
  Reader r(dir, "absent.pdb");
  testsupport::ScopedEnv all("LC_ALL", "");
  testsupport::ScopedEnv messages("LC_MESSAGES", "");
  {
    testsupport::ScopedEnv lang("LANG", "pt_BR.UTF-8");
    ExpectPDBError([&] { r.db.Open(); }, "Arquivo PDB não existe!", 4);
  }
  {
    testsupport::ScopedEnv lang("LANG", "pt_PT.UTF-8");
    ExpectPDBError([&] { r.db.Open(); }, "Arquivo PDB não existe!", 4);
  }
  {
    testsupport::ScopedEnv lang("LANG", "en_US.UTF-8");
    ExpectPDBError([&] { r.db.Open(); }, "PDB File does not exist!", 4);
  }
}

TEST(PDBDataManagerRead, CategoriesNeedAnAppInfoBlockOfCategorySize) {
  testsupport::TempDir dir;
  {
    Reader r(dir, "none.pdb");
    ExpectPDBError([&] { r.db.ReadCategories(); }, "Database not open!", 1);
    dir.WriteFile("none.pdb", BuildFile({}));
    r.db.Open();
    ExpectPDBError([&] { r.db.ReadCategories(); }, "Database does not have Categories!", 3);
  }
  FileSpec spec;
  spec.appInfoOffset = 80;
  spec.between = core::Bytes(274, 0x41);  // one byte short of the names and IDs
  dir.WriteFile("short.pdb", BuildFile(spec));
  Reader r(dir, "short.pdb");
  r.db.Open();
  ExpectPDBError([&] { r.db.ReadCategories(); }, "Invalid Categories List!", 5);
  EXPECT_EQ(r.db.CategoryNames()[0], "");
}

// ---- hostile files -----------------------------------------------------------------------------

TEST(PDBDataManagerHostile, BrokenFilesFailWithTheirMessage) {
  const auto valid = [] {
    FileSpec spec;
    spec.records = {B({1, 2}), B({3})};
    return BuildFile(spec);
  };
  struct Case {
    const char* what;
    core::Bytes file;
    const char* message;
    std::uint16_t code;
  };
  std::vector<Case> cases;
  cases.push_back({"50-byte file", core::Bytes(50, 0x41), "File is not in Palm Database Format (PDB)!", 7});
  {
    auto f = valid();
    f.resize(77);
    cases.push_back({"header one byte short", f, "File is not in Palm Database Format (PDB)!", 7});
  }
  {
    FileSpec spec;
    spec.useCountOverride = true;
    spec.countOverride = 10;
    cases.push_back({"record list past the end", BuildFile(spec), "File is not in Palm Database Format (PDB)!", 7});
  }
  {
    FileSpec spec;
    spec.appInfoOffset = 5000;
    cases.push_back({"AppInfo past the end", BuildFile(spec), "Error reading AppInfo Block!", 10});
  }
  {
    FileSpec spec;
    spec.records = {B({1, 2})};
    spec.appInfoOffset = 90;  // behind the first record's start
    cases.push_back({"AppInfo after the first record", BuildFile(spec), "Error reading AppInfo Block!", 10});
  }
  {
    FileSpec spec;
    spec.appInfoOffset = 80;
    spec.sortInfoOffset = 0xFFFFFFFF;
    cases.push_back({"SortInfo past the end ends AppInfo there", BuildFile(spec), "Error reading AppInfo Block!", 10});
  }
  {
    FileSpec spec;
    spec.sortInfoOffset = 0x7FFFFFFF;
    cases.push_back({"SortInfo past the end", BuildFile(spec), "Error reading SortInfo Block!", 10});
  }
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::TempDir dir;
    dir.WriteFile("test.pdb", c.file);
    Reader r(dir);
    ExpectPDBError([&] { r.db.Open(); }, c.message + ("\ndatabase " + (dir / "test.pdb").string()), c.code);
    EXPECT_FALSE(r.db.IsOpen());
    EXPECT_EQ(r.db.RecordCount(), 0);
    // The object is usable again once the file is sound.
    dir.WriteFile("test.pdb", valid());
    EXPECT_NO_THROW(r.db.Open());
    EXPECT_EQ(r.db.GetRecord(0).Data, B({1, 2}));
  }
}

TEST(PDBDataManagerHostile, RecordEntriesOutsideTheFileAreRefused) {
  struct Case {
    const char* what;
    std::vector<pdbtest::Entry> entries;
    int badIndex;
  };
  // The file holds 2 entries and 4 data bytes from offset 96.
  const std::vector<Case> cases = {
      {"offset beyond the end", {{96, 0, 0}, {5000, 0, 0}}, 1},
      {"last offset beyond the end", {{96, 0, 0}, {0xFFFFFFF0, 0, 0}}, 1},
      {"offsets decreasing", {{98, 0, 0}, {96, 0, 0}}, 0},
      {"next offset beyond the end", {{96, 0, 0}, {0x80000000, 0, 0}}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::TempDir dir;
    FileSpec spec;
    spec.entries = c.entries;
    spec.records = {B({1, 2, 3, 4})};
    dir.WriteFile("test.pdb", BuildFile(spec));
    Reader r(dir);
    r.db.Open();
    ExpectPDBError([&] { r.db.GetRecord(c.badIndex); }, "Error reading Record!", 6);
    EXPECT_TRUE(r.db.IsOpen());
  }
}

// An engine that hides record 0 (a schema record) the way some record layouts do, and records the
// order in which the container calls its hooks.
class SchemaEngine : public TPDBDataManager {
 public:
  std::vector<std::string> calls;
  std::vector<core::Bytes> loaded;

 protected:
  void LoadCurrentRecord() override {
    calls.push_back("Load");
    loaded.push_back(GetRecord(CurrentIndex()).Data);
  }
  void AfterOpen() override { calls.push_back("AfterOpen"); }
  void AfterReadHeader() override { calls.push_back("AfterReadHeader"); }
  std::int32_t AdjustRecordCount(std::int32_t count) override {
    calls.push_back("Adjust");
    return count - 1;
  }
  std::int32_t FirstRecordIndex() override { return 1; }
  std::int32_t LastRecordIndex() override { return RecordCount(); }
};

TEST(PDBDataManagerHooks, EnginesCanSkipALeadingRecord) {
  testsupport::TempDir dir;
  FileSpec spec;
  spec.records = {B({0}), B({1}), B({2})};
  dir.WriteFile("test.pdb", BuildFile(spec));
  SchemaEngine db;
  db.SetDirectory(dir.Str());
  db.SetPDBFilename("test.pdb");
  db.Open();
  EXPECT_EQ(db.RecordCount(), 2);
  while (!db.Eof()) db.Next();
  EXPECT_EQ(db.calls, (std::vector<std::string>{"Adjust", "AfterReadHeader", "AfterOpen", "Load", "Load"}));
  EXPECT_EQ(db.loaded, (std::vector<core::Bytes>{B({1}), B({2})}));
  db.Close();

  // On a file without records the adjusted count cannot go below zero, and the engine's last
  // index cannot reach past the record list.
  dir.WriteFile("test.pdb", BuildFile({}));
  db.Open();
  EXPECT_EQ(db.RecordCount(), 0);
  ExpectPDBError([&] { db.GetRecord(0); }, "Error reading Record!", 6);
}

// ---- a database written by another program ------------------------------------------------------

TEST(PDBDataManagerInterop, ReadsADocFileWrittenByTxt2pdbdoc) {
  if (std::system("command -v txt2pdbdoc > /dev/null 2>&1") != 0) GTEST_SKIP() << "txt2pdbdoc is not installed";
  testsupport::TempDir dir;
  std::string text;
  for (int i = 0; i < 400; ++i) text += "Line " + std::to_string(10000 + i) + " of the sample text\n";
  dir.WriteFile("sample.txt", text);
  const std::string command = "txt2pdbdoc -c 'Sample Doc' '" + (dir / "sample.txt").string() + "' '" +
                              (dir / "sample.pdb").string() + "' > /dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);

  Reader r(dir, "sample.pdb");
  r.db.Open();
  EXPECT_EQ(r.db.DatabaseName(), "Sample Doc");
  EXPECT_EQ(r.db.DatabaseType(), "TEXt");
  EXPECT_EQ(r.db.CreatorID(), "REAd");
  // Record 0 is the 16-byte Doc header, then 4096-byte text records.
  const std::size_t textRecords = (text.size() + 4095) / 4096;
  ASSERT_EQ(r.db.RecordCount(), 1 + textRecords);
  std::vector<core::Bytes> records;
  for (r.db.First(); !r.db.Eof(); r.db.Next()) records.push_back(r.db.GetRecord(r.db.CurrentIndex()).Data);
  ASSERT_EQ(records.size(), 1 + textRecords);
  const core::Bytes& header = records[0];
  ASSERT_EQ(header.size(), 16u);
  EXPECT_EQ(core::LoadBE16(&header[0]), 1);  // version 1: not compressed
  EXPECT_EQ(core::LoadBE32(&header[4]), text.size());
  EXPECT_EQ(core::LoadBE16(&header[8]), textRecords);
  EXPECT_EQ(core::LoadBE16(&header[10]), 4096);
  std::string joined;
  for (std::size_t i = 1; i < records.size(); ++i) joined.append(records[i].begin(), records[i].end());
  EXPECT_EQ(joined, text);
}

}  // namespace
}  // namespace pdb
