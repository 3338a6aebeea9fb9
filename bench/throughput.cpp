// Throughput against input size: pack, unpack, "TXT -> PDB" and "PDB -> TXT" on inputs from
// about 1 MB to about 100 MB (the sizes are the arguments, in MB; 1 3 10 30 100 without any).
// Prints one row per run for scripts/bench.sh to plot:
//
//   SCALE|<operation>|<input bytes>|<seconds>|<MB/s>
//
// and one BENCH row per operation comparing the throughput at the largest size with that at the
// smallest (a figure without a target). Input sizes: pack the databases' bytes, unpack the
// container, "TXT -> PDB" the text files' total, "PDB -> TXT" the container. A Palm database
// holds at most 65535 records, so beyond that the records grow instead of their number.
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "BenchReport.h"
#include "BenchSupport.h"
#include "app/ConversionRun.h"
#include "convert/Conversion.h"
#include "convert/HandheldDatabases.h"
#include "core/Reporter.h"
#include "pdb/PDBDataSet.h"
#include "sync/SyaPack.h"
#include "sync/SyaSupport.h"
#include "sync/SyaUnpack.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kBlock = bench::kPackBlock;
constexpr int kMaxRecords = 60000;  // below the 65535 a database can count
constexpr double kMB = 1e6;

// Text in Windows-1251: Cyrillic and Latin letters, digits and blanks, compressing about as
// office text does.
std::string Text(std::mt19937& gen, std::size_t size) {
  static const char* const kWords[] = {"\xCC\xEE\xEB\xEE\xEA\xEE", "\xD1\xEE\xEA", "\xD5\xEB\xE5\xE1", "box",
                                       "\xD1\xFB\xF0", "\xCF\xE5\xF7\xE5\xED\xFC\xE5", "route", "500 \xE3",
                                       "\xF3\xEF\xE0\xEA\xEE\xE2\xEA\xE0", "\xE1\xE5\xEB\xFB\xE9", "1 \xEB"};
  std::string out;
  while (out.size() < size) {
    out += kWords[gen() % std::size(kWords)];
    out += ' ';
    out += std::to_string(gen() % 100000);
    out += ' ';
  }
  out.resize(size);
  return out;
}

// Cyrillic letters at random: hand-typed notes compress little.
std::string Letters(std::mt19937& gen, std::size_t size) {
  std::string out(size, ' ');
  for (auto& c : out) c = static_cast<char>(0xC0 + gen() % 64);
  return out;
}

// ---- TXT -> PDB ------------------------------------------------------------------------------

// Products and customers of about `bytes` in total: up to kMaxRecords lines each, longer lines
// beyond (the long text sits in Fullname and Address; the databases keep 100 characters of it).
void WriteOffice(const fs::path& dir, double bytes) {
  fs::create_directories(dir);
  std::mt19937 gen(7);
  const int lines = std::clamp(static_cast<int>(bytes / 2 / 120), 100, kMaxRecords);
  const std::size_t extra = static_cast<std::size_t>(std::max(20.0, bytes / 2 / lines - 60));
  {
    std::ofstream out(dir / "category.txt", std::ios::binary);
    out << "Id;IdParent;Name\r\n";
    for (int id = 1; id <= 200; ++id) out << id << ';' << (id <= 10 ? 0 : 1 + gen() % (id - 1)) << ";Cat " << id << "\r\n";
  }
  {
    std::ofstream out(dir / "product.txt", std::ios::binary);
    out << "Id;IdCategory;Code;Name;Fullname;Ed;Standard;Quantity;Price1;Price2;Price3;Price4\r\n";
    for (int id = 1; id <= lines; ++id)
      out << id << ';' << 1 + gen() % 200 << ";P" << id << ';' << Text(gen, 20) << ';' << Text(gen, extra)
          << ";pc;1;" << gen() % 1000 << ".5;12,5;13.25;14;15\r\n";
  }
  {
    std::ofstream out(dir / "customer.txt", std::ios::binary);
    out << "Id;Code;Name;Address;Currentsaldo;nPrice;PercentDiscount\r\n";
    for (int id = 1; id <= lines; ++id)
      out << id << ";C" << id << ';' << Text(gen, 20) << ';' << Text(gen, extra) << ";-" << gen() % 10000 << ".5;"
          << 1 + gen() % 4 << ";2.5\r\n";
  }
}

// ---- PDB -> TXT ------------------------------------------------------------------------------

// Kestor_Out.pdb of about `bytes`: orders, three lines each, and a cash receipt per order, up to
// kMaxRecords records a database; beyond that a database of photographs the conversion unpacks
// but does not read (as a handheld may send along).
void WriteContainer(const fs::path& dir, double bytes) {
  const fs::path work = dir / "work";
  fs::create_directories(work);
  std::mt19937 gen(11);
  // About 400 bytes of container per order with its lines and receipt, notes at their longest.
  const int orders = std::clamp(static_cast<int>(bytes / 400), 50, kMaxRecords / 3);
  pdb::TPDBDataSet pt;
  const core::TDateTime day = *core::TDateTime::FromDate(2026, 3, 14);
  bench::OpenHandheldDatabase(pt, work, convert::kOrderDb);
  for (int i = 1; i <= orders; ++i) {
    bench::AppendOrder(pt, day,
                       {.id = i,
                        .customer = static_cast<int>(gen() % 50000),
                        .total = static_cast<double>(gen() % 100000) / 100,
                        .note = Letters(gen, 100),
                        .note1 = Letters(gen, 100),
                        .note2 = Letters(gen, 100)});
  }
  pt.Close();
  bench::OpenHandheldDatabase(pt, work, convert::kOrderItemDb);
  for (int i = 0; i < 3 * orders; ++i) {
    samples::AppendOrderLine(pt, {.order = 1 + i / 3,
                                .product = static_cast<int>(gen() % 60000),
                                .quantity = static_cast<double>(gen() % 20),
                                .price = static_cast<double>(gen() % 10000) / 100});
  }
  pt.Close();
  bench::OpenHandheldDatabase(pt, work, convert::kCashDb);
  for (int i = 1; i <= orders; ++i) {
    pt.Append();
    pt.FieldByName("Id").AsInteger(i);
    pt.FieldByName("IdCustomer").AsInteger(static_cast<int>(gen() % 50000));
    pt.FieldByName("CashDate").AsDateTime(day);
    pt.FieldByName("IdCurrency").AsInteger(1);
    pt.FieldByName("Currencycurs").AsFloat(1);
    pt.FieldByName("CurrencySumma").AsFloat(static_cast<double>(gen() % 100000) / 100);
    pt.FieldByName("Summa").AsFloat(static_cast<double>(gen() % 100000) / 100);
    pt.FieldByName("Note").AsString(Letters(gen, 100));
    pt.FieldByName("Iddoc").AsInteger(i);
    pt.Post();
  }
  pt.Close();

  std::vector<std::string> files = {"Kestor_OrderDb.pdb", "Kestor_OrderItemDb.pdb", "Kestor_CashDb.pdb"};
  const double documents = static_cast<double>(orders) * 400;
  if (bytes > documents * 1.2) {
    // Photographs: bytes that do not compress, in records of up to 20000 bytes.
    sya::TPDBDataFields db;
    db.SetDirectory(work.string());
    db.SetPDBFilename("Kestor_PhotoDb.pdb");
    db.SetDatabaseName("Kestor_PhotoDb");
    db.SetCreatorID("PmOr");
    db.SetDatabaseType("DATA");
    db.SetOpenMode(sya::dmModeWriteOnly);
    db.CreateDatabase();
    for (double left = bytes - documents; left > 0; left -= 20000) {
      core::Bytes record(20000);
      for (auto& b : record) b = static_cast<std::uint8_t>(gen());
      db.SetRecordData(record);
      db.AppendRecord();
    }
    db.Close();
    files.push_back("Kestor_PhotoDb.pdb");
  }
  bench::PackHandheldContainer(dir, work, files);
}

// ---- pack and unpack -------------------------------------------------------------------------

// Databases of records holding about `bytes` in all, each under kMaxRecords records.
std::vector<std::string> WritePackInput(const fs::path& dir, double bytes) {
  fs::create_directories(dir);
  std::mt19937 gen(5);
  std::vector<std::string> files;
  for (int n = 0; bytes > 0; ++n) {
    const std::string name = "Db" + std::to_string(n);
    sya::TPDBDataFields db;
    db.SetDirectory(dir.string());
    db.SetPDBFilename(name + ".pdb");
    db.SetDatabaseName(name);
    db.SetCreatorID("PmOr");
    db.SetDatabaseType("DATA");
    db.SetOpenMode(sya::dmModeWriteOnly);
    db.CreateDatabase();
    // Up to 20 MB a database, in records of about 1000 bytes.
    for (double inDb = 0; inDb < 20 * kMB && bytes > 0;) {
      // Half words and numbers, half typed notes: the container comes to about two thirds.
      const std::string text = Text(gen, 250 + gen() % 500) + Letters(gen, 250 + gen() % 500);
      db.SetRecordData(core::Bytes(text.begin(), text.end()));
      db.AppendRecord();
      inDb += static_cast<double>(text.size());
      bytes -= static_cast<double>(text.size());
    }
    db.Close();
    files.push_back(name + ".pdb");
  }
  return files;
}

convert::ConversionResult Convert(app::Command command, const fs::path& source, const fs::path& dest) {
  fs::remove_all(dest);
  fs::create_directories(dest);
  convert::MainFormState state;
  state.edtSource = source.string();
  state.edtDest = dest.string();
  state.CategorySource = convert::CategorySource::TextFile;
  core::SilentReporter reporter;
  convert::MainFormObjects objects;
  convert::ConversionContext context{state, reporter, objects};
  return app::RunConversion(command, context);
}

struct Point {
  double bytes, seconds;
};

void Print(const char* operation, const Point& p) {
  std::printf("SCALE|%s|%.0f|%.4f|%.2f\n", operation, p.bytes, p.seconds, p.bytes / kMB / p.seconds);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<double> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::strtod(argv[i], nullptr));
  if (sizes.empty()) sizes = {1, 3, 10, 30, 100};
  const fs::path base = bench::FastTempBase();
  const fs::path root = base / ("vestibo-throughput-" + std::to_string(std::random_device{}()));
  std::map<std::string, std::vector<Point>> points;
  bool ok = true;

  for (double mb : sizes) {
    const double bytes = mb * kMB;
    const int repeats = mb <= 10 ? 3 : 1;
    fs::remove_all(root);
    fs::create_directories(root);

    // Pack and unpack.
    const fs::path packDir = root / "pack";
    const std::vector<std::string> files = WritePackInput(packDir, bytes);
    const double databaseBytes = static_cast<double>(bench::DirectoryBytes(packDir));
    int rc = 0;
    const double pack = bench::BestSeconds(
        [&] {
          sya::TSyaPacker packer;
          rc |= packer.BeginPack(root.string(), "Packed.pdb", "Kestor_In", "PDBP");
          for (const auto& file : files) rc |= packer.PackDatabase(packDir.string(), file, kBlock);
          rc |= packer.EndPack();
        },
        repeats);
    const double containerBytes = static_cast<double>(fs::file_size(root / "Packed.pdb"));
    const double unpack = bench::BestSeconds(
        [&] {
          fs::remove_all(root / "unpacked");
          rc |= sya::SyaUnpack(root.string(), "Packed.pdb", (root / "unpacked").string());
        },
        repeats);
    ok &= rc == 0;
    points["pack"].push_back({databaseBytes, pack});
    points["unpack"].push_back({containerBytes, unpack});
    Print("pack", points["pack"].back());
    Print("unpack", points["unpack"].back());
    fs::remove_all(packDir);
    fs::remove_all(root / "unpacked");
    fs::remove(root / "Packed.pdb");

    // TXT -> PDB.
    WriteOffice(root / "office", bytes);
    const double textBytes = static_cast<double>(bench::DirectoryBytes(root / "office"));
    const double toPdb = bench::BestSeconds(
        [&] { ok &= Convert(app::Command::TxtToPdb, root / "office", root / "to-handheld") == convert::ConversionResult::Done; },
        repeats);
    points["TXT -> PDB"].push_back({textBytes, toPdb});
    Print("TXT -> PDB", points["TXT -> PDB"].back());
    fs::remove_all(root / "office");
    fs::remove_all(root / "to-handheld");

    // PDB -> TXT.
    WriteContainer(root / "handheld", bytes);
    const double outBytes = static_cast<double>(fs::file_size(root / "handheld" / "Kestor_Out.pdb"));
    const double toTxt = bench::BestSeconds(
        [&] { ok &= Convert(app::Command::PdbToTxt, root / "handheld", root / "office-in") == convert::ConversionResult::Done; },
        repeats);
    points["PDB -> TXT"].push_back({outBytes, toTxt});
    Print("PDB -> TXT", points["PDB -> TXT"].back());
  }
  fs::remove_all(root);

  // How throughput holds up from the smallest to the largest input.
  for (const auto& [operation, runs] : points) {
    if (runs.size() < 2) continue;
    const Point& small = runs.front();
    const Point& large = runs.back();
    const double smallRate = small.bytes / kMB / small.seconds;
    const double largeRate = large.bytes / kMB / large.seconds;
    bench::Row(operation + " MB/s at " + bench::Format("%.0f MB", large.bytes / kMB) + " / at " +
                   bench::Format("%.0f MB", small.bytes / kMB),
               bench::Format("%.1f MB/s", largeRate), bench::Format("%.1f MB/s", smallRate), largeRate / smallRate,
               bench::Goal::None, 0);
  }
  if (!ok) std::printf("FAIL: a run did not complete\n");
  return ok ? 0 : 1;
}
