#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/Files.h"
#include "support/TempDir.h"

using namespace core;
using testsupport::TempDir;

TEST(Files, NamesMatchWithoutRegardToCase) {
  TempDir dir;
  dir.WriteFile("PRODUCT.TXT", "x");
  EXPECT_TRUE(ExistsNoCase(dir.Path(), "Product.txt"));
  EXPECT_EQ(ResolveNoCase(dir.Path(), "product.txt").filename(), "PRODUCT.TXT");
  EXPECT_EQ(ResolveNoCase(dir.Path(), "Order.txt").filename(), "Order.txt");
  EXPECT_FALSE(ExistsNoCase(dir.Path() / "missing", "x"));
  dir.WriteFile("product.txt", "y");
  DeleteNoCase(dir.Path(), "Product.TXT");
  EXPECT_TRUE(dir.List().empty());
}

TEST(Files, JoinPathKeepsTheDirectoryAsTyped) {
  EXPECT_EQ(JoinPath("/data", "Kestor_In.pdb"), "/data/Kestor_In.pdb");
  EXPECT_EQ(JoinPath("/data/", "x"), "/data//x");
}

TEST(Files, AtomicWriterReplacesOnlyOnCommit) {
  TempDir dir;
  dir.WriteFile("out.pdb", "old");
  {
    AtomicFileWriter writer(dir / "out.pdb");
    writer.Write(std::string_view("new contents"));
    EXPECT_EQ(dir.ReadFile("out.pdb"), "old");
    EXPECT_EQ(dir.List().size(), 2u);
  }  // abandoned
  EXPECT_EQ(dir.List(), std::vector<std::string>{"out.pdb"});
  EXPECT_EQ(dir.ReadFile("out.pdb"), "old");

  AtomicFileWriter writer(dir / "out.pdb");
  writer.Write(std::string_view("new"));
  writer.Commit();
  EXPECT_EQ(dir.ReadFile("out.pdb"), "new");
  EXPECT_EQ(dir.List(), std::vector<std::string>{"out.pdb"});
}

TEST(Files, AtomicWriterOverwritesWhatItWroteBefore) {
  TempDir dir;
  const auto bytes = [](std::string_view text) {
    return std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  };
  AtomicFileWriter writer(dir / "head.bin");
  writer.Write(std::string_view("....body"));
  writer.WriteAt(0, bytes("HEAD"));
  writer.Write(std::string_view("!"));
  EXPECT_THROW(writer.WriteAt(8, bytes("xy")), std::out_of_range);
  writer.Commit();
  EXPECT_EQ(dir.ReadFile("head.bin"), "HEADbody!");
}

TEST(Files, AtomicWriterFailsCleanlyInAMissingDirectory) {
  TempDir dir;
  EXPECT_THROW(AtomicFileWriter(dir / "nope" / "x.pdb"), FileError);
  EXPECT_THROW(ReadWholeFile(dir / "nope.bin"), FileError);
}

TEST(Files, AtomicWriterKeepsTheOrderOfSmallAndLargeWrites) {
  TempDir dir;
  std::string expected;
  {
    AtomicFileWriter writer(dir / "mix.bin");
    for (int round = 0; round < 3; ++round) {
      for (int i = 0; i < 5000; ++i) {
        const std::string small = std::to_string(i) + ";";
        writer.Write(small);
        expected += small;
      }
      const std::string large(200000, static_cast<char>('a' + round));
      writer.Write(large);
      expected += large;
    }
    EXPECT_EQ(writer.Size(), expected.size());
    writer.Commit();
  }
  EXPECT_EQ(dir.ReadFile("mix.bin"), expected);
}

namespace {
// The id of a process that has ended.
long EndedProcessId() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  return child;
}
}  // namespace

TEST(Files, AtomicWriterSweepsTemporariesOfEndedRunsOnly) {
  TempDir dir;
  const long ended = EndedProcessId();
  const std::string host = HostNameForFiles();
  const std::string abandoned = TemporaryNamePrefix("out.pdb", ended, host) + "123";
  const std::string running = TemporaryNamePrefix("out.pdb", ::getppid(), host) + "456";
  const std::string otherFile = TemporaryNamePrefix("other.pdb", ended, host) + "7";
  // A process id of another machine sharing the directory says nothing about processes here.
  const std::string otherHost = TemporaryNamePrefix("out.pdb", ended, host + "x") + "8";
  const std::vector<std::string> kept = {running, otherFile, otherHost, ".out.pdb.tmp", ".out.pdb.tmp12@" + host + ".x"};
  dir.WriteFile(abandoned, "partial");
  for (const auto& name : kept) dir.WriteFile(name, "partial");

  WriteWholeFile(dir / "out.pdb", std::span<const std::uint8_t>());
  const auto names = dir.List();
  EXPECT_EQ(std::count(names.begin(), names.end(), abandoned), 0);
  for (const auto& name : kept) EXPECT_EQ(std::count(names.begin(), names.end(), name), 1) << name;
  EXPECT_EQ(dir.ReadFile("out.pdb"), "");
}

TEST(Files, SyncsReportAMissingFileOrDirectory) {
  TempDir dir;
  EXPECT_NO_THROW(SyncDirectory(dir.Path()));
  EXPECT_THROW(SyncDirectory(dir / "missing"), FileError);
  EXPECT_THROW(SyncFile(dir / "missing"), FileError);
}

// A deferred file is complete once sealed: the caller syncs it under its hidden name, then commits.
TEST(Files, DeferredWriterHandsOverWholeFilesForTheCallerToSync) {
  TempDir dir;
  AtomicFileWriter writer(dir / "out.pdb", Durability::Deferred);
  writer.Write(std::string(100000, 'x'));
  writer.Seal();
  EXPECT_NO_THROW(SyncFile(writer.TempPath()));
  writer.Commit();
  EXPECT_EQ(dir.List(), std::vector<std::string>{"out.pdb"});
  EXPECT_EQ(dir.ReadFile("out.pdb"), std::string(100000, 'x'));
}

TEST(Files, TwoWritersOfOneFileKeepApartUntilCommit) {
  TempDir dir;
  AtomicFileWriter first(dir / "out.pdb");
  AtomicFileWriter second(dir / "out.pdb");
  EXPECT_NE(first.TempPath(), second.TempPath());
  first.Write(std::string_view("first"));
  second.Write(std::string_view("second"));
  second.Commit();
  EXPECT_EQ(dir.ReadFile("out.pdb"), "second");
  first.Commit();
  EXPECT_EQ(dir.ReadFile("out.pdb"), "first");
  EXPECT_EQ(dir.List(), std::vector<std::string>{"out.pdb"});
}
