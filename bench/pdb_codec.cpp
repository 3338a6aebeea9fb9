// Writing and reading a PocketStudio database of many records, next to the plain file write
// and read of the same bytes measured in the same run. Prints the ratios.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "BenchReport.h"
#include "core/Files.h"
#include "pdb/PDBPocketStudio.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kRecords = 20000;

void DefineFields(pdb::TPDBPocketStudio& db) {
  for (auto type : {pdb::PSInt32, pdb::PSString, pdb::PSDouble, pdb::PSDate, pdb::PSBoolean}) {
    auto& field = db.Fields().Add();
    field.SetDataType(type);
  }
}

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double WriteDatabase(const fs::path& dir) {
  const auto start = Clock::now();
  pdb::TPDBPocketStudio db;
  DefineFields(db);
  db.SetDirectory(dir.string());
  db.SetPDBFilename("bench.pdb");
  db.SetDatabaseName("Bench");
  db.SetCreatorID("PmOr");
  db.SetDatabaseType("DATA");
  db.SetOpenMode(pdb::dmModeWriteOnly);
  db.CreateDatabase();
  const auto day = core::TDateTime::FromDate(2007, 1, 5).value();
  for (int i = 0; i < kRecords; ++i) {
    db.BeginAppend();
    db.Fields()[0].SetAsInt32(i);
    db.Fields()[1].SetAsString("Product name " + std::to_string(i));
    db.Fields()[2].SetAsDouble(i * 0.5);
    db.Fields()[3].SetAsDate(day);
    db.Fields()[4].SetAsBoolean(i % 2 == 0);
    db.Post();
  }
  db.Close();
  return Seconds(start);
}

double ReadDatabase(const fs::path& dir, long& checksum) {
  const auto start = Clock::now();
  pdb::TPDBPocketStudio db;
  DefineFields(db);
  db.SetDirectory(dir.string());
  db.SetPDBFilename("bench.pdb");
  db.Open();
  for (; !db.Eof(); db.Next()) checksum += db.Fields()[0].AsInt32() + static_cast<long>(db.Fields()[1].AsString().size());
  db.Close();
  return Seconds(start);
}

}  // namespace

int main() {
  const fs::path dir = fs::temp_directory_path() / ("bench_pdb_codec_" + std::to_string(Clock::now().time_since_epoch().count()));
  fs::create_directories(dir);
  long checksum = 0;
  const double write = WriteDatabase(dir);
  const double read = ReadDatabase(dir, checksum);

  const auto bytes = core::ReadWholeFile(dir / "bench.pdb");
  auto start = Clock::now();
  core::WriteWholeFile(dir / "plain.bin", bytes);
  const double plainWrite = Seconds(start);
  start = Clock::now();
  const auto again = core::ReadWholeFile(dir / "plain.bin");
  const double plainRead = Seconds(start);

  std::printf("%d records, %zu bytes (checksum %ld)\n", kRecords, bytes.size(), checksum + static_cast<long>(again.size()));
  std::printf("write: %.4f s, plain file write %.4f s, ratio %.1f\n", write, plainWrite, write / plainWrite);
  std::printf("read:  %.4f s, plain file read  %.4f s, ratio %.1f\n", read, plainRead, read / plainRead);
  bench::Row("PocketStudio codec write / plain file write", bench::Seconds(write), bench::Seconds(plainWrite),
             write / plainWrite, bench::Goal::None, 0);
  bench::Row("PocketStudio codec read / plain file read", bench::Seconds(read), bench::Seconds(plainRead),
             read / plainRead, bench::Goal::None, 0);
  fs::remove_all(dir);
  return 0;
}
