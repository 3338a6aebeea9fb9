#include "app/PdbToDbf.h"

#include <array>
#include <optional>
#include <string>

#include "app/HandheldDatabases.h"
#include "app/PdbToTxt.h"
#include "core/Encoding.h"
#include "core/Files.h"
#include "core/NumberFormat.h"
#include "core/TextUtil.h"
#include "odbc/TmQuery.h"
#include "odbc/TmDataBase.h"

namespace app {
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

// The field of an open data set, looked up once per table rather than once per row.
class FieldCache {
 public:
  explicit FieldCache(dataset::TDataSet& dataSet) : dataSet_(dataSet) {}
  dataset::TField& operator()(std::size_t slot, std::string_view name) {
    if (slot >= fields_.size()) fields_.resize(slot + 1, nullptr);
    if (fields_[slot] == nullptr) fields_[slot] = &dataSet_.FieldByName(name);
    return *fields_[slot];
  }
  void Reset() { fields_.clear(); }

 private:
  dataset::TDataSet& dataSet_;
  std::vector<dataset::TField*> fields_;
};

class DbfImport {
 public:
  DbfImport(ConversionContext& context, std::string dest)
      : context_(context),
        pt_(context.objects.pt()),
        dest_(std::move(dest)),
        driver_(context.state.OdbcDriver),
        variant_(DbfVariantFor(driver_)),
        source_(pt_),
        orders_(ordersQuery_),
        order_(orderQuery_),
        item_(orderItemQuery_) {}
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
    pt_.Open();
    context_.reporter.ProgressStart(pt_.RecordCount());
    PrepareDbfTables();
    const int orders = WriteOrders();
    WriteOrderItems();
    if (variant_ == EDbfVariant::FoxPro) {
      db_.Commit();
      db_.StartTransaction();
    }
    MergeIntoOrders();
    orderQuery_.Close();
    ordersQuery_.ApplyUpdates();
    ordersQuery_.CommitUpdates();
    ordersQuery_.Close();
    if (variant_ == EDbfVariant::FoxPro) db_.Commit();
    orderItemQuery_.Close();
    orderQuery_.Close();
    db_.Disconnect();

    // Cash receipts have no table of their own: the database is only looked at.
    const int cashReceipts = 0;
    if (core::ExistsNoCase(dest_, kCashDb.fileName)) {
      PrepareDataSet(pt_, dest_, kCashDb);
      ReadTextFieldsWhole(pt_);
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
    const bool foxPro = variant_ == EDbfVariant::FoxPro;
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
    if (variant_ == EDbfVariant::FoxPro) start.append(dest_).push_back(core::kPathSeparator);
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
    order_.Reset();
    source_.Reset();
    dataset::TField* note1 = pt_.FindField("Note1");
    dataset::TField* note2 = pt_.FindField("Note2");
    int written = 0;
    for (; !pt_.Eof(); pt_.Next()) {
      orderQuery_.Append();
      order_(0, "id").AsInteger(source_(0, "Id").AsInteger());
      order_(1, "IdCustomer").AsInteger(source_(1, "IdCustomer").AsInteger());
      order_(2, "OrderDate").AsDateTime(source_(2, "OrderDate").AsDateTime());
      order_(3, "DelivDate").AsDateTime(source_(3, "DeliverDate").AsDateTime());
      order_(4, "IDPAYMENT").AsInteger(source_(4, "IdPayment").AsInteger());
      order_(5, "Total").AsFloat(source_(5, "Total").AsFloat());
      order_(6, "Countrow").AsInteger(source_(6, "CountRow").AsInteger());
      order_(7, "NPrice").AsInteger(source_(7, "NPrice").AsInteger());
      order_(8, "Discount").AsFloat(source_(8, "PercentDiscount").AsFloat());
      order_(9, "Prim").AsString(source_(9, "Note").AsString());
      order_(10, "OrderTime").AsString(source_(10, "OrderTime").AsString());
      if (note1 != nullptr) order_(11, "Note1").AsString(note1->AsString());
      if (note2 != nullptr) order_(12, "Note2").AsString(note2->AsString());
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

  // One typed row of orderitem.dbf per order line of the handheld.
  void WriteOrderItems() {
    OpenForAppending(orderItemQuery_, kOrderItemSelect, Lines(kOrderItemInsert));
    PrepareDataSet(pt_, dest_, kOrderItemDb);
    pt_.Open();
    context_.reporter.ProgressStart(pt_.RecordCount());
    item_.Reset();
    source_.Reset();
    for (; !pt_.Eof(); pt_.Next()) {
      orderItemQuery_.Append();
      item_(0, "IdOrder").AsInteger(source_(0, "IdOrder").AsInteger());
      item_(1, "IdProduct").AsInteger(source_(1, "IdProduct").AsInteger());
      item_(2, "Quantity").AsFloat(source_(2, "Quantity").AsFloat());
      item_(3, "Price").AsFloat(source_(3, "Price").AsFloat());
      orderItemQuery_.Post();
      context_.reporter.ProgressStep();
    }
    pt_.Close();
    orderItemQuery_.ApplyUpdates();
    orderItemQuery_.CommitUpdates();
    orderItemQuery_.Close();
  }

  // orders.dbf: for each order in id order its header row, then a row per line of it. Lines
  // are numbered on across orders; lines of orders that are not there are passed over.
  void MergeIntoOrders() {
    orderQuery_.AddSQL(std::string(kOrderSorted));
    orderQuery_.Open();
    orderItemQuery_.AddSQL(std::string(kOrderItemSorted));
    orderItemQuery_.Open();
    order_.Reset();
    item_.Reset();
    orders_.Reset();
    int lineNumber = 0;
    for (; !orderQuery_.Eof(); orderQuery_.Next()) {
      const std::int32_t id = order_(0, "id").AsInteger();
      AppendOrderHeader(id);
      while (!orderItemQuery_.Eof()) {
        const std::int32_t itemOrder = item_(0, "IdOrder").AsInteger();
        if (id < itemOrder) break;
        if (itemOrder == id) AppendOrderLine(id, ++lineNumber);
        orderItemQuery_.Next();
      }
    }
  }

  void AppendOrderHeader(std::int32_t id) {
    ordersQuery_.Append();
    orders_(0, "Idorder").AsString(DecimalText(id));
    orders_(1, "Iditem").AsString("0");
    orders_(2, "OrderDate").AsString(order_(1, "OrderDate").AsDateTime().FormatDate('.'));
    orders_(3, "DelivDate").AsString(order_(2, "DelivDate").AsDateTime().FormatDate('.'));
    orders_(4, "IdCustomer").AsString(DecimalText(order_(3, "IdCustomer").AsInteger()));
    orders_(5, "IdPayment").AsString(DecimalText(order_(4, "IDPAYMENT").AsInteger()));
    orders_(6, "Total").AsString(core::FormatFixed(order_(5, "Total").AsFloat(), 2));
    orders_(7, "CountRow").AsString(DecimalText(order_(6, "Countrow").AsInteger()));
    orders_(8, "IdPrice").AsString(DecimalText(order_(7, "NPrice").AsInteger()));
    orders_(9, "Discount").AsString(core::FormatFixed(order_(8, "Discount").AsFloat(), 2));
    orders_(10, "Prim").AsString(core::LeftStr(order_(9, "Prim").AsString(), kNoteWidth));
    orders_(11, "OrderTime").AsString(order_(10, "OrderTime").AsString());
    orders_(12, "Note1").AsString(core::LeftStr(order_(11, "Note1").AsString(), kNoteWidth));
    orders_(13, "Note2").AsString(core::LeftStr(order_(12, "Note2").AsString(), kNoteWidth));
    ordersQuery_.Post();
  }

  // A line row reuses the columns of the header row: the product in OrderDate, the quantity in
  // DelivDate, the price in IdCustomer and the line's sum in Total.
  void AppendOrderLine(std::int32_t id, int lineNumber) {
    const double quantity = item_(2, "Quantity").AsFloat();
    const double price = item_(3, "Price").AsFloat();
    ordersQuery_.Append();
    orders_(0, "Idorder").AsString(DecimalText(id));
    orders_(1, "Iditem").AsString(std::to_string(lineNumber));
    orders_(2, "OrderDate").AsString(DecimalText(item_(1, "IdProduct").AsInteger()));
    orders_(3, "DelivDate").AsString(core::FormatFixed(quantity, 3));
    orders_(4, "IdCustomer").AsString(core::FormatFixed(price, 2));
    orders_(6, "Total").AsString(core::FormatFixed(quantity * price, 2));
    ordersQuery_.Post();
  }

  ConversionContext& context_;
  pdb::TPDBDataSet& pt_;
  const std::string dest_;
  const std::string driver_;
  const EDbfVariant variant_;
  // Declared before the queries, so that they are gone before the connection closes.
  odbc::TmDataBase db_;
  odbc::TmQuery ordersQuery_;
  odbc::TmQuery orderQuery_;
  odbc::TmQuery orderItemQuery_;
  FieldCache source_;
  FieldCache orders_;
  FieldCache order_;
  FieldCache item_;
};

}  // namespace

EDbfVariant DbfVariantFor(std::string_view driverName) {
  const std::string upper = core::AnsiUpperCaser()(driverName);
  return upper.find("VFP") != std::string::npos ? EDbfVariant::FoxPro : EDbfVariant::dBase;
}

std::vector<std::string> DbfConnectParams(EDbfVariant variant, std::string_view driverName, std::string_view destDir) {
  const std::string driver = "DRIVER=" + std::string(driverName);
  const std::string sourceDb = "SourceDB=" + std::string(destDir);
  if (variant == EDbfVariant::FoxPro)
    return {driver, sourceDb, "SourceType=DBF", "Exclusive=No", "BackgroundFetch=Yes", "Collate=RUSSIAN"};
  return {driver,          "DefaultDir=" + std::string(destDir),
          sourceDb,        "SourceType=DBF",
          "Exclusive=No",  "BackgroundFetch=Yes",
          "FIL=dBase III", "DriverId=21",
          "MaxBufferSize=2048", "PageTimeout=5"};
}

ConversionResult PdbToDbf(ConversionContext& context) {
  if (context.state.OdbcDriver.empty()) context.state.OdbcDriver = std::string(kDefaultOdbcDriver);
  if (const std::optional<ConversionResult> stop = UnpackDocuments(context)) return *stop;
  OpenDataSetGuard closeOnExit(context.objects);
  return DbfImport(context, context.state.edtDest).Run();
}

}  // namespace app
