#include "convert/PdbToDbf.h"

#include <array>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>

#include "convert/FieldColumns.h"
#include "convert/HandheldDatabases.h"
#include "convert/DocumentUnpack.h"
#include "core/Encoding.h"
#include "core/Files.h"
#include "core/NumberFormat.h"
#include "core/TextUtil.h"
#include "odbc/TmQuery.h"
#include "odbc/TmDataBase.h"

namespace convert {
namespace {

// The files the office system reads; earlier ones are removed before the tables are created.
constexpr std::string_view kOrderTable = "Order.dbf";
constexpr std::string_view kOrdersTable = "Orders.dbf";
constexpr std::string_view kOrderItemTable = "OrderItem.dbf";
constexpr std::string_view kCashTable = "Cash.dbf";

// The connection's name; the DSN line it makes is dropped again when the lines are filled.
constexpr std::string_view kConnectionName = "mData";

// Texts of the longest text columns of orders.dbf.
constexpr std::size_t kNoteWidth = 200;

// The table statements. The FoxPro driver takes the table's full path, so its statements begin
// with `Create table "` + directory + separator and go on with the text after the prefix here.
constexpr std::string_view kCreateTable = "Create table \"";

// orders.dbf is created with two lines of statement text; the second is shared by both sets.
constexpr std::string_view kOrdersColumns =
    "orders.dbf\" (Idorder Char(15),Iditem Char(15), OrderDate Char(15),DelivDate Char(15), IdCustomer Char(15), "
    "IdPayment Char(15), Total Char(18),CountRow Char(15),IdPrice Char(15),Discount Char(15), Prim Char(200), "
    "OrderTime Char(10)";
constexpr std::string_view kOrdersColumnsEnd = ",Note1 char(200),Note2 char(200))";

constexpr std::string_view kOrderColumnsDBase =
    "order.dbf\" (id integer,IdCustomer integer, OrderDate Date, DelivDate Date, IDPAYMENT integer, Countrow "
    "Integer, NPrice Integer, Discount Float, Total Float, Prim char(200), OrderTime Char(10),Note1 char(200),Note2 "
    "char(200))";
constexpr std::string_view kOrderColumnsFoxPro =
    "order.dbf\" (id integer,IdCustomer integer, OrderDate Date, DelivDate Date, IDPAYMENT integer, Countrow "
    "Integer, NPrice Integer, Discount Numeric(15,3), Total Numeric(15,3),Prim char(200), OrderTime "
    "Char(10),Note1 char(200),Note2 char(200))";

constexpr std::string_view kOrderItemColumnsDBase =
    "orderitem.dbf\" (idorder integer,IdProduct Integer, Quantity Float, Price Float)";
constexpr std::string_view kOrderItemColumnsFoxPro =
    "orderitem.dbf\" (idorder integer,IdProduct Integer, Quantity Numeric(15,3), Price Numeric(15,3))";

// The queries the rows are appended to; every post runs the insert statement once.
constexpr std::string_view kOrdersSelect = "select * from \"orders.dbf\"";
constexpr std::array<std::string_view, 2> kOrdersInsert{
    "insert into  \"orders.dbf\" (idOrder, IdItem,IdCustomer, OrderDate, DelivDate, IDPAYMENT, Countrow, IdPrice, "
    "Discount,Total,Prim,OrderTime,Note1,Note2)",
    " values (:idOrder,:IdItem,:IdCustomer, :OrderDate, :DelivDate, :IDPAYMENT, :Countrow, :IdPrice, "
    ":Discount,:Total,:Prim,:OrderTime,:Note1,:Note2)"};

constexpr std::string_view kOrderSelect = "select * from \"order.dbf\"";
constexpr std::array<std::string_view, 2> kOrderInsert{
    "insert into  \"order.dbf\" (id,IdCustomer, OrderDate, DelivDate, IDPAYMENT, Countrow, NPrice, "
    "Discount,Total,Prim,OrderTime,Note1,Note2)",
    "   values (:id,:IdCustomer, :OrderDate, :DelivDate, :IDPAYMENT, :Countrow, :NPrice, "
    ":Discount,:Total,:Prim,:OrderTime,:Note1,:Note2)"};

constexpr std::string_view kOrderItemSelect = "select * from \"orderitem.dbf\"";
constexpr std::array<std::string_view, 1> kOrderItemInsert{
    "insert into  \"orderItem.dbf\" (IdOrder,IdProduct,Quantity,Price) values (:idOrder,:IdProduct,:Quantity,:Price)"};

// Read back in id order for the merge into orders.dbf.
constexpr std::string_view kOrderSorted = "Order by Id";
constexpr std::string_view kOrderItemSorted = "Order by IdOrder";

template <std::size_t N>
std::vector<std::string> Lines(const std::array<std::string_view, N>& lines) {
  return {lines.begin(), lines.end()};
}

std::string DecimalText(std::int32_t value) { return std::to_string(value); }

// A field of a dBase table (`to`) and the field of the handheld database it is written from. An
// optional field the database lacks leaves `to` unset.
struct FieldCopy {
  std::string_view to;
  std::string_view from;
  ValueKind value;
  bool optional = false;
};

// order.dbf from the handheld's orders, in the columns' order.
constexpr std::array<FieldCopy, 13> kOrderFromHandheld{{
    {"id", "Id", ValueKind::Integer},
    {"IdCustomer", "IdCustomer", ValueKind::Integer},
    {"OrderDate", "OrderDate", ValueKind::DateTime},
    {"DelivDate", "DeliverDate", ValueKind::DateTime},
    {"IDPAYMENT", "IdPayment", ValueKind::Integer},
    {"Total", "Total", ValueKind::Float},
    {"Countrow", "CountRow", ValueKind::Integer},
    {"NPrice", "NPrice", ValueKind::Integer},
    {"Discount", "PercentDiscount", ValueKind::Float},
    {"Prim", "Note", ValueKind::Text},
    {"OrderTime", "OrderTime", ValueKind::Text},
    {"Note1", "Note1", ValueKind::Text, true},
    {"Note2", "Note2", ValueKind::Text, true},
}};
// orderitem.dbf from the handheld's order lines.
constexpr std::array<FieldCopy, 4> kOrderItemFromHandheld{{
    {"IdOrder", "IdOrder", ValueKind::Integer},
    {"IdProduct", "IdProduct", ValueKind::Integer},
    {"Quantity", "Quantity", ValueKind::Float},
    {"Price", "Price", ValueKind::Float},
}};

// How a value of order.dbf is written as text into orders.dbf.
enum class OrdersText {
  Decimal,  // a whole number
  Money,    // two decimals
  Date,     // day.month.year
  Text,
  Note,     // cut to kNoteWidth
};

// A column of orders.dbf (`to`) and the column of order.dbf its header row takes.
struct OrdersColumn {
  std::string_view to;
  std::string_view from;
  OrdersText how;
};

// The columns of orders.dbf in order. Iditem has no column of order.dbf: a header row carries 0
// there, a line row its number.
constexpr std::array<OrdersColumn, 14> kOrdersFromOrder{{
    {"Idorder", "id", OrdersText::Decimal},
    {"Iditem", "", OrdersText::Text},
    {"OrderDate", "OrderDate", OrdersText::Date},
    {"DelivDate", "DelivDate", OrdersText::Date},
    {"IdCustomer", "IdCustomer", OrdersText::Decimal},
    {"IdPayment", "IDPAYMENT", OrdersText::Decimal},
    {"Total", "Total", OrdersText::Money},
    {"CountRow", "Countrow", OrdersText::Decimal},
    {"IdPrice", "NPrice", OrdersText::Decimal},
    {"Discount", "Discount", OrdersText::Money},
    {"Prim", "Prim", OrdersText::Note},
    {"OrderTime", "OrderTime", OrdersText::Text},
    {"Note1", "Note1", OrdersText::Note},
    {"Note2", "Note2", OrdersText::Note},
}};

// Positions in the column tables, by name.
consteval std::size_t OrdersColumnOf(std::string_view name) {
  return PositionOf(kOrdersFromOrder, &OrdersColumn::to, name);
}
consteval std::size_t OrderItemColumnOf(std::string_view name) {
  return PositionOf(kOrderItemFromHandheld, &FieldCopy::to, name);
}

// One row: each field of `to` from its field of `from`, as `table` says.
void CopyRow(std::span<const FieldCopy> table, FieldColumns& to, FieldColumns& from) {
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (!table[i].optional) {
      dataset::TField& target = to[i];
      CopyValue(table[i].value, from[i], target);
    } else if (const dataset::TField* source = from.Find(i)) {
      CopyValue(table[i].value, *source, to[i]);
    }
  }
}

// The text of an order.dbf value as orders.dbf takes it.
std::string OrdersValue(OrdersText how, dataset::TField& field) {
  switch (how) {
    case OrdersText::Decimal:
      return DecimalText(field.AsInteger());
    case OrdersText::Money:
      return core::FormatFixed(field.AsFloat(), 2);
    case OrdersText::Date:
      return field.AsDateTime().FormatDate('.');
    case OrdersText::Text:
      return field.AsString();
    case OrdersText::Note:
      return core::LeftStr(field.AsString(), kNoteWidth);
  }
  return {};
}

class DbfImport {
 public:
  DbfImport(ConversionContext& context, std::string dest)
      : context_(context),
        pt_(context.objects.pt()),
        dest_(std::move(dest)),
        driver_(context.state.OdbcDriver),
        variant_(DbfVariantFor(driver_)) {}
  DbfImport(const DbfImport&) = delete;
  DbfImport& operator=(const DbfImport&) = delete;

  // After a failed post the record is still pending in its query, and closing a query posts
  // a pending record: it is dropped instead, so that a refused row is not tried once more.
  ~DbfImport() {
    for (odbc::TmQuery* query : {&ordersQuery_, &orderQuery_, &orderItemQuery_}) {
      const dataset::TDataSetState state = query->State();
      if (state != dataset::TDataSetState::Insert && state != dataset::TDataSetState::Edit) continue;
      try {
        query->Cancel();
      } catch (...) {
        // The query is released right after; nothing of the record reaches the driver.
      }
    }
  }

  ConversionResult Run() {
    for (std::string_view table : {kOrderTable, kOrdersTable, kOrderItemTable, kCashTable})
      core::DeleteNoCase(dest_, table);

    PrepareDataSet(pt_, dest_, kOrderDb);
    ReadTextFieldsWhole(pt_);
    pt_.SetForwardOnly(true);  // each database is walked once and deleted: nothing kept or rewritten
    pt_.Open();
    context_.reporter.ProgressStart(pt_.RecordCount());
    PrepareDbfTables();
    const int orders = WriteOrders();
    const int orderLines = WriteOrderItems();
    if (variant_ == DbfVariant::FoxPro) {
      db_.Commit();
      db_.StartTransaction();
    }
    MergeIntoOrders(orders, orderLines);
    orderQuery_.Close();
    ordersQuery_.ApplyUpdates();
    ordersQuery_.CommitUpdates();
    ordersQuery_.Close();
    if (variant_ == DbfVariant::FoxPro) db_.Commit();
    orderItemQuery_.Close();
    orderQuery_.Close();
    db_.Disconnect();

    // Cash receipts have no table of their own: the database is only looked at.
    const int cashReceipts = 0;
    if (core::ExistsNoCase(dest_, kCashDb.fileName)) {
      PrepareDataSet(pt_, dest_, kCashDb);
      ReadTextFieldsWhole(pt_);
      pt_.SetForwardOnly(true);
      pt_.Open();
      context_.reporter.ProgressStart(pt_.RecordCount());
      pt_.Close();
    }

    if (context_.state.Interactive)
      context_.reporter.ShowMessage("Обработано документов: " + std::to_string(orders) + "\r" +
                                    "       Кассовых ордеров: " + std::to_string(cashReceipts));
    if (cashReceipts == 0) core::DeleteNoCase(dest_, kCashTable);
    if (orders == 0)
      for (std::string_view table : {kOrderTable, kOrdersTable, kOrderItemTable}) core::DeleteNoCase(dest_, table);
    for (const HandheldDatabase* db : {&kOrderDb, &kOrderItemDb, &kCashDb}) core::DeleteNoCase(dest_, db->fileName);
    return ConversionResult::Done;
  }

 private:
  // Connects, creates the three tables and opens orders.dbf for appending.
  void PrepareDbfTables() {
    db_.SetDataBaseName(std::string(kConnectionName));
    db_.SetParams(DbfConnectParams(variant_, driver_, dest_));
    db_.Connect();
    for (odbc::TmQuery* query : {&ordersQuery_, &orderQuery_, &orderItemQuery_}) {
      query->SetDataBase(&db_);
      query->SetReporter(&context_.reporter);
    }

    ordersQuery_.SetSQL({CreateStatementStart() + std::string(kOrdersColumns), std::string(kOrdersColumnsEnd)});
    ordersQuery_.ExecSQL();
    const bool foxPro = variant_ == DbfVariant::FoxPro;
    ordersQuery_.SetSQL({CreateStatementStart() + std::string(foxPro ? kOrderColumnsFoxPro : kOrderColumnsDBase)});
    ordersQuery_.ExecSQL();
    ordersQuery_.SetSQL(
        {CreateStatementStart() + std::string(foxPro ? kOrderItemColumnsFoxPro : kOrderItemColumnsDBase)});
    ordersQuery_.ExecSQL();

    OpenForAppending(ordersQuery_, kOrdersSelect, Lines(kOrdersInsert));
    if (foxPro) db_.StartTransaction();
  }

  std::string CreateStatementStart() const {
    std::string start(kCreateTable);
    if (variant_ == DbfVariant::FoxPro) start.append(dest_).push_back(core::kPathSeparator);
    return start;
  }

  static void OpenForAppending(odbc::TmQuery& query, std::string_view select, std::vector<std::string> insert) {
    query.Close();
    query.SetSQL({std::string(select)});
    query.SetInsertSQL(std::move(insert));
    query.SetRequestLive(true);
    query.Open();
  }

  // One typed row of order.dbf per order of the handheld; the number of orders.
  int WriteOrders() {
    OpenForAppending(orderQuery_, kOrderSelect, Lines(kOrderInsert));
    const std::span<const FieldCopy> table(kOrderFromHandheld);
    FieldColumns order(orderQuery_, table, &FieldCopy::to);
    FieldColumns handheld(pt_, table, &FieldCopy::from);
    int written = 0;
    for (; !pt_.Eof(); pt_.Next()) {
      orderQuery_.Append();
      CopyRow(table, order, handheld);
      ++written;
      orderQuery_.Post();
      context_.reporter.ProgressStep();
    }
    pt_.Close();
    orderQuery_.ApplyUpdates();
    orderQuery_.CommitUpdates();
    orderQuery_.Close();
    return written;
  }

  // One typed row of orderitem.dbf per order line of the handheld; the number of lines.
  int WriteOrderItems() {
    OpenForAppending(orderItemQuery_, kOrderItemSelect, Lines(kOrderItemInsert));
    PrepareDataSet(pt_, dest_, kOrderItemDb);
    pt_.SetForwardOnly(true);
    pt_.Open();
    context_.reporter.ProgressStart(pt_.RecordCount());
    const std::span<const FieldCopy> table(kOrderItemFromHandheld);
    FieldColumns item(orderItemQuery_, table, &FieldCopy::to);
    FieldColumns handheld(pt_, table, &FieldCopy::from);
    int written = 0;
    for (; !pt_.Eof(); pt_.Next()) {
      orderItemQuery_.Append();
      CopyRow(table, item, handheld);
      ++written;
      orderItemQuery_.Post();
      context_.reporter.ProgressStep();
    }
    pt_.Close();
    orderItemQuery_.ApplyUpdates();
    orderItemQuery_.CommitUpdates();
    orderItemQuery_.Close();
    return written;
  }

  // orders.dbf: for each order in id order its header row, then a row per line of it. Lines
  // are numbered on across orders; lines of orders that are not there are passed over. A
  // driver that reads back fewer or more rows than were written stops the conversion: orders.dbf
  // would miss documents.
  void MergeIntoOrders(int orders, int orderLines) {
    orderQuery_.AddSQL(std::string(kOrderSorted));
    orderQuery_.Open();
    orderItemQuery_.AddSQL(std::string(kOrderItemSorted));
    orderItemQuery_.Open();
    ExpectReadBack(orderItemQuery_.RecordCount(), orderLines, "orderitem.dbf");
    int ordersRead = 0;
    const std::span<const OrdersColumn> table(kOrdersFromOrder);
    FieldColumns merged(ordersQuery_, table, &OrdersColumn::to);
    FieldColumns order(orderQuery_, table, &OrdersColumn::from);
    FieldColumns item(orderItemQuery_, std::span<const FieldCopy>(kOrderItemFromHandheld), &FieldCopy::to);
    int lineNumber = 0;
    for (; !orderQuery_.Eof(); orderQuery_.Next()) {
      ++ordersRead;
      const std::int32_t id = order[OrdersColumnOf("Idorder")].AsInteger();
      AppendOrderHeader(id, merged, order);
      while (!orderItemQuery_.Eof()) {
        const std::int32_t itemOrder = item[OrderItemColumnOf("IdOrder")].AsInteger();
        if (id < itemOrder) break;
        if (itemOrder == id) AppendOrderLine(id, ++lineNumber, merged, item);
        orderItemQuery_.Next();
      }
    }
    ExpectReadBack(ordersRead, orders, "order.dbf");
  }

  void ExpectReadBack(int read, int written, std::string_view table) const {
    if (read == written) return;
    throw std::runtime_error("the ODBC driver \"" + driver_ + "\" read back " + std::to_string(read) + " of the " +
                             std::to_string(written) + " rows written to " + core::JoinPath(dest_, table));
  }

  void AppendOrderHeader(std::int32_t id, FieldColumns& orders, FieldColumns& order) {
    ordersQuery_.Append();
    orders[OrdersColumnOf("Idorder")].AsString(DecimalText(id));
    orders[OrdersColumnOf("Iditem")].AsString("0");
    for (std::size_t i = OrdersColumnOf("Iditem") + 1; i < kOrdersFromOrder.size(); ++i)
      orders[i].AsString(OrdersValue(kOrdersFromOrder[i].how, order[i]));
    ordersQuery_.Post();
  }

  // A line row reuses the columns of the header row: the product in OrderDate, the quantity in
  // DelivDate, the price in IdCustomer and the line's sum in Total.
  void AppendOrderLine(std::int32_t id, int lineNumber, FieldColumns& orders, FieldColumns& item) {
    const double quantity = item[OrderItemColumnOf("Quantity")].AsFloat();
    const double price = item[OrderItemColumnOf("Price")].AsFloat();
    ordersQuery_.Append();
    orders[OrdersColumnOf("Idorder")].AsString(DecimalText(id));
    orders[OrdersColumnOf("Iditem")].AsString(std::to_string(lineNumber));
    orders[OrdersColumnOf("OrderDate")].AsString(DecimalText(item[OrderItemColumnOf("IdProduct")].AsInteger()));
    orders[OrdersColumnOf("DelivDate")].AsString(core::FormatFixed(quantity, 3));
    orders[OrdersColumnOf("IdCustomer")].AsString(core::FormatFixed(price, 2));
    orders[OrdersColumnOf("Total")].AsString(core::FormatFixed(quantity * price, 2));
    ordersQuery_.Post();
  }

  ConversionContext& context_;
  pdb::TPDBDataSet& pt_;
  const std::string dest_;
  const std::string driver_;
  const DbfVariant variant_;
  // Declared before the queries, so that they are gone before the connection closes.
  odbc::TmDataBase db_;
  odbc::TmQuery ordersQuery_;
  odbc::TmQuery orderQuery_;
  odbc::TmQuery orderItemQuery_;
};

}  // namespace

DbfVariant DbfVariantFor(std::string_view driverName) {
  const std::string upper = core::AnsiUpperCaser()(driverName);
  return upper.find("VFP") != std::string::npos ? DbfVariant::FoxPro : DbfVariant::dBase;
}

std::vector<std::string> DbfConnectParams(DbfVariant variant, std::string_view driverName, std::string_view destDir) {
  const std::string driver = "DRIVER=" + std::string(driverName);
  const std::string sourceDb = "SourceDB=" + std::string(destDir);
  if (variant == DbfVariant::FoxPro)
    return {driver, sourceDb, "SourceType=DBF", "Exclusive=No", "BackgroundFetch=Yes", "Collate=RUSSIAN"};
  return {driver,          "DefaultDir=" + std::string(destDir),
          sourceDb,        "SourceType=DBF",
          "Exclusive=No",  "BackgroundFetch=Yes",
          "FIL=dBase III", "DriverId=21",
          "MaxBufferSize=2048", "PageTimeout=5"};
}

ConversionResult PdbToDbf(ConversionContext& context) {
  if (context.state.OdbcDriver.empty()) context.state.OdbcDriver = std::string(kDefaultOdbcDriver);
  CarriedDocuments carried;
  if (const std::optional<ConversionResult> stop = UnpackDocuments(context, carried)) return *stop;
  // Cash receipts have no table: without orders and their lines there is nothing to write.
  if (!carried.OrdersWithLines()) return ConversionResult::NothingToDo;
  OpenDataSetGuard closeOnExit(context.objects);
  return DbfImport(context, context.state.edtDest).Run();
}

}  // namespace convert
