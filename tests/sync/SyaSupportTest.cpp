#include "sync/SyaSupport.h"

#include <gtest/gtest.h>

#include <functional>

#include "SyncTestUtil.h"
#include "support/TempDir.h"

using namespace synctest;
using core::Bytes;
using core::TDateTime;

namespace {

int CodeOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const sya::EPDBException& e) {
    return e.ErrorCode();
  }
  return -1;
}

std::string MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const sya::EPDBException& e) {
    return e.what();
  }
  return {};
}

std::uint32_t BE32(const Bytes& b, std::size_t at) { return core::LoadBE32(b.data() + at); }

class SyaDatabaseTest : public ::testing::Test {
 protected:
  testsupport::TempDir dir;
  Bytes WriteAndRead(const TestDb& db) {
    WriteTestDb(dir.Path(), "t.pdb", db);
    return dir.ReadBytes("t.pdb");
  }
};

TEST_F(SyaDatabaseTest, EmptyDatabaseIsHeaderAndTwoZeroBytes) {
  TestDb db;
  db.name = "Demo";
  const Bytes file = WriteAndRead(db);
  ASSERT_EQ(file.size(), 80u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(file.data())), "Demo");
  EXPECT_EQ(BE32(file, 36), 2713996800u);  // 01/01/1990 00:00:00
  EXPECT_EQ(BE32(file, 40), 2713996800u);  // no modification date: the creation date
  EXPECT_EQ(BE32(file, 44), 0u);
  EXPECT_EQ(BE32(file, 52), 0u);
  EXPECT_EQ(BE32(file, 56), 0u);
  EXPECT_EQ(core::LoadBE16(file.data() + 76), 0);
  EXPECT_EQ(file[78], 0);
  EXPECT_EQ(file[79], 0);
}

TEST_F(SyaDatabaseTest, RecordListOffsetsAttributesAndUniqueIDs) {
  TestDb db;
  db.version = 3;
  db.records = {{Text("AAAAA"), 0, 16909060}, {Text("gone"), sya::kRecordDelete, 0}, {Text("BBBBBBB"), 4, 0}};
  const Bytes file = WriteAndRead(db);
  ASSERT_EQ(file.size(), 80u + 24 + 12);
  EXPECT_EQ(core::LoadBE16(file.data() + 34), 3);
  EXPECT_EQ(BE32(file, 56), 0u) << "no SortInfo";
  EXPECT_EQ(BE32(file, 68), 0u) << "unique-ID seed";
  // Entry 0: offset 104, attribute 0, unique ID 02 03 04.
  EXPECT_EQ(BE32(file, 78), 104u);
  EXPECT_EQ(Bytes(file.begin() + 82, file.begin() + 86), (Bytes{0x00, 0x02, 0x03, 0x04}));
  // Entry 1, deleted: offset 0, attribute 0x80, no data.
  EXPECT_EQ(BE32(file, 86), 0u);
  EXPECT_EQ(file[90], 0x80);
  // Entry 2, dirty: right after the first record's bytes.
  EXPECT_EQ(BE32(file, 94), 109u);
  EXPECT_EQ(file[98], 0x40);
  EXPECT_EQ(std::string(file.begin() + 104, file.end()), "AAAAABBBBBBB");
}

TEST_F(SyaDatabaseTest, DatesWrittenFromTheirOwnDayAndTime) {
  TestDb db;
  db.created = *TDateTime::FromParts({2005, 1, 1, 8, 0, 0});
  db.modified = *TDateTime::FromParts({2005, 3, 15, 10, 30, 0});
  const Bytes file = WriteAndRead(db);
  EXPECT_EQ(BE32(file, 36) % 86400, 8u * 3600);
  EXPECT_EQ(BE32(file, 40) % 86400, 10u * 3600 + 30 * 60);
  EXPECT_EQ((BE32(file, 40) - BE32(file, 36)) / 86400, 73u);  // 1 January to 15 March

  // A creation date before 1990 is replaced by the current date and time.
  db.created = *TDateTime::FromDate(1989, 12, 31);
  db.modified = TDateTime();
  const Bytes now = WriteAndRead(db);
  const std::uint32_t expected = TDateTime::Now().ToPalmSeconds();
  EXPECT_NEAR(static_cast<double>(BE32(now, 36)), static_cast<double>(expected), 5.0);
}

TEST_F(SyaDatabaseTest, ReadsBackHeaderBlocksAndRecords) {
  TestDb db;
  db.name = "Round";
  db.creator = "Abcd";
  db.type = "Wxyz";
  db.flags = 0x0048;
  db.created = *TDateTime::FromParts({2010, 6, 7, 12, 34, 56});
  db.appInfo = Text("app-info");
  db.sortInfo = Text("sort");
  // A deleted first record is written without data (offset 0); the blocks still end where the
  // first data begin.
  db.records = {{Text(""), sya::kRecordDelete, 0}, {Text("one"), 0, 7}, {Text("three"), sya::kRecordDirty, 9}};
  WriteTestDb(dir.Path(), "round.PDB", db);

  sya::TPDBDataFields in;
  in.SetDirectory(dir.Str());
  in.SetPDBFilename("ROUND.pdb");  // found without regard to letter case
  in.Open();
  EXPECT_EQ(in.DatabaseName(), "Round");
  EXPECT_EQ(in.CreatorID(), "Abcd");
  EXPECT_EQ(in.DatabaseType(), "Wxyz");
  EXPECT_EQ(in.DatabaseFlags(), 0x0048);
  EXPECT_EQ(in.CreationDate(), db.created);
  EXPECT_EQ(in.AppInfoData(), Text("app-info"));
  EXPECT_EQ(in.SortInfoData(), Text("sort"));
  ASSERT_EQ(in.RecordCount(), 3);
  EXPECT_EQ(in.RecordAttributes(), sya::kRecordDelete);
  EXPECT_TRUE(in.RecordData().empty());
  in.Next();
  EXPECT_EQ(in.RecordData(), Text("one"));
  EXPECT_EQ(in.RecordUniqueID(), 7u);
  in.Next();
  EXPECT_EQ(in.RecordData(), Text("three"));
  EXPECT_EQ(in.RecordAttributes(), sya::kRecordDirty);
  EXPECT_FALSE(in.Eof());
  in.Next();
  EXPECT_TRUE(in.Eof());
  EXPECT_EQ(in.RecordData(), Text("three")) << "the cursor stays on the last record";
  EXPECT_EQ(CodeOf([&] { in.Next(); }), 2);
  in.Close();
  EXPECT_FALSE(in.Active());
}

TEST_F(SyaDatabaseTest, RefusesFilesThatAreNoDatabase) {
  dir.WriteFile("short.pdb", std::string(50, 'x'));
  sya::TPDBDataFields in;
  in.SetDirectory(dir.Str());
  in.SetPDBFilename("short.pdb");
  EXPECT_EQ(MessageOf([&] { in.Open(); }), "File is not in Palm Database Format (PDB)!");
  EXPECT_FALSE(in.Active());

  in.SetPDBFilename("missing.pdb");
  EXPECT_EQ(CodeOf([&] { in.Open(); }), 4);
}

TEST_F(SyaDatabaseTest, HostileOffsetsAndCountsFailCleanly) {
  TestDb db;
  db.records = {{Text("abc")}, {Text("def")}};
  Bytes file = WriteAndRead(db);

  // A record count larger than the entries in the file.
  Bytes manyRecords = file;
  core::StoreBE16(manyRecords.data() + 76, 60000);
  dir.WriteFile("many.pdb", manyRecords);
  sya::TPDBDataFields a;
  a.SetDirectory(dir.Str());
  a.SetPDBFilename("many.pdb");
  a.Open();
  EXPECT_EQ(a.RecordData(), Text("abc"));
  EXPECT_EQ(CodeOf([&] { a.GetRecord(1); }), 6) << "its end is a data byte read as an offset";
  EXPECT_EQ(CodeOf([&] { a.GetRecord(59999); }), 6) << "no such entry in the file";

  // Entries whose offsets go backwards or past the end.
  Bytes backwards = file;
  core::StoreBE32(backwards.data() + 78, 5000);
  dir.WriteFile("back.pdb", backwards);
  sya::TPDBDataFields b;
  b.SetDirectory(dir.Str());
  b.SetPDBFilename("back.pdb");
  EXPECT_EQ(CodeOf([&] { b.Open(); }), 6) << "the first record would end before it begins";

  // An AppInfo offset past the end of the file.
  Bytes appInfo = file;
  core::StoreBE32(appInfo.data() + 52, 0x7FFFFFF0);
  dir.WriteFile("app.pdb", appInfo);
  sya::TPDBDataFields c;
  c.SetDirectory(dir.Str());
  c.SetPDBFilename("app.pdb");
  EXPECT_EQ(MessageOf([&] { c.Open(); }), "Error reading AppInfo Block!");

  Bytes sortInfo = file;
  core::StoreBE32(sortInfo.data() + 56, 0x7FFFFFF0);
  dir.WriteFile("sort.pdb", sortInfo);
  c.SetPDBFilename("sort.pdb");
  EXPECT_EQ(MessageOf([&] { c.Open(); }), "Error reading SortInfo Block!");
  EXPECT_FALSE(c.Active());
}

struct SetterCase {
  const char* what;
  std::function<void(sya::TPDBDataFields&)> set;
  int code;  // 0: accepted
  std::string message;
};

TEST(SyaProperties, SettersCheckNewValues) {
  const std::vector<SetterCase> cases = {
      {"31-char name", [](auto& d) { d.SetDatabaseName(std::string(31, 'n')); }, 0, ""},
      {"32-char name", [](auto& d) { d.SetDatabaseName(std::string(32, 'n')); }, 1,
       "Database name longer than 31 characters!"},
      {"accented name", [](auto& d) { d.SetDatabaseName("Caf\xe9"); }, 2, "Invalid Database name!"},
      {"blank name", [](auto& d) { d.SetDatabaseName("   "); }, 0, ""},
      {"creator PmOr", [](auto& d) { d.SetCreatorID("PmOr"); }, 0, ""},
      {"creator with hyphen", [](auto& d) { d.SetCreatorID("Pm-r"); }, 2, "Invalid Creator ID!"},
      {"creator of 3", [](auto& d) { d.SetCreatorID("Pmo"); }, 1, "Creator ID must have 4 characters!"},
      {"type of 5", [](auto& d) { d.SetDatabaseType("DATAX"); }, 1, "Database Type must have 4 characters!"},
      {"type with blank inside", [](auto& d) { d.SetDatabaseType("DA A"); }, 2, "Invalid DatabaseType!"},
      {"file .pdb", [](auto& d) { d.SetPDBFilename("x.pdb"); }, 0, ""},
      {"file .txt", [](auto& d) { d.SetPDBFilename("x.txt"); }, 1, "PDB Filename must have .PDB extension!"},
      {"file with bell", [](auto& d) { d.SetPDBFilename("a\x07.pdb"); }, 2, "Invalid Filename!"},
  };
  for (const auto& c : cases) {
    sya::TPDBDataFields d;
    if (c.code == 0) {
      EXPECT_NO_THROW(c.set(d)) << c.what;
    } else {
      EXPECT_EQ(CodeOf([&] { c.set(d); }), c.code) << c.what;
      EXPECT_EQ(MessageOf([&] { c.set(d); }), c.message) << c.what;
    }
  }
}

TEST(SyaProperties, PortugueseMessagesFollowTheLocale) {
  testsupport::TempDir dir;
  sya::TPDBDataFields d;
  d.SetDirectory(dir.Str());
  d.SetPDBFilename("none.pdb");
  {
    testsupport::ScopedEnv lang("LC_ALL", "pt_BR.UTF-8");
    EXPECT_EQ(MessageOf([&] { d.Open(); }), "Arquivo PDB não existe!");
  }
  testsupport::ScopedEnv lang("LC_ALL", "en_US.UTF-8");
  EXPECT_EQ(MessageOf([&] { d.Open(); }), "PDB File does not exist!");
}

TEST_F(SyaDatabaseTest, ModeAndStateChecks) {
  TestDb db;
  WriteTestDb(dir.Path(), "e.pdb", db);
  sya::TPDBDataFields d;
  d.SetDirectory(dir.Str());
  d.SetPDBFilename("e.pdb");
  d.Open();
  EXPECT_EQ(MessageOf([&] { d.SetOpenMode(sya::dmModeWriteOnly); }), "Can´t change Open Mode while Database is open!");
  EXPECT_EQ(CodeOf([&] { d.Open(); }), 1);
  // An empty database: neither cursor call fails, callers look at RecordCount.
  EXPECT_NO_THROW(d.First());
  EXPECT_NO_THROW(d.Next());
  EXPECT_EQ(CodeOf([&] { d.GetRecord(0); }), 2);
  d.Close();
  EXPECT_EQ(CodeOf([&] { d.Close(); }), 1);
  d.SetOpenMode(sya::dmModeWriteOnly);
  EXPECT_EQ(CodeOf([&] { d.Open(); }), 9);
  d.SetCreatorID("");
  EXPECT_EQ(CodeOf([&] { d.CreateDatabase(); }), 5) << "no creator";
}

TEST_F(SyaDatabaseTest, ClosingEmptiesTheFieldList) {
  TestDb db;
  db.records = {{Bytes{0x00, 0x2A}}};
  WriteTestDb(dir.Path(), "f.pdb", db);
  sya::TPDBDataFields d;
  d.SetDirectory(dir.Str());
  d.SetPDBFilename("f.pdb");
  d.Fields().Add("n", sya::pdtPSInt16);
  d.Open();
  EXPECT_EQ(std::get<std::int64_t>(d.Fields()[0].Value()), 42);
  d.Close();
  EXPECT_TRUE(d.Fields().Empty());
}

TEST_F(SyaDatabaseTest, EarlierFileStaysUntilCloseAndSurvivesAbandon) {
  dir.WriteFile("keep.pdb", std::string("earlier"));
  sya::TPDBDataFields d;
  d.SetDirectory(dir.Str());
  d.SetPDBFilename("keep.pdb");
  d.SetDatabaseName("Keep");
  d.SetCreatorID("PmOr");
  d.SetDatabaseType("DATA");
  d.SetOpenMode(sya::dmModeWriteOnly);
  d.CreateDatabase();
  d.SetRecordData(Text("x"));
  d.AppendRecord();
  EXPECT_EQ(dir.ReadFile("keep.pdb"), "earlier");
  d.Abandon();
  EXPECT_EQ(dir.ReadFile("keep.pdb"), "earlier");
  EXPECT_EQ(dir.List(), std::vector<std::string>{"keep.pdb"});

  d.CreateDatabase();
  d.Close();
  EXPECT_EQ(dir.ReadBytes("keep.pdb").size(), 80u);
}

TEST_F(SyaDatabaseTest, RefusesMoreThan65535Records) {
  sya::TPDBDataFields d;
  d.SetDirectory(dir.Str());
  d.SetPDBFilename("big.pdb");
  d.SetDatabaseName("Big");
  d.SetCreatorID("PmOr");
  d.SetDatabaseType("DATA");
  d.SetOpenMode(sya::dmModeWriteOnly);
  d.CreateDatabase();
  for (int i = 0; i < 65535; ++i) d.AppendRecord();
  EXPECT_EQ(d.RecordCount(), 65535);
  EXPECT_EQ(MessageOf([&] { d.AppendRecord(); }), "Database cannot hold more than 65535 records!");
  d.Abandon();
}

}  // namespace
