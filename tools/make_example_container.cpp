// Makes examples/handheld/Kestor_Out.pdb: a container as a handheld uploads it, with a few
// orders, order lines and cash receipts, written through the project's own data set and packer.
//
//   vestibo_make_example <output directory>
#include <filesystem>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "convert/DocumentUnpack.h"
#include "convert/HandheldDatabases.h"
#include "core/DateTime.h"
#include "core/Encoding.h"
#include "core/Files.h"
#include "pdb/PDBDataSet.h"
#include "sync/SyaPack.h"

namespace {

namespace fs = std::filesystem;

struct Order {
  int id, customer;
  int day, month;
  const char* time;
  int payment;
  double total;
  int rows, price;
  double discount;
  const char* note;
  const char* note1;
};
struct OrderItem {
  int order, product;
  double quantity, price;
};
struct Cash {
  int id, customer, day, month;
  double summa;
  const char* note;
};

const std::vector<Order> kOrders = {
    {501, 3, 14, 3, "09:40", 1, 1234.5, 3, 1, 0, "Доставить до обеда", "Наличные"},
    {502, 1, 14, 3, "11:15", 2, 612.8, 2, 2, 5, "", "Безналичный расчёт"},
    {503, 4, 15, 3, "10:05", 1, 98.4, 2, 1, 2.5, "Позвонить заранее", ""},
};
const std::vector<OrderItem> kOrderItems = {
    {501, 12, 10, 45.9}, {501, 15, 5, 123.3}, {501, 21, 2, 10.2},  {502, 12, 8, 45.9},
    {502, 30, 4, 61.4},  {503, 21, 6, 10.2},  {503, 17, 1.5, 24.8},
};
const std::vector<Cash> kCash = {
    {901, 3, 14, 3, 1000, "Оплата по накладной 501"},
    {902, 4, 15, 3, 98.4, "Частичная оплата"},
};

core::TDateTime Date(int day, int month) { return *core::TDateTime::FromDate(2026, month, day); }

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
  for (const Order& o : kOrders) {
    pt.Append();
    pt.FieldByName("Id").AsInteger(o.id);
    pt.FieldByName("OrderDate").AsDateTime(Date(o.day, o.month));
    pt.FieldByName("OrderTime").AsString(o.time);
    pt.FieldByName("DeliverDate").AsDateTime(Date(o.day + 1, o.month));
    pt.FieldByName("IdCustomer").AsInteger(o.customer);
    pt.FieldByName("IdPayment").AsInteger(o.payment);
    pt.FieldByName("Total").AsFloat(o.total);
    pt.FieldByName("CountRow").AsInteger(o.rows);
    pt.FieldByName("NPrice").AsInteger(o.price);
    pt.FieldByName("PercentDiscount").AsFloat(o.discount);
    pt.FieldByName("Note").AsString(core::Utf8ToAnsi(o.note));
    pt.FieldByName("Note1").AsString(core::Utf8ToAnsi(o.note1));
    pt.FieldByName("Note2").AsString("");
    pt.FieldByName("Selected").AsBoolean(false);
    pt.Post();
  }
  pt.Close();

  Begin(pt, dir, convert::kOrderItemDb);
  for (const OrderItem& item : kOrderItems) {
    pt.Append();
    pt.FieldByName("IdOrder").AsInteger(item.order);
    pt.FieldByName("IdProduct").AsInteger(item.product);
    pt.FieldByName("Quantity").AsFloat(item.quantity);
    pt.FieldByName("Price").AsFloat(item.price);
    pt.Post();
  }
  pt.Close();

  Begin(pt, dir, convert::kCashDb);
  for (const Cash& c : kCash) {
    pt.Append();
    pt.FieldByName("Id").AsInteger(c.id);
    pt.FieldByName("IdCustomer").AsInteger(c.customer);
    pt.FieldByName("CashDate").AsDateTime(Date(c.day, c.month));
    pt.FieldByName("IdCurrency").AsInteger(1);
    pt.FieldByName("Currencycurs").AsFloat(1);
    pt.FieldByName("CurrencySumma").AsFloat(c.summa);
    pt.FieldByName("Summa").AsFloat(c.summa);
    pt.FieldByName("Note").AsString(core::Utf8ToAnsi(c.note));
    pt.FieldByName("Iddoc").AsInteger(0);
    pt.Post();
  }
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
