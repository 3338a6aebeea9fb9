// The two text conversions end to end, each run in a fresh child process so that its wall time
// and peak memory are its own:
//   "TXT -> PDB" on 60,000 products, 50,000 customers and 2,000 categories;
//   "PDB -> TXT" on a container with 20,000 orders and 60,000 order lines.
// Each is set against the work its bytes cannot avoid, measured in the same run: "TXT -> PDB"
// against compressing the database bytes with zlib level 6 in blocks of 30000 bytes on one core,
// "PDB -> TXT" against inflating those blocks plus writing the text files' bytes to disk. Both
// are timed at 6,000 and 60,000 records per database to see how they scale.
//
//   bench_conversions
//   bench_conversions --inputs <dir>     writes the full-size inputs only, for a profiler
//   bench_conversions --child <txt2pdb|pdb2txt> <source> <dest> <report>    one run (used internally)
#include <spawn.h>
#include <sys/wait.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "BenchReport.h"
#include "BenchSupport.h"
#include "app/ConversionRun.h"
#include "convert/Conversion.h"
#include "convert/HandheldDatabases.h"
#include "core/Files.h"
#include "core/Reporter.h"
#include "pdb/PDBDataSet.h"
#include "sync/SyaPack.h"
#include "sync/SyaUnpack.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kBlock = bench::kPackBlock;

// ---- inputs ----------------------------------------------------------------------------------

// Cyrillic words in Windows-1251.
const char* const kWords[] = {"\xCC\xEE\xEB\xEE\xEA\xEE", "\xD1\xEE\xEA", "\xD5\xEB\xE5\xE1",
                              "\xD1\xFB\xF0", "\xCF\xE5\xF7\xE5\xED\xFC\xE5", "\xCA\xE5\xF4\xE8\xF0",
                              "\xF3\xEF\xE0\xEA\xEE\xE2\xEA\xE0", "\xE1\xE5\xEB\xFB\xE9", "1 \xEB", "500 \xE3"};

std::string Words(std::mt19937& gen, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) {
    if (i > 0) out += ' ';
    out += kWords[gen() % std::size(kWords)];
  }
  return out;
}

std::vector<int> ShuffledIds(int count, std::mt19937& gen) {
  std::vector<int> ids(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) ids[static_cast<std::size_t>(i)] = i + 1;
  std::shuffle(ids.begin(), ids.end(), gen);
  return ids;
}

void WriteOffice(const fs::path& dir, int products, int customers, int categories) {
  fs::create_directories(dir);
  std::mt19937 gen(7);
  {
    std::ofstream out(dir / "category.txt", std::ios::binary);
    out << "Id;IdParent;Name\r\n";
    for (int id = 1; id <= categories; ++id) {
      // Ten top categories, then each category below one of the earlier ones.
      const int parent = id <= 10 ? 0 : 1 + static_cast<int>(gen() % static_cast<unsigned>(id - 1));
      out << id << ';' << parent << ';' << Words(gen, 3) << "\r\n";
    }
  }
  {
    std::ofstream out(dir / "product.txt", std::ios::binary);
    out << "Id;IdCategory;Code;Name;Fullname;Ed;Standard;Quantity;Price1;Price2;Price3;Price4;Aliquot\r\n";
    for (int id : ShuffledIds(products, gen)) {
      out << id << ';' << 1 + gen() % static_cast<unsigned>(categories) << ";P" << id << ';' << Words(gen, 3) << ';'
          << Words(gen, 7) << ";\xF8\xF2;" << gen() % 24 << ';' << gen() % 1000 << '.' << gen() % 100 << ';'
          << gen() % 500 << ",5;" << gen() % 500 << ".25;" << gen() % 500 << ';' << gen() % 500 << ".1;20\r\n";
    }
  }
  {
    std::ofstream out(dir / "customer.txt", std::ios::binary);
    out << "Id;Code;Name;Address;Currentsaldo;nPrice;PercentDiscount;IdCategory;IdQuest;DateForDelivery\r\n";
    for (int id : ShuffledIds(customers, gen)) {
      out << id << ";C" << id << ';' << Words(gen, 3) << ';' << Words(gen, 5) << ";-" << gen() % 10000 << ".5;"
          << 1 + gen() % 4 << ';' << gen() % 10 << ";1;1;\xEF\xED,\xF7\xF2\r\n";
    }
  }
}

void WriteContainer(const fs::path& dir, int orders, int lines) {
  const fs::path work = dir / "work";
  fs::create_directories(work);
  std::mt19937 gen(11);
  pdb::TPDBDataSet pt;
  const core::TDateTime day = *core::TDateTime::FromDate(2026, 3, 14);
  bench::OpenHandheldDatabase(pt, work, convert::kOrderDb);
  for (int i = 1; i <= orders; ++i) {
    bench::AppendOrder(pt, day,
                       {.id = i,
                        .customer = static_cast<int>(gen() % 50000),
                        .total = static_cast<double>(gen() % 100000) / 100,
                        .note = Words(gen, 3),
                        .note1 = Words(gen, 1),
                        .note2 = ""});
  }
  pt.Close();
  bench::OpenHandheldDatabase(pt, work, convert::kOrderItemDb);
  for (int i = 0; i < lines; ++i) {
    samples::AppendOrderLine(pt, {.order = 1 + i / 3,
                                .product = static_cast<int>(gen() % 60000),
                                .quantity = static_cast<double>(gen() % 20),
                                .price = static_cast<double>(gen() % 10000) / 100});
  }
  pt.Close();
  bench::PackHandheldContainer(dir, work, {"Kestor_OrderDb.pdb", "Kestor_OrderItemDb.pdb"});
}

// ---- child runs ------------------------------------------------------------------------------

int RunChild(const std::string& command, const std::string& source, const std::string& dest,
             const std::string& report) {
  convert::MainFormState state;
  state.edtSource = source;
  state.edtDest = dest;
  state.CategorySource = convert::CategorySource::TextFile;
  core::SilentReporter reporter;
  convert::MainFormObjects objects;
  convert::ConversionContext context{state, reporter, objects};
  const long baseline = bench::StatusKiB("VmRSS");
  const auto start = std::chrono::steady_clock::now();
  const convert::ConversionResult result =
      app::RunConversion(command == "txt2pdb" ? app::Command::TxtToPdb : app::Command::PdbToTxt, context);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::ofstream(report) << seconds << ' ' << bench::StatusKiB("VmHWM") << ' ' << baseline << '\n';
  return result == convert::ConversionResult::Done ? 0 : 1;
}

struct ChildRun {
  double seconds = 1e9;
  long peakKiB = 0, baselineKiB = 0;
};

// Runs a conversion in a fresh process `repeats` times; the fastest run and the highest peak.
ChildRun Spawn(const std::string& command, const fs::path& source, const fs::path& dest, int repeats = 3) {
  ChildRun best;
  for (int i = 0; i < repeats; ++i) {
    fs::remove_all(dest);
    fs::create_directories(dest);
    const std::string report = (dest.parent_path() / "report.txt").string();
    const std::string self = bench::SelfPath();
    std::vector<std::string> args = {self, "--child", command, source.string(), dest.string(), report};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
      std::perror("posix_spawn");
      std::exit(2);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      std::cerr << command << " failed in the child\n";
      std::exit(2);
    }
    ChildRun run;
    std::ifstream(report) >> run.seconds >> run.peakKiB >> run.baselineKiB;
    best.seconds = std::min(best.seconds, run.seconds);
    best.peakKiB = std::max(best.peakKiB, run.peakKiB);
    best.baselineKiB = std::max(best.baselineKiB, run.baselineKiB);
  }
  return best;
}

// ---- zlib alone ------------------------------------------------------------------------------

std::string ReadAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string DatabaseBytes(const fs::path& dir) {
  std::string all;
  for (const auto& entry : fs::directory_iterator(dir))
    if (entry.path().extension() == ".pdb") all += ReadAll(entry.path());
  return all;
}

std::vector<std::vector<Bytef>> CompressBlocks(const std::string& bytes) {
  std::vector<std::vector<Bytef>> blocks;
  for (std::size_t at = 0; at < bytes.size(); at += kBlock) {
    const std::size_t n = std::min(kBlock, bytes.size() - at);
    uLongf outLen = compressBound(n);
    std::vector<Bytef> out(outLen);
    compress2(out.data(), &outLen, reinterpret_cast<const Bytef*>(bytes.data() + at), n, 6);
    out.resize(outLen);
    blocks.push_back(std::move(out));
  }
  return blocks;
}

double ZlibCompressSeconds(const std::string& bytes) {
  return bench::BestSeconds([&] { CompressBlocks(bytes); });
}

double ZlibInflateSeconds(const std::string& bytes) {
  const auto blocks = CompressBlocks(bytes);
  std::vector<Bytef> out(kBlock);
  return bench::BestSeconds([&] {
    for (const auto& block : blocks) {
      uLongf outLen = kBlock;
      uncompress(out.data(), &outLen, block.data(), block.size());
    }
  });
}

// Writing `bytes` to a new file in `dir`, as one text file of that size is written.
double WriteSeconds(const fs::path& dir, const std::string& bytes) {
  const fs::path file = dir / "text-bytes.txt";
  const double seconds = bench::BestSeconds([&] {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  });
  fs::remove(file);
  return seconds;
}

std::string TextBytes(const fs::path& dir) {
  std::string all;
  for (const auto& entry : fs::directory_iterator(dir))
    if (entry.path().extension() == ".txt") all += ReadAll(entry.path());
  return all;
}

bool Verdict(const char* what, double value, double limit, const std::string& measurement = {},
             const std::string& valueText = {}, const std::string& referenceText = {}) {
  const bool pass = value <= limit;
  std::printf("  %-52s %8.2f  (target <= %g)  %s\n", what, value, limit, pass ? "PASS" : "FAIL");
  bench::Row(measurement.empty() ? what : measurement, valueText, referenceText, value, bench::Goal::AtMost, limit);
  return pass;
}


// The peak and the growth of a conversion's memory, each at most 3 times `referenceBytes`.
bool MemoryVerdicts(const std::string& conversion, const ChildRun& run, double referenceBytes,
                    const std::string& referenceName) {
  const double peak = static_cast<double>(run.peakKiB) * 1024;
  const double growth = static_cast<double>(run.peakKiB - run.baselineKiB) * 1024;
  bool ok = Verdict(("peak memory / " + referenceName).c_str(), peak / referenceBytes, 3,
                    conversion + " peak memory / " + referenceName, bench::MiB(peak), bench::MiB(referenceBytes));
  ok &= Verdict(("peak memory growth / " + referenceName).c_str(), growth / referenceBytes, 3,
                conversion + " memory growth / " + referenceName, bench::MiB(growth), bench::MiB(referenceBytes));
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 6 && std::string(argv[1]) == "--child") return RunChild(argv[2], argv[3], argv[4], argv[5]);
  if (argc == 3 && std::string(argv[1]) == "--inputs") {  // the full-size inputs alone, for profiling
    WriteOffice(fs::path(argv[2]) / "office", 60000, 50000, 2000);
    WriteContainer(fs::path(argv[2]) / "handheld", 20000, 60000);
    return 0;
  }

  const fs::path root = fs::temp_directory_path() / ("vestibo-bench-" + std::to_string(std::random_device{}()));
  fs::create_directories(root);
  bool ok = true;

  // TXT -> PDB.
  WriteOffice(root / "office", 60000, 50000, 2000);
  const ChildRun toPdb = Spawn("txt2pdb", root / "office", root / "to-handheld");
  fs::create_directories(root / "unpacked-in");
  sya::SyaUnpack((root / "to-handheld").string(), "Kestor_In.pdb", (root / "unpacked-in").string());
  const std::string inBytes = DatabaseBytes(root / "unpacked-in");
  const double zlibCompress = ZlibCompressSeconds(inBytes);
  const auto officeBytes = bench::DirectoryBytes(root / "office");

  // PDB -> TXT.
  WriteContainer(root / "handheld", 20000, 60000);
  const ChildRun toTxt = Spawn("pdb2txt", root / "handheld", root / "from-handheld");
  fs::create_directories(root / "unpacked-out");
  sya::SyaUnpack((root / "handheld").string(), "Kestor_Out.pdb", (root / "unpacked-out").string());
  const std::string outBytes = DatabaseBytes(root / "unpacked-out");
  const std::string textBytes = TextBytes(root / "from-handheld");
  const double zlibInflate = ZlibInflateSeconds(outBytes) + WriteSeconds(root, textBytes);
  const auto containerBytes = bench::DirectoryBytes(root / "handheld");

  std::printf("TXT -> PDB: 60,000 products, 50,000 customers, 2,000 categories (%.1f MiB of text)\n",
              static_cast<double>(officeBytes) / (1 << 20));
  std::printf("  conversion %.3f s, zlib level 6 on the %.1f MiB of databases %.3f s\n", toPdb.seconds,
              static_cast<double>(inBytes.size()) / (1 << 20), zlibCompress);
  std::printf("  peak memory %.1f MiB (process at start %.1f MiB)\n", toPdb.peakKiB / 1024.0, toPdb.baselineKiB / 1024.0);
  ok &= Verdict("time / zlib compress", toPdb.seconds / zlibCompress, 1, "TXT -> PDB time / zlib compress",
                bench::Seconds(toPdb.seconds), bench::Seconds(zlibCompress));
  ok &= MemoryVerdicts("TXT -> PDB", toPdb, static_cast<double>(officeBytes), "input");

  std::printf("PDB -> TXT: 20,000 orders, 60,000 order lines (container %.1f MiB, databases %.1f MiB)\n",
              static_cast<double>(containerBytes) / (1 << 20), static_cast<double>(outBytes.size()) / (1 << 20));
  std::printf("  conversion %.3f s, zlib inflate of the same databases + writing the %.1f MiB of text %.3f s\n",
              toTxt.seconds, static_cast<double>(textBytes.size()) / (1 << 20), zlibInflate);
  std::printf("  peak memory %.1f MiB (process at start %.1f MiB)\n", toTxt.peakKiB / 1024.0, toTxt.baselineKiB / 1024.0);
  ok &= Verdict("time / (zlib inflate + text write)", toTxt.seconds / zlibInflate, 4,
                "PDB -> TXT time / (zlib inflate + text write)",
                bench::Seconds(toTxt.seconds), bench::Seconds(zlibInflate));
  // The container is compressed about 3.5 : 1 and holds less than the process itself before it
  // reads anything; the memory figures are set against the databases the conversion reads back.
  ok &= MemoryVerdicts("PDB -> TXT", toTxt, static_cast<double>(outBytes.size()), "databases");

  // Scaling: 6,000 against 60,000 records per database.
  WriteOffice(root / "office-6k", 6000, 6000, 200);
  WriteOffice(root / "office-60k", 60000, 60000, 2000);
  WriteContainer(root / "handheld-6k", 6000, 6000);
  WriteContainer(root / "handheld-60k", 60000, 60000);
  const ChildRun smallPdb = Spawn("txt2pdb", root / "office-6k", root / "out-a");
  const ChildRun largePdb = Spawn("txt2pdb", root / "office-60k", root / "out-b");
  const ChildRun smallTxt = Spawn("pdb2txt", root / "handheld-6k", root / "out-c");
  const ChildRun largeTxt = Spawn("pdb2txt", root / "handheld-60k", root / "out-d");
  const double small1 = smallPdb.seconds, large1 = largePdb.seconds, small2 = smallTxt.seconds,
               large2 = largeTxt.seconds;
  std::printf("Scaling, 6,000 -> 60,000 records per database\n");
  std::printf("  TXT -> PDB %.3f s -> %.3f s; PDB -> TXT %.3f s -> %.3f s\n", small1, large1, small2, large2);
  ok &= Verdict("TXT -> PDB time ratio", large1 / small1, 12, "TXT -> PDB time 60k / 6k records",
                bench::Seconds(large1), bench::Seconds(small1));
  ok &= Verdict("PDB -> TXT time ratio", large2 / small2, 12, "PDB -> TXT time 60k / 6k records",
                bench::Seconds(large2), bench::Seconds(small2));
  // Memory grows at most in step with the records: ten times the records, at most ten times (and
  // a margin) the growth.
  const auto growth = [](const ChildRun& run) { return static_cast<double>(run.peakKiB - run.baselineKiB); };
  ok &= Verdict("TXT -> PDB memory growth ratio", growth(largePdb) / growth(smallPdb), 12,
                "TXT -> PDB memory growth 60k / 6k records", bench::MiB(growth(largePdb) * 1024),
                bench::MiB(growth(smallPdb) * 1024));
  ok &= Verdict("PDB -> TXT memory growth ratio", growth(largeTxt) / growth(smallTxt), 12,
                "PDB -> TXT memory growth 60k / 6k records", bench::MiB(growth(largeTxt) * 1024),
                bench::MiB(growth(smallTxt) * 1024));

  fs::remove_all(root);
  std::printf("%s\n", ok ? "PASS" : "FAIL");
  return ok ? 0 : 1;
}
