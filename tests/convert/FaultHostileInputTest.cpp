// Hostile containers seen through the whole program: "PDB -> TXT" with a Kestor_Out.pdb whose
// database names try to leave the destination, whose sizes and offsets point far beyond the
// file, or whose counts would wrap. Each is refused with its code or message and a failure
// status; nothing is written outside the destination and the earlier text files stay.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "sync/SyncTestUtil.h"
#include "ConversionTestUtil.h"
#include "FaultTestUtil.h"
#include "core/ByteIO.h"

namespace converttest {
namespace {

using core::Bytes;
using testsupport::TempDir;
namespace fs = std::filesystem;

constexpr std::size_t kRecordCountAt = 76;  // the 16-bit record count of a PDB header
constexpr std::size_t kRecordListAt = 78;   // 8 bytes per record: offset, attributes, unique id
constexpr std::size_t kAppInfoAt = 52;

class FaultHostileInput : public ::testing::Test {
 protected:
  FaultHostileInput() {
    fs::create_directory(handheld);
    fs::create_directory(dest);
    for (const char* name : {"Order.txt", "OrderItem.txt", "Cash.txt"})
      WriteFile(dest / name, std::string("earlier ") + name + "\r\n");
  }

  static void WriteFile(const fs::path& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  static void WriteFile(const fs::path& path, const Bytes& bytes) { WriteFile(path, std::string(bytes.begin(), bytes.end())); }

  // A container whose stream is `stream`, cut into records of `recordSize` bytes.
  void Container(const Bytes& stream, std::size_t recordSize = 30000) {
    synctest::WriteContainer(handheld, "Kestor_Out.pdb", stream, recordSize);
  }
  // A well-formed container of a few documents, as bytes to damage.
  Bytes GoodContainer() {
    WriteLargeContainer(handheld.string(), 1500);
    return root.ReadBytes("handheld/Kestor_Out.pdb");
  }

  ChildResult Run() { return RunProgramLimited({"PDBTOTXT", handheld.string(), dest.string()}, std::nullopt); }

  // Nothing besides the two directories in the root, and the destination holding only what it
  // held (plus `allowed`).
  void ExpectNothingOutside(const std::vector<std::string>& allowed = {}) {
    EXPECT_EQ(root.List(), (std::vector<std::string>{"dest", "handheld"}));
    for (const auto& entry : fs::directory_iterator(dest)) {
      const std::string name = entry.path().filename().string();
      const bool earlier = name == "Order.txt" || name == "OrderItem.txt" || name == "Cash.txt";
      EXPECT_TRUE(earlier || std::find(allowed.begin(), allowed.end(), name) != allowed.end()) << name;
    }
  }
  void ExpectEarlierTextFiles() {
    for (const char* name : {"Order.txt", "OrderItem.txt", "Cash.txt"})
      EXPECT_EQ(root.ReadFile(std::string("dest/") + name), std::string("earlier ") + name + "\r\n");
  }

  TempDir root;
  fs::path handheld = root / "handheld";
  fs::path dest = root / "dest";
};

std::string Describe(const ChildResult& r) {
  return "exited=" + std::to_string(r.exited) + " code=" + std::to_string(r.code) + " signal=" +
         std::to_string(r.signal) + "\nstderr: " + r.err;
}

const std::string kUnpackFailure = "Vestibo: Ошибка при распаковке данных: ";

TEST_F(FaultHostileInput, DatabaseNamesThatLeaveTheDestinationAreRefused) {
  const Bytes records = synctest::Block(synctest::Entry(0, synctest::Random(40, 1)));
  for (const std::string name : {"../Kestor_OrderDb", "../../etc/evil", "/tmp/evil", "..", ".", "",
                                 "sub\\..\\..\\evil", "dest/../../evil"}) {
    SCOPED_TRACE(name);
    Container(synctest::Concat({synctest::Marker(), synctest::Header(name, 0, 0, 1), records}));
    const ChildResult r = Run();
    ASSERT_TRUE(r.exited) << Describe(r);
    EXPECT_EQ(r.code, 1) << Describe(r);
    EXPECT_EQ(r.err, kUnpackFailure + "1029\n");
    ExpectNothingOutside();
    ExpectEarlierTextFiles();
  }
  EXPECT_FALSE(fs::exists("/tmp/evil.pdb"));
}

TEST_F(FaultHostileInput, DamagedStreamsStopWithTheirCodes) {
  const Bytes lead = synctest::Concat({synctest::Marker(), synctest::Header("Kestor_OrderDb", 0, 0, 1)});
  Bytes hugeBlock = synctest::Block(synctest::Entry(0, synctest::Random(500, 4)));
  core::StoreBE32(hugeBlock.data(), 0xFFFFFFFFu);  // a block length far beyond the stream
  Bytes entryPastBlock = synctest::Concat({{0, 0, 0xFF, 0xFF}, synctest::Text("abc")});  // 65535 bytes announced
  // More entries than a Palm database can count: its 16-bit record count would wrap to 0.
  std::vector<Bytes> blocks;
  for (int b = 0; b < 6; ++b) {
    Bytes entries;
    for (int i = 0; i < 11000; ++i) {
      const Bytes e = synctest::Entry(0, {static_cast<std::uint8_t>(i)});
      entries.insert(entries.end(), e.begin(), e.end());
    }
    blocks.push_back(synctest::Block(entries));
  }
  Bytes tooMany = synctest::Concat({synctest::Marker(), synctest::Header("Kestor_OrderDb", 0, 0, 0xFFFF)});
  for (const Bytes& b : blocks) tooMany.insert(tooMany.end(), b.begin(), b.end());

  struct Case {
    const char* what;
    Bytes stream;
    int code;
  };
  const std::vector<Case> cases = {
      {"block length beyond the stream", synctest::Concat({lead, hugeBlock}), 1030},
      {"entry size beyond its block", synctest::Concat({lead, synctest::Block(entryPastBlock)}), 1030},
      {"stream cut inside a block", synctest::Concat({lead, Bytes(hugeBlock.begin(), hugeBlock.begin() + 3)}), 1028},
      {"66000 records in one database", tooMany, 1030},
      {"no marker", synctest::Text("just some bytes that are no container stream"), 1006},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Container(c.stream);
    const ChildResult r = Run();
    ASSERT_TRUE(r.exited) << Describe(r);
    EXPECT_EQ(r.code, 1) << Describe(r);
    EXPECT_EQ(r.err, kUnpackFailure + std::to_string(c.code) + "\n");
    ExpectNothingOutside();
    ExpectEarlierTextFiles();
  }
}

TEST_F(FaultHostileInput, ContainerHeadersPointingBeyondTheFileAreRefused) {
  const Bytes good = GoodContainer();
  ASSERT_GT(good.size(), kRecordListAt + 16);
  const std::uint16_t records = core::LoadBE16(good.data() + kRecordCountAt);
  ASSERT_GT(records, 1);
  struct Case {
    const char* what;
    std::size_t at;
    int width;  // 2 or 4 bytes
    std::uint32_t value;
  };
  const std::vector<Case> cases = {
      {"record count far beyond the record list", kRecordCountAt, 2, 0xFFFF},
      {"first record beyond the end of the file", kRecordListAt, 4, 0xFFFFFFF0u},
      {"second record before the first", kRecordListAt + 8, 4, 0},
      {"last record one past the end", kRecordListAt + 8u * (records - 1u), 4, static_cast<std::uint32_t>(good.size() + 1)},
      {"AppInfo block beyond the end", kAppInfoAt, 4, 0x7FFFFFFFu},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes damaged = good;
    if (c.width == 2) core::StoreBE16(damaged.data() + c.at, static_cast<std::uint16_t>(c.value));
    else core::StoreBE32(damaged.data() + c.at, c.value);
    WriteFile(handheld / "Kestor_Out.pdb", damaged);
    const ChildResult r = Run();
    ASSERT_TRUE(r.exited) << Describe(r);
    EXPECT_EQ(r.code, 1) << Describe(r);
    EXPECT_TRUE(r.err.starts_with(kUnpackFailure)) << r.err;
    ExpectNothingOutside({"Kestor_OrderDb.pdb", "Kestor_OrderItemDb.pdb", "Kestor_CashDb.pdb"});
    ExpectEarlierTextFiles();
  }
}

// A container that unpacks, carrying an order database whose records are too short for their
// fields: the conversion stops with a message and a failure status, and writes nothing outside.
TEST_F(FaultHostileInput, DamagedDocumentDatabaseStopsTheConversion) {
  const Bytes shortRecords = synctest::Block(synctest::Concat(
      {synctest::Entry(0, {0, 0, 0, 1}), synctest::Entry(0, {0xFF}), synctest::Entry(0, synctest::Random(7, 2))}));
  const Bytes items = synctest::Block(synctest::Entry(0, Bytes(4 * 4 + 8, 0)));
  Container(synctest::Concat({synctest::Marker(), synctest::Header("Kestor_OrderDb", 0, 0, 3), shortRecords,
                              synctest::Marker(), synctest::Header("Kestor_OrderItemDb", 0, 0, 1), items}));
  const ChildResult r = Run();
  ASSERT_TRUE(r.exited) << Describe(r);
  EXPECT_EQ(r.code, 2) << Describe(r);
  EXPECT_TRUE(r.err.starts_with("Vestibo: ")) << r.err;
  EXPECT_GT(r.err.size(), std::string("Vestibo: \n").size()) << r.err;
  EXPECT_EQ(root.List(), (std::vector<std::string>{"dest", "handheld"}));
  EXPECT_TRUE(TemporaryFiles(dest.string()).empty());
  // The earlier text files stay whole: no file holding only its header takes their place.
  ExpectEarlierTextFiles();
}

}  // namespace
}  // namespace converttest
