// Writing and reading the product database (60,000 records, 13 fields) through TPDBDataSet,
// next to a plain write and read of the same number of bytes measured in the same run.
//
// Each direction runs in a child process of its own so that its peak memory (max RSS) is its
// own; the growth over the child's memory at its start is what is compared with the file size.
// Prints field values per second, the peak memory, the file size, the ratios to the plain file
// operations and PASS / FAIL per target.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchReport.h"
#include "core/Encoding.h"
#include "core/Files.h"
#include "pdb/PDBDataSet.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kRecords = 60000;
constexpr int kFields = 13;
constexpr double kTargetValuesPerSecond = 2e6;
constexpr double kFixedMemoryMiB = 4;

struct FieldSpec {
  const char* name;
  pdb::TPDBPSFieldType type;
};
constexpr FieldSpec kProductFields[kFields] = {
    {"Id", pdb::PSUInt32},       {"IdCategory", pdb::PSUInt32}, {"CODE", pdb::PSString},
    {"Name", pdb::PSString},     {"FullName", pdb::PSString},   {"Ed", pdb::PSString},
    {"Standard", pdb::PSDouble}, {"Quantity", pdb::PSDouble},   {"Price1", pdb::PSDouble},
    {"Price2", pdb::PSDouble},   {"Price3", pdb::PSDouble},     {"Price4", pdb::PSDouble},
    {"Aliquot", pdb::PSUInt32}};

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

long MaxRssKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;  // KiB on Linux
}

// Product texts in Windows-1251, built from a small vocabulary.
struct Texts {
  std::vector<std::string> nouns, adjectives, units;
  std::string standard = core::Utf8ToAnsi(", ГОСТ "), pack = core::Utf8ToAnsi(", упаковка "),
              grams = core::Utf8ToAnsi(" г");
  Texts() {
    for (const char* w : {"Молоко", "Сыр", "Масло сливочное", "Хлеб", "Кефир", "Сметана", "Йогурт", "Творог"})
      nouns.push_back(core::Utf8ToAnsi(w));
    for (const char* w : {"домашний", "свежий", "отборный", "фермерский", "классический", "нежирный"})
      adjectives.push_back(core::Utf8ToAnsi(w));
    for (const char* w : {"шт", "кг", "л", "уп"}) units.push_back(core::Utf8ToAnsi(w));
  }
  std::string Name(int i) const { return nouns[i % nouns.size()] + " " + adjectives[i % adjectives.size()]; }
  std::string FullName(int i) const {
    return Name(i) + standard + std::to_string(31450 + i % 97) + pack + std::to_string(100 + i % 900) + grams;
  }
};

void Prepare(pdb::TPDBDataSet& ds, const fs::path& dir) {
  ds.SetDirectory(dir.string());
  ds.SetPDBFilename("Kestor_ProductDB.pdb");
  ds.SetDatabaseName("Kestor_ProductDB");
  ds.SetCreatorID("PmOr");
  ds.SetDatabaseType("PROD");
  ds.FieldsPocketStudio().Clear();
  for (const auto& spec : kProductFields) {
    auto& field = ds.FieldsPocketStudio().Add();
    field.SetFieldName(spec.name);
    field.SetDataType(spec.type);
  }
}

// Fills and closes the data set (the file is written by Close).
void WriteProducts(const fs::path& dir) {
  const Texts texts;
  pdb::TPDBDataSet ds;
  Prepare(ds, dir);
  ds.Open();
  for (int i = 0; i < kRecords; ++i) {
    ds.Append();
    ds.FieldByName("Id").AsInteger(i + 1);
    ds.FieldByName("IdCategory").AsInteger(1 + i % 150);
    std::string code = std::to_string(100000 + i);
    code.insert(code.begin(), 'A');
    ds.FieldByName("CODE").AsString(code);
    ds.FieldByName("Name").AsString(texts.Name(i));
    ds.FieldByName("FullName").AsString(texts.FullName(i));
    ds.FieldByName("Ed").AsString(texts.units[i % texts.units.size()]);
    ds.FieldByName("Standard").AsFloat(1 + i % 24);
    ds.FieldByName("Quantity").AsFloat((i % 1000) * 0.5);
    ds.FieldByName("Price1").AsFloat(10 + (i % 5000) * 0.01);
    ds.FieldByName("Price2").AsFloat(11 + (i % 5000) * 0.01);
    ds.FieldByName("Price3").AsFloat(12 + (i % 5000) * 0.01);
    ds.FieldByName("Price4").AsFloat(13 + (i % 5000) * 0.01);
    ds.FieldByName("Aliquot").AsInteger(18);
    ds.Post();
  }
  ds.Close();
}

// Opens (loads) the data set, reads every field of every record and closes it, which writes the
// file again, as every close of the data set does. openAndWalk gets the time before the close.
long ReadProducts(const fs::path& dir, double& openAndWalk) {
  const auto start = Clock::now();
  pdb::TPDBDataSet ds;
  Prepare(ds, dir);
  ds.Open();
  long checksum = 0;
  int records = 0;
  for (ds.First(); !ds.Eof(); ds.Next()) {
    checksum += ds.FieldByName("Id").AsInteger() + ds.FieldByName("IdCategory").AsInteger();
    checksum += static_cast<long>(ds.FieldByName("CODE").AsString().size() + ds.FieldByName("Name").AsString().size() +
                                  ds.FieldByName("FullName").AsString().size() + ds.FieldByName("Ed").AsString().size());
    checksum += static_cast<long>(ds.FieldByName("Standard").AsFloat() + ds.FieldByName("Quantity").AsFloat() +
                                  ds.FieldByName("Price1").AsFloat() + ds.FieldByName("Price2").AsFloat() +
                                  ds.FieldByName("Price3").AsFloat() + ds.FieldByName("Price4").AsFloat());
    checksum += ds.FieldByName("Aliquot").AsInteger();
    ++records;
  }
  openAndWalk = Seconds(start);
  ds.Close();
  if (records != kRecords) {
    std::fprintf(stderr, "read %d records, expected %d\n", records, kRecords);
    std::exit(1);
  }
  return checksum;
}

struct ChildResult {
  double seconds = 0;
  long startKiB = 0;
  long peakKiB = 0;
  long checksum = 0;
  double partSeconds = 0;  // the part of the work reported on its own
};

// Runs work in a child process and returns its time and memory.
template <class Work>
ChildResult InChild(Work work) {
  std::array<int, 2> pipeEnds{};
  if (pipe(pipeEnds.data()) != 0) std::exit(2);
  const pid_t pid = fork();
  if (pid < 0) std::exit(2);
  if (pid == 0) {
    close(pipeEnds[0]);
    ChildResult result;
    result.startKiB = MaxRssKiB();
    const auto start = Clock::now();
    result.checksum = work(result.partSeconds);
    result.seconds = Seconds(start);
    result.peakKiB = MaxRssKiB();
    const bool sent = write(pipeEnds[1], &result, sizeof result) == static_cast<ssize_t>(sizeof result);
    _exit(sent ? 0 : 3);
  }
  close(pipeEnds[1]);
  ChildResult result;
  const bool received = read(pipeEnds[0], &result, sizeof result) == static_cast<ssize_t>(sizeof result);
  close(pipeEnds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!received || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "benchmark child failed\n");
    std::exit(1);
  }
  return result;
}

bool Report(const char* what, const ChildResult& r, double plainSeconds, std::uintmax_t fileSize) {
  const double values = double{kRecords} * kFields / r.seconds;
  const double growthMiB = static_cast<double>(r.peakKiB - r.startKiB) / 1024.0;
  const double limitMiB = 4.0 * static_cast<double>(fileSize) / (1024.0 * 1024.0) + kFixedMemoryMiB;
  const bool fast = values >= kTargetValuesPerSecond;
  const bool small = growthMiB < limitMiB;
  std::printf("%s: %.3f s, %.2f M field values/s [%s, target >= %.1f M/s]; plain %.4f s, ratio %.1f\n", what,
              r.seconds, values / 1e6, fast ? "PASS" : "FAIL", kTargetValuesPerSecond / 1e6, plainSeconds,
              r.seconds / plainSeconds);
  std::printf("%s: peak RSS %.1f MiB, growth %.1f MiB [%s, limit 4 x file + %.0f MiB = %.1f MiB]\n", what,
              static_cast<double>(r.peakKiB) / 1024.0, growthMiB, small ? "PASS" : "FAIL", kFixedMemoryMiB, limitMiB);
  const std::string name = std::string("data set ") + (what[0] == 'w' ? "write" : "read");
  bench::Row(name + " M field values/s", bench::Format("%.2f M/s", values / 1e6), "plain " + bench::Seconds(plainSeconds),
             values / 1e6, bench::Goal::AtLeast, kTargetValuesPerSecond / 1e6);
  bench::Row(name + " memory growth / limit", bench::Format("%.1f MiB", growthMiB),
             bench::Format("%.1f MiB", limitMiB), growthMiB / limitMiB, bench::Goal::AtMost, 1);
  return fast && small;
}

}  // namespace

int main() {
  const fs::path dir =
      fs::temp_directory_path() / ("bench_pdb_dataset_" + std::to_string(Clock::now().time_since_epoch().count()));
  fs::create_directories(dir);
  // ICU and the code page tables are loaded before the children start, so that neither
  // child counts them.
  const Texts warmUp;

  const ChildResult written = InChild([&](double&) {
    WriteProducts(dir);
    return 0L;
  });
  const fs::path file = dir / "Kestor_ProductDB.pdb";
  const auto fileSize = fs::file_size(file);

  // The reference: the same number of bytes written and read as a plain file (released before
  // the reading child starts).
  double plainWrite = 0, plainRead = 0;
  long plainCheck = 0;
  {
    const auto bytes = core::ReadWholeFile(file);
    auto start = Clock::now();
    core::WriteWholeFile(dir / "plain.bin", bytes);
    plainWrite = Seconds(start);
    start = Clock::now();
    const auto again = core::ReadWholeFile(dir / "plain.bin");
    plainRead = Seconds(start);
    plainCheck = static_cast<long>(again.size()) - static_cast<long>(bytes.size());
  }

  const ChildResult read = InChild([&](double& openAndWalk) { return ReadProducts(dir, openAndWalk); });

  std::printf("%d records x %d fields, file %ju bytes (%.1f MiB), checksum %ld\n", kRecords, kFields,
              static_cast<std::uintmax_t>(fileSize), static_cast<double>(fileSize) / (1024.0 * 1024.0),
              read.checksum + plainCheck);
  const bool writeOk = Report("write", written, plainWrite, fileSize);
  const bool readOk = Report("read ", read, plainRead, fileSize);
  std::printf("read : of which open and walk %.3f s (%.2f M field values/s), close (rewrites the file) %.3f s\n",
              read.partSeconds, double{kRecords} * kFields / read.partSeconds / 1e6, read.seconds - read.partSeconds);
  std::printf("%s\n", writeOk && readOk ? "PASS" : "FAIL");
  fs::remove_all(dir);
  return 0;
}
