// Helpers the benchmark programs share: timing, the process's memory figures, scratch
// directories and the handheld container (orders and their lines) that conversions read.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "HandheldDocuments.h"
#include "convert/HandheldDatabases.h"
#include "core/DateTime.h"
#include "pdb/PDBDataSet.h"
#include "sync/SyaPack.h"

namespace bench {

namespace fs = std::filesystem;

// The order lines the insert benchmarks write: the i-th of a run, the same in every run.
struct OrderLine {
  int idOrder;
  int idProduct;
  double quantity;
  double price;
};
inline OrderLine OrderLineAt(int i) { return {i / 8 + 1, 1000 + i % 500, (i % 7) + 0.5, 10.0 + (i % 100) * 0.25}; }
// Appends the first `rows` order lines to an open live query, one Append/Post each, through the
// fields IdOrder, IdProduct, Quantity and Price.
template <class Query>
void AppendOrderLines(Query& query, int rows) {
  for (int i = 0; i < rows; ++i) {
    const OrderLine line = OrderLineAt(i);
    query.Append();
    query.FieldByName("IdOrder").AsInteger(line.idOrder);
    query.FieldByName("IdProduct").AsInteger(line.idProduct);
    query.FieldByName("Quantity").AsFloat(line.quantity);
    query.FieldByName("Price").AsFloat(line.price);
    query.Post();
  }
}

// The block size containers are packed with.
inline constexpr std::size_t kPackBlock = 30000;

// The fastest of `repeats` runs of `work`, in seconds.
inline double BestSeconds(const std::function<void()>& work, int repeats = 3) {
  double best = std::numeric_limits<double>::max();
  for (int i = 0; i < repeats; ++i) {
    const auto start = std::chrono::steady_clock::now();
    work();
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

// A figure of /proc/self/status in KiB ("VmRSS", "VmHWM"), -1 when missing.
inline long StatusKiB(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::string prefix = std::string(key) + ":";
  while (std::getline(in, line))
    if (line.rfind(prefix, 0) == 0) return std::strtol(line.c_str() + prefix.size(), nullptr, 10);
  return -1;
}

// The running program, to start again as a child that measures itself.
inline std::string SelfPath() { return fs::read_symlink("/proc/self/exe").string(); }

// Where scratch files go when file-system speed should not count: memory when there is one.
inline fs::path FastTempBase() {
  return fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
}

// The bytes of the regular files directly in `dir`.
inline std::uintmax_t DirectoryBytes(const fs::path& dir) {
  std::uintmax_t total = 0;
  for (const auto& entry : fs::directory_iterator(dir))
    if (entry.is_regular_file()) total += entry.file_size();
  return total;
}

// ---- handheld container ----------------------------------------------------------------------

// Opens `pt` to write a new handheld database in `work`.
inline void OpenHandheldDatabase(pdb::TPDBDataSet& pt, const fs::path& work, const convert::HandheldDatabase& db) {
  convert::PrepareDataSet(pt, work.string(), db);
  pt.SetDatabaseName(std::string(db.name));
  pt.SetDatabaseType("DATA");
  pt.Open();
}

// One order as a handheld sends it; the fields not here are the same in every bench.
struct OrderRow {
  int id = 0;
  int customer = 0;
  double total = 0;
  std::string note, note1, note2;
};

inline void AppendOrder(pdb::TPDBDataSet& pt, core::TDateTime day, const OrderRow& order) {
  pt.Append();
  pt.FieldByName("Id").AsInteger(order.id);
  pt.FieldByName("OrderDate").AsDateTime(day);
  pt.FieldByName("OrderTime").AsString("10:15");
  pt.FieldByName("DeliverDate").AsDateTime(day);
  pt.FieldByName("IdCustomer").AsInteger(order.customer);
  pt.FieldByName("IdPayment").AsInteger(1);
  pt.FieldByName("Total").AsFloat(order.total);
  pt.FieldByName("CountRow").AsInteger(3);
  pt.FieldByName("NPrice").AsInteger(1);
  pt.FieldByName("PercentDiscount").AsFloat(2.5);
  pt.FieldByName("Note").AsString(order.note);
  pt.FieldByName("Note1").AsString(order.note1);
  pt.FieldByName("Note2").AsString(order.note2);
  pt.FieldByName("Selected").AsBoolean(false);
  pt.Post();
}

// Packs the databases `files` of `work` into dir/Kestor_Out.pdb and removes `work`.
inline void PackHandheldContainer(const fs::path& dir, const fs::path& work, const std::vector<std::string>& files) {
  sya::TSyaPacker packer;
  packer.BeginPack(dir.string(), "Kestor_Out.pdb", "Kestor_Out", "PDBP");
  for (const auto& file : files) packer.PackDatabase(work.string(), file, kPackBlock);
  packer.EndPack();
  fs::remove_all(work);
}

}  // namespace bench
