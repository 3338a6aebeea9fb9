#include "HandheldDocuments.h"

#include "core/Encoding.h"

namespace samples {

void AppendOrder(pdb::TPDBDataSet& pt, const Order& order) {
  pt.Append();
  pt.FieldByName("Id").AsInteger(order.id);
  pt.FieldByName("OrderDate").AsDateTime(order.orderDate);
  pt.FieldByName("OrderTime").AsString(order.time);
  pt.FieldByName("DeliverDate").AsDateTime(order.deliverDate);
  pt.FieldByName("IdCustomer").AsInteger(order.customer);
  pt.FieldByName("IdPayment").AsInteger(order.payment);
  pt.FieldByName("Total").AsFloat(order.total);
  pt.FieldByName("CountRow").AsInteger(order.rows);
  pt.FieldByName("NPrice").AsInteger(order.nPrice);
  pt.FieldByName("PercentDiscount").AsFloat(order.discount);
  pt.FieldByName("Note").AsString(core::Utf8ToAnsi(order.note));
  pt.FieldByName("Note1").AsString(core::Utf8ToAnsi(order.note1));
  pt.FieldByName("Note2").AsString(core::Utf8ToAnsi(order.note2));
  pt.FieldByName("Selected").AsBoolean(order.selected);
  pt.Post();
}

void AppendOrderLine(pdb::TPDBDataSet& pt, const OrderLine& line) {
  pt.Append();
  pt.FieldByName("IdOrder").AsInteger(line.order);
  pt.FieldByName("IdProduct").AsInteger(line.product);
  pt.FieldByName("Quantity").AsFloat(line.quantity);
  pt.FieldByName("Price").AsFloat(line.price);
  pt.Post();
}

void AppendCashReceipt(pdb::TPDBDataSet& pt, const CashReceipt& cash) {
  pt.Append();
  pt.FieldByName("Id").AsInteger(cash.id);
  pt.FieldByName("IdCustomer").AsInteger(cash.customer);
  pt.FieldByName("CashDate").AsDateTime(cash.date);
  pt.FieldByName("IdCurrency").AsInteger(cash.currency);
  pt.FieldByName("Currencycurs").AsFloat(cash.rate);
  pt.FieldByName("CurrencySumma").AsFloat(cash.currencySum);
  pt.FieldByName("Summa").AsFloat(cash.sum);
  pt.FieldByName("Note").AsString(core::Utf8ToAnsi(cash.note));
  pt.FieldByName("Iddoc").AsInteger(cash.document);
  pt.Post();
}

}  // namespace samples
