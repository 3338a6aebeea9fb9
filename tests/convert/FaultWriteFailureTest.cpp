// Write failures in every step that writes a file: the program and the library calls run in a
// child process whose files may not grow beyond a limit (write() then fails with EFBIG). Each
// run must end with a message and a failure status, keep every earlier output byte for byte,
// leave no partial file under a final name and no temporary file behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "ConversionTestUtil.h"
#include "FaultTestUtil.h"
#include "convert/HandheldDatabases.h"
#include "core/Files.h"
#include "sync/SyaUnpack.h"
#include "text/nqTXTTable.h"

namespace converttest {
namespace {

using testsupport::TempDir;

// From nothing may be written up to more than any output of these tests needs.
const std::vector<rlim_t> kLimits = {0, 1, 1024, 10 * 1024, 100 * 1024, 1024 * 1024, 64 * 1024 * 1024};

void Restore(const TempDir& dir, const Snapshot& snapshot) {
  for (const auto& name : dir.List()) std::filesystem::remove_all(dir / name);
  for (const auto& [name, bytes] : snapshot) dir.WriteFile(name, bytes);
}

std::string Describe(const ChildResult& r) {
  return "exited=" + std::to_string(r.exited) + " code=" + std::to_string(r.code) +
         " signal=" + std::to_string(r.signal) + "\nstdout: " + r.out + "\nstderr: " + r.err;
}

bool IsReferenceDatabase(const std::string& name) {
  for (const auto* db : {&convert::kProductDB, &convert::kProductIndexDB, &convert::kCategoryDB, &convert::kProdCatIndexDB,
                         &convert::kCustomerDB, &convert::kCustomerIndexDB, &convert::kNote1DB, &convert::kNote2DB})
    if (db->fileName == name) return true;
  return false;
}

TEST(FaultWriteFailure, TxtToPdbKeepsTheEarlierContainerAtEveryLimit) {
  TempDir office, dest;
  WriteLargeOffice(office, 3000, 1000);
  // The earlier container, made from a smaller export, and a file of somebody else.
  {
    TempDir small;
    WriteLargeOffice(small, 10, 5);
    ASSERT_EQ(RunProgramLimited({"TXTTOPDB", small.Str(), dest.Str()}, std::nullopt).code, 0);
  }
  dest.WriteFile("keep.txt", "not ours");
  const Snapshot earlier = TakeSnapshot(dest.Str());
  ASSERT_EQ(earlier.size(), 2u);

  int failures = 0;
  for (rlim_t limit : kLimits) {
    SCOPED_TRACE("limit " + std::to_string(limit));
    Restore(dest, earlier);
    const ChildResult r = RunProgramLimited({"TXTTOPDB", office.Str(), dest.Str()}, limit);
    ASSERT_TRUE(r.exited) << Describe(r);
    EXPECT_TRUE(TemporaryFiles(dest.Str()).empty()) << ::testing::PrintToString(dest.List());
    const Snapshot after = TakeSnapshot(dest.Str());
    EXPECT_EQ(after.at("keep.txt"), "not ours");
    if (r.code == 0) {
      EXPECT_EQ(ProductsInContainer(dest.Str(), "Kestor_In.pdb"), 3000);
      EXPECT_EQ(after.size(), 2u) << ::testing::PrintToString(dest.List());
      continue;
    }
    ++failures;
    EXPECT_EQ(r.code, 2) << Describe(r);
    EXPECT_NE(r.err.find("Vestibo: cannot write "), std::string::npos) << Describe(r);
    EXPECT_EQ(after.at("Kestor_In.pdb"), earlier.at("Kestor_In.pdb"));
    // What stands besides: separate databases finished before the failure, each whole.
    for (const auto& [name, bytes] : after) {
      if (name == "keep.txt" || name == "Kestor_In.pdb") continue;
      EXPECT_TRUE(IsReferenceDatabase(name)) << name;
      EXPECT_TRUE(DatabaseReads(dest.Str(), name)) << name;
    }
  }
  // The small limits must fail, the largest must not.
  EXPECT_GE(failures, 4);
  EXPECT_LT(failures, static_cast<int>(kLimits.size()));
}

TEST(FaultWriteFailure, PdbToTxtLeavesEachTextFileEarlierOrWhole) {
  TempDir handheld, dest, reference;
  WriteLargeContainer(handheld.Str(), 1500);
  // The files a run without limits writes.
  ASSERT_EQ(RunProgramLimited({"PDBTOTXT", handheld.Str(), reference.Str()}, std::nullopt).code, 0);
  const Snapshot complete = TakeSnapshot(reference.Str());
  const std::vector<std::string> texts = {"Order.txt", "OrderItem.txt", "Cash.txt"};
  for (const auto& name : texts) ASSERT_TRUE(complete.contains(name)) << name;

  for (const auto& name : texts) dest.WriteFile(name, "earlier " + name + "\r\n");
  dest.WriteFile("keep.txt", "not ours");
  const Snapshot earlier = TakeSnapshot(dest.Str());

  // Besides the fixed limits, one just below each text file that is larger than every database:
  // the databases are written, and that text file's save fails.
  std::size_t largestDatabase = 0;
  for (const auto& [name, bytes] : complete)
    if (name.ends_with(".pdb")) largestDatabase = std::max(largestDatabase, bytes.size());
  std::vector<rlim_t> limits = kLimits;
  for (const auto& name : texts)
    if (complete.at(name).size() > largestDatabase) limits.push_back(complete.at(name).size() - 1);
  ASSERT_GT(limits.size(), kLimits.size()) << "no text file is larger than the databases";

  int failures = 0;
  for (rlim_t limit : limits) {
    SCOPED_TRACE("limit " + std::to_string(limit));
    Restore(dest, earlier);
    const ChildResult r = RunProgramLimited({"PDBTOTXT", handheld.Str(), dest.Str()}, limit);
    ASSERT_TRUE(r.exited) << Describe(r);
    EXPECT_TRUE(TemporaryFiles(dest.Str()).empty()) << ::testing::PrintToString(dest.List());
    const Snapshot after = TakeSnapshot(dest.Str());
    EXPECT_EQ(after.at("keep.txt"), "not ours");
    if (r.code == 0) {
      Snapshot written = after;
      written.erase("keep.txt");
      EXPECT_TRUE(written == complete) << ::testing::PrintToString(dest.List());
      continue;
    }
    ++failures;
    EXPECT_EQ(r.code, 2) << Describe(r);
    EXPECT_NE(r.err.find("Vestibo: cannot write "), std::string::npos) << Describe(r);
    // The text files are the earlier ones, never a part of the new ones.
    for (const auto& name : texts) {
      ASSERT_TRUE(after.contains(name)) << name;
      EXPECT_TRUE(after.at(name) == earlier.at(name))
          << name << " holds " << after.at(name).size() << " bytes: " << after.at(name).substr(0, 200);
    }
    // The unpacked databases that stand are whole.
    for (const auto& [name, bytes] : after) {
      if (name.ends_with(".pdb")) {
        EXPECT_TRUE(DatabaseReads(dest.Str(), name)) << name;
      }
    }
  }
  EXPECT_GE(failures, 5);
  EXPECT_LT(failures, static_cast<int>(limits.size()));
}

TEST(FaultWriteFailure, UnpackWritesEachDatabaseWholeOrNotAtAll) {
  TempDir handheld, out;
  WriteLargeContainer(handheld.Str(), 1500);
  out.WriteFile("Kestor_OrderDb.pdb", "earlier");
  const Snapshot earlier = TakeSnapshot(out.Str());
  int failures = 0;
  for (rlim_t limit : kLimits) {
    SCOPED_TRACE("limit " + std::to_string(limit));
    Restore(out, earlier);
    const ChildResult r = RunInChild(limit, [&] {
      return std::to_string(sya::SyaUnpack(handheld.Str(), "Kestor_Out.pdb", out.Str()));
    });
    ASSERT_TRUE(r.exited) << Describe(r);
    EXPECT_TRUE(TemporaryFiles(out.Str()).empty()) << ::testing::PrintToString(out.List());
    const Snapshot after = TakeSnapshot(out.Str());
    if (r.code == 0 && r.out == "0") {
      for (const char* name : {"Kestor_OrderDb.pdb", "Kestor_OrderItemDb.pdb", "Kestor_CashDb.pdb"})
        EXPECT_TRUE(DatabaseReads(out.Str(), name)) << name;
      continue;
    }
    ++failures;
    // The write failure comes back as the file error, not as a success code.
    EXPECT_EQ(r.code, 1) << Describe(r);
    EXPECT_NE(r.err.find("File too large"), std::string::npos) << Describe(r);
    for (const auto& [name, bytes] : after) {
      if (name == "Kestor_OrderDb.pdb" && bytes == "earlier") continue;
      EXPECT_TRUE(DatabaseReads(out.Str(), name)) << name;
    }
  }
  EXPECT_GE(failures, 4);
}

TEST(FaultWriteFailure, TextTableSaveKeepsTheEarlierFile) {
  TempDir dir;
  const std::string earlierText = "ID;NAME;\r\n1;first;\r\n";
  dir.WriteFile("Order.txt", earlierText);
  for (rlim_t limit : {rlim_t{0}, rlim_t{16}, rlim_t{4096}, rlim_t{100 * 1024}}) {
    SCOPED_TRACE("limit " + std::to_string(limit));
    const ChildResult r = RunInChild(limit, [&] {
      core::SilentReporter reporter;
      text::TnqTXTTable table(reporter);
      table.Path = dir.Str();
      table.FileName = "order.TXT";  // found without regard to letter case
      if (!table.Open()) return std::string("not opened");
      for (int i = 2; i < 20000; ++i) {
        table.Append();
        table.FieldByName("ID")->AsInteger(i);
        table.FieldByName("NAME")->AsString("record number " + std::to_string(i));
        table.Post();
      }
      return std::string(table.Save() ? "saved" : "not saved");
    });
    ASSERT_TRUE(r.exited) << Describe(r);
    EXPECT_EQ(r.code, 1) << Describe(r);
    EXPECT_NE(r.err.find("cannot write"), std::string::npos) << Describe(r);
    EXPECT_EQ(dir.ReadFile("Order.txt"), earlierText);
    EXPECT_EQ(dir.List(), std::vector<std::string>{"Order.txt"});
  }
}

}  // namespace
}  // namespace converttest
