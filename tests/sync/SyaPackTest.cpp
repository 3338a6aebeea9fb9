#include "sync/SyaPack.h"

#include <gtest/gtest.h>

#include "SyncTestUtil.h"
#include "support/TempDir.h"

using namespace synctest;
using core::Bytes;

namespace {

class SyaPackTest : public ::testing::Test {
 protected:
  testsupport::TempDir dir;
  sya::TSyaPacker packer;

  void Begin() { ASSERT_EQ(packer.BeginPack(dir.Str(), "Kestor_In.pdb", "Kestor_In", "PDBP"), 0); }
  int Pack(const TestDb& db, std::size_t maxRecordSize = 30000) {
    const std::string file = db.name + ".pdb";
    WriteTestDb(dir.Path(), file, db);
    return packer.PackDatabase(dir.Str(), file, maxRecordSize);
  }
  ParsedPdb End() {
    EXPECT_EQ(packer.EndPack(), 0);
    return ParsePdb(dir.ReadBytes("Kestor_In.pdb"));
  }
  // The packed record blocks after the lead of a database at `at`, inflated.
  static std::vector<Bytes> Blocks(const Bytes& stream, std::size_t at) {
    std::vector<Bytes> blocks;
    while (at + 4 <= stream.size() && !std::equal(stream.begin() + at, stream.begin() + at + 16, Marker().begin())) {
      const auto length = core::LoadBE32(stream.data() + at);
      blocks.push_back(Inflate(core::ByteSpan(stream).subspan(at + 4, length)));
      at += 4 + length;
    }
    return blocks;
  }
};

TEST_F(SyaPackTest, EmptyDatabaseAddsMarkerAndHeaderOnly) {
  Begin();
  TestDb db;
  db.name = "Demo";
  db.flags = 0x0008;
  db.version = 2;
  ASSERT_EQ(Pack(db), 0);
  const ParsedPdb c = End();
  const Bytes stream = StreamOf(c);
  ASSERT_EQ(stream.size(), 82u);
  const Bytes expectedHeader = Concat({Text("Demo"), Bytes(28, 0), Text("PmOrDATA"), {0x00, 0x08, 0x00, 0x02},
                                       {0xA1, 0xC4, 0x4E, 0x00, 0xA1, 0xC4, 0x4E, 0x00}, Bytes(8, 0), Bytes(6, 0)});
  EXPECT_EQ(stream, Concat({Marker(), expectedHeader}));
  // The container itself.
  EXPECT_EQ(c.name, "Kestor_In");
  EXPECT_EQ(c.type, "PKDT");
  EXPECT_EQ(c.creator, "PDBP");
  EXPECT_EQ(c.attributes, 0);
  EXPECT_EQ(c.version, 0);
  EXPECT_EQ(c.created, c.modified);
  EXPECT_EQ(c.sortInfoOffset, 0u);
  EXPECT_EQ(c.appInfo, Concat({{0x00, 0x01}, Text("Demo"), {0x00, 0x00, 0x01}}));
  for (const auto& r : c.records) {
    EXPECT_EQ(r.attrByte, 0);
    EXPECT_EQ(r.uniqueID, 0u);
  }
}

TEST_F(SyaPackTest, RecordBlocksCarryAttributeWordSizeAndBytes) {
  Begin();
  TestDb db;
  db.records = {{Text("abc")}, {Text("zz"), sya::kRecordDelete | sya::kRecordDirty}, {Text("AB"), sya::kRecordDirty}};
  ASSERT_EQ(Pack(db), 0);
  const Bytes stream = StreamOf(End());
  const Bytes content = Concat({{0x00, 0x00, 0x00, 0x03}, Text("abc"), {0x00, 0xC0, 0x00, 0x00},
                                {0x00, 0x40, 0x00, 0x02}, Text("AB")});
  // One block, exactly what plain zlib at level 6 makes of the entries.
  EXPECT_EQ(Bytes(stream.begin() + 82, stream.end()), Block(content));
}

TEST_F(SyaPackTest, BlockBreaksBeforeAnEntryThatWouldPass30000) {
  Begin();
  TestDb db;
  db.records = {{Bytes(10000, 1)}, {Bytes(10000, 2)}, {Bytes(9990, 3)}};
  ASSERT_EQ(Pack(db), 0);
  const auto blocks = Blocks(StreamOf(End()), 82);
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(blocks[0].size(), 20008u);
  EXPECT_EQ(blocks[1].size(), 9994u);
  EXPECT_EQ(blocks[1][4], 3);
}

TEST_F(SyaPackTest, LargeFirstRecordIsPrecededByAnEmptyBlock) {
  Begin();
  TestDb db;
  db.records = {{Bytes(29993, 7)}};
  ASSERT_EQ(Pack(db), 0);
  const auto blocks = Blocks(StreamOf(End()), 82);
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_TRUE(blocks[0].empty());
  EXPECT_EQ(blocks[1].size(), 29997u);
}

TEST_F(SyaPackTest, AppInfoAndSortInfoBlocksComeFirst) {
  Begin();
  TestDb db;
  db.appInfo = Text("application info");
  db.sortInfo = Text("sort");
  db.records = {{Text("r")}};
  ASSERT_EQ(Pack(db), 0);
  const Bytes stream = StreamOf(End());
  EXPECT_EQ(core::LoadBE16(stream.data() + 16 + 60), 16);
  EXPECT_EQ(core::LoadBE16(stream.data() + 16 + 62), 4);
  EXPECT_EQ(core::LoadBE16(stream.data() + 16 + 64), 1);
  const auto blocks = Blocks(stream, 82);
  ASSERT_EQ(blocks.size(), 3u);
  EXPECT_EQ(blocks[0], Text("application info"));
  EXPECT_EQ(blocks[1], Text("sort"));
  EXPECT_EQ(blocks[2], Concat({{0, 0, 0, 1}, Text("r")}));
}

TEST_F(SyaPackTest, StreamFillsEveryRecordAndContinuesTheLastOne) {
  Begin();
  TestDb demo;
  ASSERT_EQ(Pack(demo, 50), 0);
  ASSERT_EQ(packer.PackDatabase(dir.Str(), "Demo.pdb", 50), 0);
  const ParsedPdb c = End();
  ASSERT_EQ(c.records.size(), 4u);  // 164 bytes: 50 + 50 + 50 + 14
  EXPECT_EQ(c.records[0].data.size(), 50u);
  EXPECT_EQ(c.records[2].data.size(), 50u);
  EXPECT_EQ(c.records[3].data.size(), 14u);
  const Bytes stream = StreamOf(c);
  const Bytes header(stream.begin() + 16, stream.begin() + 82);
  EXPECT_EQ(stream, Concat({Marker(), header, Marker(), header}));
}

TEST_F(SyaPackTest, LargeStreamIsCutAtTheMaximumRecordSize) {
  Begin();
  TestDb big;
  big.name = "Big";
  for (int i = 0; i < 3; ++i) big.records.push_back({Random(21000, 10 + i)});
  ASSERT_EQ(Pack(big), 0);
  TestDb demo;
  ASSERT_EQ(Pack(demo), 0);
  const ParsedPdb c = End();
  const Bytes stream = StreamOf(c);
  ASSERT_EQ(c.records.size(), 3u);
  EXPECT_EQ(c.records[0].data.size(), 30000u);
  EXPECT_EQ(c.records[1].data.size(), 30000u);
  // The second database's lead continues the third record.
  EXPECT_EQ(Bytes(stream.end() - 82, stream.end() - 66), Marker());
  EXPECT_GT(c.records[2].data.size(), 82u);
  EXPECT_EQ(c.appInfo, Concat({{0x00, 0x02}, Text("Big"), {0x00}, Text("Demo"), {0x00, 0x00, 0x03}}));
}

TEST_F(SyaPackTest, DirectoryListsNamesAndRecordCount) {
  Begin();
  TestDb a, bc;
  a.name = "A";
  bc.name = "BC";
  ASSERT_EQ(Pack(a, 100), 0);
  ASSERT_EQ(Pack(bc, 100), 0);
  const ParsedPdb c = End();
  EXPECT_EQ(c.records.size(), 2u);
  EXPECT_EQ(c.appInfo, (Bytes{0x00, 0x02, 0x41, 0x00, 0x42, 0x43, 0x00, 0x00, 0x02}));
}

TEST_F(SyaPackTest, FailuresLeaveTheContainerAsItWas) {
  Begin();
  TestDb demo;
  ASSERT_EQ(Pack(demo, 50), 0);
  const auto check = [&](int expected, const std::function<int()>& call, const char* what) {
    EXPECT_EQ(call(), expected) << what;
  };
  check(1009, [&] { return packer.PackDatabase(dir.Str(), "Demo.pdb", 49); }, "record size 49");
  check(1009, [&] { return packer.PackDatabase(dir.Str(), "Demo.pdb", 30001); }, "record size 30001");
  check(1003, [&] { return packer.PackDatabase(dir.Str(), "Missing.pdb", 30000); }, "missing file");
  check(1002, [&] { return packer.PackDatabase(dir.Str() + "/nowhere", "Demo.pdb", 30000); }, "missing dir");
  dir.WriteFile("Junk.pdb", std::string(20, 'j'));
  check(1004, [&] { return packer.PackDatabase(dir.Str(), "Junk.pdb", 30000); }, "no database");
  TestDb app;
  app.name = "App";
  app.appInfo = Bytes(30001, 1);
  check(1017, [&] { return Pack(app); }, "AppInfo 30001");
  TestDb sort;
  sort.name = "Sort";
  sort.sortInfo = Bytes(30001, 1);
  check(1019, [&] { return Pack(sort); }, "SortInfo 30001");
  TestDb huge;
  huge.name = "Huge";
  huge.records = {{Text("fine")}, {Bytes(30001, 1)}};
  check(1013, [&] { return Pack(huge); }, "record 30001");

  const ParsedPdb c = End();
  EXPECT_EQ(StreamOf(c).size(), 82u) << "nothing of a failed database stays in the stream";
  EXPECT_EQ(c.appInfo, Concat({{0x00, 0x01}, Text("Demo"), {0x00, 0x00, 0x02}}));
}

TEST_F(SyaPackTest, OpenAndClosedContainerCodes) {
  EXPECT_EQ(packer.EndPack(), 1021);
  EXPECT_EQ(packer.PackDatabase(dir.Str(), "Demo.pdb", 30000), 1021);
  EXPECT_EQ(packer.AbandonPack(), 1021);
  Begin();
  EXPECT_EQ(packer.BeginPack(dir.Str(), "Other.pdb", "Other", "PDBP"), 1020);
  EXPECT_THROW(sya::TSyaPacker().BeginPack(dir.Str(), "x.pdb", std::string(32, 'n'), "PDBP"), sya::EPDBException);
}

TEST_F(SyaPackTest, ContainerReplacesTheEarlierFileOnlyWhenComplete) {
  dir.WriteFile("Kestor_In.pdb", std::string("earlier container"));
  Begin();
  TestDb demo;
  ASSERT_EQ(Pack(demo), 0);
  EXPECT_EQ(dir.ReadFile("Kestor_In.pdb"), "earlier container");
  // An abandoned container leaves the earlier one and no temporary file, and packing can start again.
  EXPECT_EQ(packer.AbandonPack(), 0);
  EXPECT_EQ(dir.ReadFile("Kestor_In.pdb"), "earlier container");
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"Demo.pdb", "Kestor_In.pdb"}));
  Begin();
  ASSERT_EQ(Pack(demo), 0);
  End();
  EXPECT_NE(dir.ReadFile("Kestor_In.pdb"), "earlier container");
  EXPECT_EQ(dir.List().size(), 2u);
}

TEST_F(SyaPackTest, DestroyingAPackerDropsItsUnfinishedContainer) {
  {
    sya::TSyaPacker local;
    ASSERT_EQ(local.BeginPack(dir.Str(), "Lost.pdb", "Lost", "PDBP"), 0);
  }
  EXPECT_TRUE(dir.List().empty());
}

TEST_F(SyaPackTest, ProcessPackerFunctions) {
  EXPECT_EQ(sya::SyaEndPack(), 1021);
  ASSERT_EQ(sya::SyaBeginPack(dir.Str(), "P.pdb", "P", "PDBP"), 0);
  EXPECT_EQ(sya::SyaBeginPack(dir.Str(), "P.pdb", "P", "PDBP"), 1020);
  // A failed pack no longer blocks the next container: it is abandoned.
  EXPECT_EQ(sya::SyaPackDatabase(dir.Str(), "Missing.pdb", 30000), 1003);
  EXPECT_EQ(sya::SyaAbandonPack(), 0);
  ASSERT_EQ(sya::SyaBeginPack(dir.Str(), "P.pdb", "P", "PDBP"), 0);
  EXPECT_EQ(sya::SyaEndPack(), 0);
  EXPECT_TRUE(dir.Exists("P.pdb"));
}

// Blocks compressed on several threads land in the stream exactly as one after the other; the
// reference is the one-thread packer, whose blocks are plain zlib at level 6 (see
// RecordBlocksCarryAttributeWordSizeAndBytes).
TEST_F(SyaPackTest, ThreadsGiveTheBytesOfOneThread) {
  std::vector<TestDb> dbs(4);
  for (std::size_t d = 0; d < dbs.size(); ++d) {
    dbs[d].name = "Db" + std::to_string(d);
    dbs[d].appInfo = Random(700, 1 + d);
    for (std::uint32_t i = 0; i < 60; ++i) dbs[d].records.push_back({Random(1000 + 97 * i % 9000, 10 * d + i)});
    WriteTestDb(dir.Path(), dbs[d].name + ".pdb", dbs[d]);
  }
  TestDb huge;
  huge.name = "Huge";
  huge.records = {{Random(20000, 3)}, {Random(20000, 4)}, {Bytes(30001, 1)}};
  WriteTestDb(dir.Path(), "Huge.pdb", huge);
  const auto packWith = [&](unsigned threads) {
    sya::TSyaPacker p(threads);
    EXPECT_EQ(p.BeginPack(dir.Str(), "T.pdb", "T", "PDBP"), 0);
    for (const auto& file : {"Db0.pdb", "Db1.pdb", "Huge.pdb", "Db2.pdb", "Db3.pdb"})
      EXPECT_EQ(p.PackDatabase(dir.Str(), file, std::string_view(file) == "Db2.pdb" ? 777 : 30000),
                std::string_view(file) == "Huge.pdb" ? 1013 : 0);
    EXPECT_EQ(p.EndPack(), 0);
    return ParsePdb(dir.ReadBytes("T.pdb"));
  };
  const ParsedPdb one = packWith(1), four = packWith(4);
  EXPECT_EQ(four.appInfo, one.appInfo);
  ASSERT_EQ(four.records.size(), one.records.size());
  for (std::size_t i = 0; i < one.records.size(); ++i) EXPECT_EQ(four.records[i].data, one.records[i].data) << i;
}

// 65535 container records of 50 bytes hold about 3.2 MB of stream.
TEST_F(SyaPackTest, ContainerRecordCountIsNeverWrapped) {
  Begin();
  TestDb big;
  big.name = "Big";
  for (int i = 0; i < 110; ++i) big.records.push_back({Random(29900, 100 + i)});
  EXPECT_EQ(Pack(big, 50), 1012) << "would pass 65535 records";
  TestDb fits;
  fits.name = "Fits";
  for (int i = 0; i < 109; ++i) fits.records.push_back({Random(29900, 100 + i)});
  ASSERT_EQ(Pack(fits, 50), 0);
  TestDb demo;
  EXPECT_EQ(Pack(demo, 50), 1012) << "already more than 65000 records";
  const ParsedPdb c = End();
  EXPECT_GT(c.records.size(), 65000u);
  EXPECT_EQ(core::LoadBE16(c.appInfo.data() + c.appInfo.size() - 2), c.records.size());
}

}  // namespace
