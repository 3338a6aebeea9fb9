// Writes the seed inputs of the packager's fuzz targets when VESTIBO_FUZZ_SEED_DIR names a
// directory (scripts and developers call it so; a plain test run skips it):
//   VESTIBO_FUZZ_SEED_DIR=fuzz/corpus build-asan/tests/sync/sync_tests --gtest_filter='SyaFuzzSeeds.*'
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "SyncTestUtil.h"
#include "core/Files.h"
#include "support/TempDir.h"
#include "sync/SyaPack.h"

using namespace synctest;
using core::Bytes;

namespace {

std::vector<TestDb> SeedDatabases() {
  TestDb a;
  a.name = "Kestor_OrderDb";
  a.appInfo = Text("app");
  a.sortInfo = Text("so");
  a.records = {{Concat({{0xFF, 0xFE}, Text("AB"), {0x00, 0xC6, 0x63}})},
               {Text("x"), sya::kRecordDirty},
               {{}, sya::kRecordDelete}};
  TestDb b;
  b.name = "Kestor_CashDb";
  b.version = 1;
  for (int i = 0; i < 20; ++i) b.records.push_back({Random(200, i)});
  TestDb c;
  c.name = "Empty";
  return {a, b, c};
}

TEST(SyaFuzzSeeds, WriteSeeds) {
  const char* target = std::getenv("VESTIBO_FUZZ_SEED_DIR");
  if (!target) GTEST_SKIP() << "VESTIBO_FUZZ_SEED_DIR not set";
  const std::filesystem::path root(target);
  std::filesystem::create_directories(root / "sya_unpack");
  std::filesystem::create_directories(root / "sya_open");
  testsupport::TempDir work;
  const auto dbs = SeedDatabases();
  for (const auto& db : dbs) WriteTestDb(work.Path(), db.name + ".pdb", db);

  // Containers: the usual record size, the smallest one, and one with checksum trailers.
  for (std::size_t recordSize : {std::size_t{30000}, std::size_t{50}}) {
    sya::TSyaPacker packer;
    ASSERT_EQ(packer.BeginPack(work.Str(), "c.pdb", "Kestor_Out", "PDBP"), 0);
    for (const auto& db : dbs) ASSERT_EQ(packer.PackDatabase(work.Str(), db.name + ".pdb", recordSize), 0);
    ASSERT_EQ(packer.EndPack(), 0);
    core::WriteWholeFile(root / "sya_unpack" / ("container-" + std::to_string(recordSize)), work.ReadBytes("c.pdb"));
  }
  const ParsedPdb packed = ParsePdb(work.ReadBytes("c.pdb"));
  WriteContainer(work.Path(), "t.pdb", StreamOf(packed), 700, true, packed.appInfo);
  core::WriteWholeFile(root / "sya_unpack" / "container-trailers", work.ReadBytes("t.pdb"));

  // Databases with field lists: PSInt16, String(0), PSDate / every fixed type / none.
  const std::vector<Bytes> prefixes = {{3, 9, 6, 0, 14},
                                       {7, 0, 1, 2, 3, 4, 5, 16},
                                       {0}};
  for (std::size_t i = 0; i < dbs.size(); ++i) {
    const Bytes file = work.ReadBytes(dbs[i].name + ".pdb");
    core::WriteWholeFile(root / "sya_open" / ("db-" + std::to_string(i)), Concat({prefixes[i], file}));
  }
}

}  // namespace
