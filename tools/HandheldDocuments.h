// The document records a handheld uploads (orders, order lines, cash receipts), written into
// their Palm databases: for the programs that make such databases themselves, the example maker
// and the tests. Texts are given in UTF-8; the databases hold them in Windows-1251.
#pragma once

#include <string>

#include "core/DateTime.h"
#include "pdb/PDBDataSet.h"

namespace samples {

struct Order {
  int id = 0, customer = 0;
  core::TDateTime orderDate, deliverDate;
  std::string time;
  int payment = 0;
  double total = 0;
  int rows = 0, nPrice = 0;
  double discount = 0;
  std::string note, note1, note2;
  bool selected = false;
};

struct OrderLine {
  int order = 0, product = 0;
  double quantity = 0, price = 0;
};

struct CashReceipt {
  int id = 0, customer = 0;
  core::TDateTime date;
  int currency = 0;
  double rate = 0, currencySum = 0, sum = 0;
  std::string note;
  int document = 0;
};

// Each appends one record to a data set open on the database of its kind.
void AppendOrder(pdb::TPDBDataSet& pt, const Order& order);
void AppendOrderLine(pdb::TPDBDataSet& pt, const OrderLine& line);
void AppendCashReceipt(pdb::TPDBDataSet& pt, const CashReceipt& cash);

}  // namespace samples
