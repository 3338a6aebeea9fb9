#include "sync/SyaUnpack.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include "SyncTestUtil.h"
#include "core/Files.h"
#include "support/TempDir.h"
#include "sync/SyaPack.h"
#include "sync/SyaSupport.h"
#include "sync/SyaZlib.h"

using namespace synctest;
using core::Bytes;
using core::TDateTime;

namespace {

class SyaUnpackTest : public ::testing::Test {
 protected:
  testsupport::TempDir in, out;

  // Packs the databases through the packer into in/Kestor_Out.pdb.
  void PackAll(const std::vector<TestDb>& dbs, std::size_t maxRecordSize = 30000) {
    sya::TSyaPacker packer;
    ASSERT_EQ(packer.BeginPack(in.Str(), "Kestor_Out.pdb", "Kestor_Out", "PDBP"), 0);
    for (const auto& db : dbs) {
      WriteTestDb(in.Path(), db.name + ".pdb", db);
      ASSERT_EQ(packer.PackDatabase(in.Str(), db.name + ".pdb", maxRecordSize), 0);
    }
    ASSERT_EQ(packer.EndPack(), 0);
  }
  int Unpack() { return sya::SyaUnpack(in.Str(), "Kestor_Out.pdb", out.Str()); }
  int UnpackStream(const Bytes& stream, std::size_t recordSize = 30000, bool trailers = false) {
    WriteContainer(in.Path(), "Kestor_Out.pdb", stream, recordSize, trailers);
    return Unpack();
  }
  ParsedPdb Output(const std::string& name) { return ParsePdb(out.ReadBytes(name + ".pdb")); }
};

TestDb Sample(const std::string& name, int records, std::uint32_t seed) {
  TestDb db;
  db.name = name;
  db.creator = "Cr" + name.substr(0, 1) + "1";
  db.type = "Ty" + name.substr(0, 1) + "2";
  db.flags = 0x0018;
  db.version = static_cast<std::uint16_t>(seed);
  db.created = *TDateTime::FromParts({2006, 5, 4, 3, 2, 1});
  db.modified = *TDateTime::FromParts({2007, 8, 9, 10, 11, 12});
  db.appInfo = Random(100 + seed, seed);
  for (int i = 0; i < records; ++i)
    db.records.push_back({Random(static_cast<std::size_t>((i * 7919 + seed) % 12000), seed + i),
                          static_cast<std::uint8_t>(i % 3 == 0 ? sya::kRecordDirty : 0), 55});
  return db;
}

TEST_F(SyaUnpackTest, PackThenUnpackGivesEveryDatabaseBack) {
  std::vector<TestDb> dbs = {Sample("A", 40, 1), Sample("B", 0, 2), Sample("C", 7, 3)};
  dbs[1].appInfo.clear();
  dbs[2].sortInfo = Text("sorted");
  dbs[2].records.push_back({Text("dropped"), sya::kRecordDelete, 0});
  PackAll(dbs, 1000);
  ASSERT_EQ(Unpack(), 0);
  EXPECT_EQ(out.List(), (std::vector<std::string>{"A.pdb", "B.pdb", "C.pdb"}));
  for (const auto& db : dbs) {
    SCOPED_TRACE(db.name);
    const ParsedPdb original = ParsePdb(in.ReadBytes(db.name + ".pdb"));
    const ParsedPdb copy = Output(db.name);
    EXPECT_EQ(copy.name, original.name);
    EXPECT_EQ(copy.creator, original.creator);
    EXPECT_EQ(copy.type, original.type);
    EXPECT_EQ(copy.attributes, original.attributes);
    EXPECT_EQ(copy.version, original.version);
    EXPECT_EQ(copy.created, original.created);
    EXPECT_EQ(copy.modified, original.modified);
    EXPECT_EQ(copy.appInfo, original.appInfo);
    EXPECT_EQ(copy.sortInfo, original.sortInfo);
    std::vector<ParsedPdb::Rec> kept;
    for (const auto& r : original.records)
      if (!(r.attrByte & 0x80) && !r.data.empty()) kept.push_back(r);
    ASSERT_EQ(copy.records.size(), kept.size());
    for (std::size_t i = 0; i < kept.size(); ++i) {
      EXPECT_EQ(copy.records[i].data, kept[i].data) << i;
      EXPECT_EQ(copy.records[i].attrByte, kept[i].attrByte & 0xF0) << "category 0";
      EXPECT_EQ(copy.records[i].uniqueID, 0u);
    }
  }
}

TEST_F(SyaUnpackTest, EntriesWithoutDataAreDroppedAndFlagsKept) {
  const Bytes entries = Concat({Entry(0x00C0, {}), Entry(0x0040, Text("AB")), Entry(0x0000, {})});
  ASSERT_EQ(UnpackStream(Concat({Marker(), Header("X", 0, 0, 3), Block(entries)})), 0);
  const ParsedPdb x = Output("X");
  ASSERT_EQ(x.records.size(), 1u);
  EXPECT_EQ(x.records[0].attrByte, 0x40);
  EXPECT_EQ(x.records[0].data, Text("AB"));
  EXPECT_EQ(x.created, 2713996800u);
}

TEST_F(SyaUnpackTest, AWrongRecordCountInTheHeaderGivesTheSameFile) {
  // A record flagged deleted that still carries bytes is listed without them.
  const Bytes data = Block(
      Concat({Entry(0x0040, Random(3000, 1)), Entry(0, {}), Entry(0x0080, Text("gone")), Entry(0, Random(70, 2))}));
  std::optional<Bytes> first;
  for (const std::uint16_t announced : {3, 4, 0, 1, 9}) {
    SCOPED_TRACE(announced);
    ASSERT_EQ(UnpackStream(Concat({Marker(), Header("R", 4, 0, announced), Block(Text("info")), data})), 0);
    const Bytes file = out.ReadBytes("R.pdb");
    if (!first) first = file;
    EXPECT_EQ(file, *first);
    EXPECT_EQ(out.List().size(), 1u) << "no temporary file left behind";
  }
  const ParsedPdb r = ParsePdb(*first);
  ASSERT_EQ(r.records.size(), 3u);
  EXPECT_EQ(r.appInfo, Text("info"));
  EXPECT_EQ(r.records[1].offset, 0u);
  EXPECT_EQ(r.records[2].data, Random(70, 2));
}

TEST(SyaDates, HeaderDatesDecodeByTheirFirstByte) {
  EXPECT_EQ(sya::DateFromPalmSeconds(Bytes{0xA1, 0xC4, 0x4E, 0x00}), *TDateTime::FromDate(1990, 1, 1));
  EXPECT_EQ(sya::DateFromPalmSeconds(Bytes{0x00, 0x00, 0x12, 0x34}), TDateTime());
  const TDateTime utc = TDateTime::FromUnixSeconds(0x7FFFFFFF - std::int64_t{core::StandardTimeZoneBiasMinutes()} * 60);
  EXPECT_NEAR(sya::DateFromPalmSeconds(0x7FFFFFFFu).Days(), utc.Days(), 1e-6);
}

TEST_F(SyaUnpackTest, DirectoryCountMustMatchTheContainer) {
  const Bytes stream = Concat({Marker(), Header("D", 0, 0, 0)});
  // Count 5 against 4 records.
  WriteContainer(in.Path(), "Kestor_Out.pdb", Concat({stream, stream, stream, stream}), 82, false,
                 Concat({{0, 4}, Text("D"), {0}, Text("D"), {0}, Text("D"), {0}, Text("D"), {0}, {0, 5}}));
  EXPECT_EQ(Unpack(), 1028);
  // A directory that ends right after its names passes.
  WriteContainer(in.Path(), "Kestor_Out.pdb", stream, 82, false, Concat({{0, 1}, Text("D"), {0}}));
  EXPECT_EQ(Unpack(), 0);
  EXPECT_TRUE(out.Exists("D.pdb"));
}

TEST_F(SyaUnpackTest, ChecksumTrailersAreCheckedAndStripped) {
  const Bytes stream = Concat({Marker(), Header("S", 0, 0, 1), Block(Entry(0, Random(3000, 9)))});
  ASSERT_EQ(UnpackStream(stream, 100, true), 0);
  EXPECT_EQ(Output("S").records.at(0).data, Random(3000, 9));

  WriteContainer(in.Path(), "Kestor_Out.pdb", stream, 100, true);
  Bytes file = in.ReadBytes("Kestor_Out.pdb");
  ParsedPdb c = ParsePdb(file);
  file[c.records[0].offset + 100] ^= 0x01;  // first checksum byte of record 0
  in.WriteFile("Kestor_Out.pdb", file);
  EXPECT_EQ(Unpack(), 1024);
}

TEST_F(SyaUnpackTest, BrokenStreamsStopWithACode) {
  const Bytes lead = Concat({Marker(), Header("T", 0, 0, 1)});
  const Bytes block = Block(Entry(0, Random(500, 4)));
  struct Case {
    const char* what;
    Bytes stream;
    int code;
  };
  Bytes longLength = block;
  core::StoreBE32(longLength.data(), 70000);
  const std::vector<Case> cases = {
      {"cut in the middle of a block", Concat({lead, Bytes(block.begin(), block.begin() + 200)}), 1028},
      {"cut inside a block length", Concat({lead, {0, 0}}), 1028},
      {"header cut short", Concat({Marker(), Bytes(20, 0)}), 1028},
      {"other first bytes", Concat({Text("#SyncAnywhereXX#"), Header("T", 0, 0, 0)}), 1006},
      {"bytes after a database announcing nothing", Concat({Marker(), Header("N", 0, 0, 0), Text("junk")}), 1030},
      {"block length past the window", Concat({lead, longLength}), 1030},
      {"block inflating past the buffer", Concat({lead, Block(Bytes(70000, 0))}), 1030},
      {"entry running past its block", Concat({lead, Block(Concat({{0, 0, 0, 9}, Text("abc")}))}), 1030},
      {"half an entry head", Concat({lead, Block({0, 0, 0})}), 1030},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UnpackStream(c.stream, 64), c.code) << c.what;
  }
  EXPECT_FALSE(out.Exists("T.pdb")) << "a database cut short is never written";
}

TEST_F(SyaUnpackTest, DamagedZlibDataRaises) {
  Bytes block = Block(Entry(0, Random(500, 4)));
  block[6] ^= 0xFF;
  block[7] ^= 0xFF;
  EXPECT_THROW(UnpackStream(Concat({Marker(), Header("Z", 0, 0, 1), block})), sya::EZDecompressionError);
  EXPECT_FALSE(out.Exists("Z.pdb"));
}

TEST_F(SyaUnpackTest, NamesThatWouldLeaveTheOutputDirectoryAreRefused) {
  for (const std::string name : {"../evil", "a/b", "..", ".", "", "sub\\x"}) {
    EXPECT_EQ(UnpackStream(Concat({Marker(), Header(name, 0, 0, 0)})), 1029) << name;
  }
  EXPECT_TRUE(out.List().empty());
  EXPECT_FALSE(std::filesystem::exists(out.Path().parent_path() / "evil.pdb"));
}

// A container refused part-way puts nothing in place, also not the databases before the fault.
TEST_F(SyaUnpackTest, RefusedContainersLeaveTheDestinationAsItWas) {
  const auto lead = [](const std::string& name, std::uint16_t records = 0) {
    return Concat({Marker(), Header(name, 0, 0, records)});
  };
  const Bytes block = Block(Entry(0, Random(500, 4)));
  struct Case {
    const char* what;
    Bytes stream;
    bool sameFolder;  // the destination is the container's own folder
    int code;
  };
  const std::vector<Case> cases = {
      {"a name twice", Concat({lead("Dup"), lead("Other"), lead("Dup")}), false, 1030},
      {"a name twice in another case", Concat({lead("Dup", 1), block, lead("DUP")}), false, 1030},
      {"a name leaving the folder after a good one", Concat({lead("Dup"), lead("../bad")}), false, 1029},
      {"cut short after a good database", Concat({lead("Dup"), lead("T", 1), Bytes(block.begin(), block.end() - 9)}),
       false, 1028},
      {"a database named like the container", Concat({lead("Dup"), lead("Kestor_Out")}), true, 1031},
      {"the same in another case", Concat({lead("KESTOR_OUT", 1), block}), true, 1031},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::TempDir folder;
    WriteContainer(folder.Path(), "Kestor_Out.pdb", c.stream, 64);
    const Bytes container = folder.ReadBytes("Kestor_Out.pdb");
    const auto& dest = c.sameFolder ? folder : out;
    dest.WriteFile("Dup.pdb", std::string("earlier"));
    const auto before = dest.List();
    EXPECT_EQ(sya::SyaUnpack(folder.Str(), "Kestor_Out.pdb", dest.Str()), c.code);
    EXPECT_EQ(dest.List(), before);
    EXPECT_EQ(dest.ReadFile("Dup.pdb"), "earlier");
    EXPECT_EQ(folder.ReadBytes("Kestor_Out.pdb"), container);
  }
}

// Writes fail past this file size as they do on a full disk.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved_;
    limited.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limited);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, SIG_DFL);
  }

 private:
  rlimit saved_{};
};

TEST_F(SyaUnpackTest, DestinationWithoutRoomIsAnErrorWithNothingLeftBehind) {
  TestDb big = Sample("Big", 0, 5);
  for (int i = 0; i < 40; ++i) big.records.push_back({Random(20000, 50 + i)});
  PackAll({Sample("Small", 3, 1), big});
  try {
    FileSizeLimit limit(256 * 1024);
    Unpack();
    FAIL() << "no error";
  } catch (const core::FileError& e) {
    EXPECT_NE(std::string(e.what()).find("Big.pdb"), std::string::npos) << e.what();
  }
  EXPECT_TRUE(out.List().empty());
}

TEST_F(SyaUnpackTest, HeaderNamesTheLibraryRefusesRaise) {
  try {
    UnpackStream(Concat({Marker(), Header("Bell\x07", 0, 0, 0)}));
    FAIL() << "no exception";
  } catch (const sya::EPDBException& e) {
    EXPECT_STREQ(e.what(), "Invalid Filename!");
  }
  EXPECT_THROW(UnpackStream(Concat({Marker(), Header(std::string(32, 'L'), 0, 0, 0)})), sya::EPDBException);
  EXPECT_TRUE(out.List().empty());
}

TEST_F(SyaUnpackTest, FailureKeepsTheEarlierFileOfTheBrokenDatabase) {
  out.WriteFile("T.pdb", std::string("earlier"));
  const Bytes block = Block(Entry(0, Random(500, 4)));
  EXPECT_EQ(UnpackStream(Concat({Marker(), Header("T", 0, 0, 2), block, Bytes(block.begin(), block.begin() + 30)})),
            1028);
  EXPECT_EQ(out.ReadFile("T.pdb"), "earlier");
  EXPECT_EQ(out.List().size(), 1u) << "no temporary file left behind";
}

TEST_F(SyaUnpackTest, PathAndContainerCodes) {
  EXPECT_EQ(sya::SyaUnpack(in.Str() + "/missing", "Kestor_Out.pdb", out.Str()), 1002);
  EXPECT_EQ(Unpack(), 1003);
  in.WriteFile("Kestor_Out.pdb", std::string(10, 'x'));
  EXPECT_EQ(Unpack(), 1004);
  WriteContainer(in.Path(), "Kestor_Out.pdb", {}, 100);
  EXPECT_EQ(Unpack(), 1005);
  in.WriteFile("plain", std::string("file"));
  EXPECT_EQ(sya::SyaUnpack(in.Str(), "Kestor_Out.pdb", (in.Path() / "plain" / "x").string()), 1001);

  // An output directory two levels below an existing one is created.
  WriteContainer(in.Path(), "Kestor_Out.pdb", Concat({Marker(), Header("Deep", 0, 0, 0)}), 100);
  const auto deep = out.Path() / "one" / "two";
  EXPECT_EQ(sya::SyaUnpack(in.Str(), "kestor_out.PDB", deep.string()), 0);
  EXPECT_TRUE(std::filesystem::exists(deep / "Deep.pdb"));
}

TEST_F(SyaUnpackTest, EmptyContainerRecordFailsTheChecksumCheck) {
  TestDb c;
  c.name = "Kestor_Out";
  c.creator = "PDBP";
  c.type = "PKDT";
  c.records = {{Bytes{}}, {Concat({Marker(), Header("E", 0, 0, 0)})}};
  WriteTestDb(in.Path(), "Kestor_Out.pdb", c);
  EXPECT_EQ(Unpack(), 1024);
}

}  // namespace
