// Makes examples/handheld/Kestor_Out.pdb: a container as a handheld uploads it, with a few
// orders, order lines and cash receipts, written through the project's own data set and packer.
//
//   vestibo_make_example <output directory>
#include <filesystem>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "HandheldDocuments.h"
#include "convert/DocumentUnpack.h"
#include "convert/HandheldDatabases.h"
#include "core/DateTime.h"
#include "core/Files.h"
#include "pdb/PDBDataSet.h"
#include "sync/SyaPack.h"

namespace {

namespace fs = std::filesystem;

core::TDateTime Date(int day, int month) { return *core::TDateTime::FromDate(2026, month, day); }

const std::vector<samples::Order> kOrders = {
    {501, 3, Date(14, 3), Date(15, 3), "09:40", 1, 1234.5, 3, 1, 0, "Доставить до обеда", "Наличные", ""},
    {502, 1, Date(14, 3), Date(15, 3), "11:15", 2, 612.8, 2, 2, 5, "", "Безналичный расчёт", ""},
    {503, 4, Date(15, 3), Date(16, 3), "10:05", 1, 98.4, 2, 1, 2.5, "Позвонить заранее", "", ""},
};
const std::vector<samples::OrderLine> kOrderLines = {
    {501, 12, 10, 45.9}, {501, 15, 5, 123.3}, {501, 21, 2, 10.2},  {502, 12, 8, 45.9},
    {502, 30, 4, 61.4},  {503, 21, 6, 10.2},  {503, 17, 1.5, 24.8},
};
const std::vector<samples::CashReceipt> kCash = {
    {901, 3, Date(14, 3), 1, 1, 1000, 1000, "Оплата по накладной 501"},
    {902, 4, Date(15, 3), 1, 1, 98.4, 98.4, "Частичная оплата"},
};

void Begin(pdb::TPDBDataSet& pt, const std::string& dir, const convert::HandheldDatabase& db) {
  convert::PrepareDataSet(pt, dir, db);
  pt.SetDatabaseName(std::string(db.name));
  pt.SetDatabaseType("DATA");
  pt.SetCreationDate(Date(15, 3));
  pt.Open();
}

void WriteDocuments(const std::string& dir) {
  pdb::TPDBDataSet pt;
  Begin(pt, dir, convert::kOrderDb);
  for (const samples::Order& order : kOrders) samples::AppendOrder(pt, order);
  pt.Close();
  Begin(pt, dir, convert::kOrderItemDb);
  for (const samples::OrderLine& line : kOrderLines) samples::AppendOrderLine(pt, line);
  pt.Close();
  Begin(pt, dir, convert::kCashDb);
  for (const samples::CashReceipt& receipt : kCash) samples::AppendCashReceipt(pt, receipt);
  pt.Close();
}

int Pack(const std::string& work, const std::string& out) {
  sya::TSyaPacker packer;
  if (int rc = packer.BeginPack(out, convert::kOutContainerFile, "Kestor_Out", "PDBP")) return rc;
  for (const convert::HandheldDatabase* db : {&convert::kOrderDb, &convert::kOrderItemDb, &convert::kCashDb}) {
    if (int rc = packer.PackDatabase(work, db->fileName, 30000)) return rc;
  }
  return packer.EndPack();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: vestibo_make_example <output directory>\n";
    return 2;
  }
  try {
    const std::string out = argv[1];
    fs::create_directories(out);
    const fs::path work = fs::temp_directory_path() / ("vestibo-example-" + std::to_string(std::random_device{}()));
    fs::create_directories(work);
    WriteDocuments(work.string());
    const int rc = Pack(work.string(), out);
    fs::remove_all(work);
    if (rc != 0) {
      std::cerr << "packing failed: " << rc << '\n';
      return 1;
    }
    std::cout << core::JoinPath(out, convert::kOutContainerFile) << '\n';
    return 0;
  } catch (const std::exception& e) {
    std::cerr << e.what() << '\n';
    return 1;
  }
}
