// The program killed (SIGKILL) at random moments of a conversion: every output under its final
// name is absent, the earlier complete version, or the complete new version. A killed process
// may leave temporary files, but only under their hidden temporary names, and the next run that
// writes the same file removes them.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "FaultTestUtil.h"

namespace converttest {
namespace {

using testsupport::TempDir;
using Clock = std::chrono::steady_clock;

constexpr int kKills = 200;

// Contents already found whole, so that a file seen again is not parsed again.
class VerifiedContents {
 public:
  template <typename Verify>
  bool Check(const std::string& bytes, Verify verify) {
    const std::size_t key = std::hash<std::string>{}(bytes);
    if (good_.contains(key)) return true;
    if (!verify()) return false;
    good_.insert(key);
    return true;
  }

 private:
  std::unordered_set<std::size_t> good_;
};

// Puts the earlier outputs back; temporary files of killed runs stay, as they would for a user.
void Restore(const TempDir& dir, const Snapshot& snapshot) {
  for (const auto& name : dir.List())
    if (!IsTemporaryName(name)) std::filesystem::remove_all(dir / name);
  for (const auto& [name, bytes] : snapshot) dir.WriteFile(name, bytes);
}

// How long one whole run takes here (the shortest of three, a first run being slowed by cold
// caches), so that the kills spread over a run. The test asserts nothing about speed.
std::chrono::microseconds RunLength(const std::vector<std::string>& args) {
  auto shortest = std::chrono::microseconds::max();
  for (int i = 0; i < 3; ++i) {
    const auto start = Clock::now();
    EXPECT_TRUE(WaitProgram(StartProgram(args)));
    shortest = std::min(shortest, std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start));
  }
  return shortest;
}

struct KillCounts {
  int killed = 0;    // the kill landed while the program ran
  int finished = 0;  // it had ended already
  int leftTemporaries = 0;  // the most found after one run
};

// Runs `args` kKills times, each killed after a random delay within one run's length, and calls
// `check` on the destination after each.
template <typename Check>
KillCounts KillRepeatedly(const std::vector<std::string>& args, const TempDir& dest, const Snapshot& earlier,
                          Check check) {
  const auto length = RunLength(args);
  std::mt19937 random(20241207);
  std::uniform_int_distribution<long> delay(0, static_cast<long>(length.count()));
  KillCounts counts;
  for (int i = 0; i < kKills && !::testing::Test::HasFatalFailure(); ++i) {
    Restore(dest, earlier);
    const pid_t pid = StartProgram(args);
    std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
    ::kill(pid, SIGKILL);
    ChildResult r;
    WaitProgram(pid, &r);
    if (r.signal == SIGKILL) {
      ++counts.killed;
    } else {
      EXPECT_EQ(r.code, 0) << "run " << i;
      ++counts.finished;
    }
    counts.leftTemporaries = std::max(counts.leftTemporaries, static_cast<int>(TemporaryFiles(dest.Str()).size()));
    check(i);
  }
  std::cout << "[ kills ] " << counts.killed << " landed mid-run, " << counts.finished << " after the end, "
            << "at most " << counts.leftTemporaries << " temporary files at a time\n";
  EXPECT_GT(counts.killed, 0);
  // A whole run sweeps what the killed ones left.
  EXPECT_TRUE(WaitProgram(StartProgram(args)));
  EXPECT_EQ(TemporaryFiles(dest.Str()), std::vector<std::string>{});
  return counts;
}

TEST(FaultKill, TxtToPdbNeverLeavesAPartialContainer) {
  TempDir office, dest;
  WriteLargeOffice(office, 1500, 500);
  {
    TempDir small;
    WriteLargeOffice(small, 10, 5);
    ASSERT_TRUE(WaitProgram(StartProgram({"TXTTOPDB", small.Str(), dest.Str()})));
  }
  const Snapshot earlier = TakeSnapshot(dest.Str());
  ASSERT_EQ(earlier.size(), 1u);
  int newContainers = 0;
  VerifiedContents verified;
  KillRepeatedly({"TXTTOPDB", office.Str(), dest.Str()}, dest, earlier, [&](int run) {
    for (const auto& name : dest.List()) {
      if (IsTemporaryName(name)) continue;
      const std::string bytes = dest.ReadFile(name);
      if (name != "Kestor_In.pdb") {
        EXPECT_TRUE(verified.Check(name + bytes, [&] { return DatabaseReads(dest.Str(), name); }))
            << "run " << run << ": " << name;
        continue;
      }
      if (bytes == earlier.at(name)) continue;
      EXPECT_TRUE(verified.Check(bytes, [&] { return ProductsInContainer(dest.Str(), name) == 1500; }))
          << "run " << run << ": a container of " << bytes.size() << " bytes";
      ++newContainers;
    }
    EXPECT_TRUE(dest.Exists("Kestor_In.pdb")) << "run " << run;
  });
  std::cout << "[ kills ] " << newContainers << " runs had replaced the container\n";
}

TEST(FaultKill, PdbToTxtLeavesEachTextFileEarlierNewOrAbsent) {
  TempDir handheld, dest, reference;
  WriteLargeContainer(handheld.Str(), 600);
  ASSERT_TRUE(WaitProgram(StartProgram({"PDBTOTXT", handheld.Str(), reference.Str()})));
  const Snapshot complete = TakeSnapshot(reference.Str());
  const std::vector<std::string> texts = {"Order.txt", "OrderItem.txt", "Cash.txt"};
  for (const auto& name : texts) dest.WriteFile(name, "earlier " + name + "\r\n");
  const Snapshot earlier = TakeSnapshot(dest.Str());
  VerifiedContents verified;
  KillRepeatedly({"PDBTOTXT", handheld.Str(), dest.Str()}, dest, earlier, [&](int run) {
    const Snapshot after = TakeSnapshot(dest.Str());
    for (const auto& [name, bytes] : after) {
      if (IsTemporaryName(name)) continue;
      if (name.ends_with(".pdb")) {
        EXPECT_TRUE(verified.Check(name + bytes, [&] { return DatabaseReads(dest.Str(), name); }))
            << "run " << run << ": " << name;
        continue;
      }
      ASSERT_TRUE(complete.contains(name)) << name;
      EXPECT_TRUE(bytes == earlier.at(name) || bytes == complete.at(name))
          << "run " << run << ": " << name << " holds " << bytes.size() << " bytes: " << bytes.substr(0, 120);
    }
  });
}

}  // namespace
}  // namespace converttest
