#include "app/PdbToTxt.h"

#include <filesystem>
#include <string>

#include "app/HandheldDatabases.h"
#include "core/Encoding.h"
#include "core/Files.h"
#include "sync/SyaUnpack.h"
#include "text/nqTXTTable.h"

namespace app {
namespace {

constexpr std::string_view kOrderFile = "Order.txt";
constexpr std::string_view kOrderItemFile = "OrderItem.txt";
constexpr std::string_view kCashFile = "Cash.txt";

// The headers as the office system reads them; only the order header has no ";" at its end.
constexpr std::string_view kOrderHeader =
    "ID;IDCUSTOMER;ORDERDATE;DELIVERDATE;IDPAYMENT;TOTAL;COUNTROW;NPRICE;PERCENTDISCOUNT;NOTE;ORDERTIME;NOTE1;NOTE2";
constexpr std::string_view kOrderItemHeader = "IDORDER;IDPRODUCT;QUANTITY;PRICE;";
constexpr std::string_view kCashHeader = "ID;IDCUSTOMER;CASHDATE;IDCURRENCY;CURRENCYCURS;CURRENCYSUMMA;SUMMA;NOTE;";

class DocumentImport {
 public:
  DocumentImport(ConversionContext& context, std::string dest)
      : context_(context), pt_(context.objects.pt()), dest_(std::move(dest)), table_(context.reporter) {
    table_.Path = dest_;
  }

  ConversionResult Run() {
    pt_.SetDirectory(dest_);
    if (!core::ExistsNoCase(dest_, kOrderDb.fileName) || !core::ExistsNoCase(dest_, kOrderItemDb.fileName))
      return ConversionResult::NothingToDo;
    for (std::string_view file : {kOrderFile, kOrderItemFile, kCashFile}) core::DeleteNoCase(dest_, file);

    const int orders = Export(kOrderDb, kOrderFile, kOrderHeader, &DocumentImport::WriteOrder);
    Export(kOrderItemDb, kOrderItemFile, kOrderItemHeader, &DocumentImport::WriteOrderItem);
    // Without a cash database there is nothing to write; no empty one is made in its place.
    const int cashReceipts = core::ExistsNoCase(dest_, kCashDb.fileName)
                                 ? Export(kCashDb, kCashFile, kCashHeader, &DocumentImport::WriteCash)
                                 : 0;

    if (context_.state.Interactive)
      context_.reporter.ShowMessage("Обработано документов: " + std::to_string(orders) + "\r" +
                                    "       Кассовых ордеров: " + std::to_string(cashReceipts));
    if (cashReceipts == 0) core::DeleteNoCase(dest_, kCashFile);
    if (orders == 0) {
      core::DeleteNoCase(dest_, kOrderFile);
      core::DeleteNoCase(dest_, kOrderItemFile);
    }
    return ConversionResult::Done;
  }

 private:
  using RecordWriter = void (DocumentImport::*)();

  // Walks one document database into one text file; returns the number of records written.
  int Export(const HandheldDatabase& db, std::string_view fileName, std::string_view header, RecordWriter write) {
    PrepareDataSet(pt_, dest_, db);
    pt_.Open();
    table_.FileName = std::string(fileName);
    context_.reporter.ProgressStart(pt_.RecordCount());
    const std::string path = core::JoinPath(dest_, fileName);
    AppendLine(path, header);
    // Without its header line the file cannot take the records (the table has said so).
    if (!table_.Open()) throw core::FileError("cannot write " + path);
    columns_.clear();
    for (const auto& column : table_.Fields()) columns_.push_back(table_.FieldByName(column.Name));
    int written = 0;
    for (; !pt_.Eof(); pt_.Next()) {
      table_.Append();
      (this->*write)();
      ++written;
      table_.Post();
      context_.reporter.ProgressStep();
    }
    pt_.Close();
    table_.Save();
    table_.Close();
    return written;
  }

  // The text column at `position` of the header.
  text::TnqTXTField& Column(std::size_t position) { return *columns_.at(position); }

  void WriteOrder() {
    Column(0).AsInteger(pt_.FieldByName("Id").AsInteger());
    Column(1).AsInteger(pt_.FieldByName("IdCustomer").AsInteger());
    Column(2).AsDateTime(pt_.FieldByName("OrderDate").AsDateTime());
    Column(3).AsDateTime(pt_.FieldByName("DeliverDate").AsDateTime());
    Column(4).AsInteger(pt_.FieldByName("IdPayment").AsInteger());
    Column(5).AsFloat(pt_.FieldByName("Total").AsFloat());
    Column(6).AsInteger(pt_.FieldByName("CountRow").AsInteger());
    Column(7).AsInteger(pt_.FieldByName("NPrice").AsInteger());
    Column(8).AsFloat(pt_.FieldByName("PercentDiscount").AsFloat());
    Column(9).AsString(pt_.FieldByName("Note").AsString());
    Column(10).AsString(pt_.FieldByName("OrderTime").AsString());
    const pdb::TField* note1 = pt_.FindField("Note1");
    Column(11).AsString(note1 != nullptr ? note1->AsString() : std::string());
    const pdb::TField* note2 = pt_.FindField("Note2");
    Column(12).AsString(note2 != nullptr ? note2->AsString() : std::string());
  }

  void WriteOrderItem() {
    Column(0).AsInteger(pt_.FieldByName("IdOrder").AsInteger());
    Column(1).AsInteger(pt_.FieldByName("IdProduct").AsInteger());
    Column(2).AsFloat(pt_.FieldByName("Quantity").AsFloat());
    Column(3).AsFloat(pt_.FieldByName("Price").AsFloat());
  }

  void WriteCash() {
    Column(0).AsInteger(pt_.FieldByName("Id").AsInteger());
    Column(1).AsInteger(pt_.FieldByName("IdCustomer").AsInteger());
    Column(2).AsDateTime(pt_.FieldByName("CashDate").AsDateTime());
    Column(3).AsInteger(pt_.FieldByName("IdCurrency").AsInteger());
    Column(4).AsFloat(pt_.FieldByName("Currencycurs").AsFloat());
    Column(5).AsFloat(pt_.FieldByName("CurrencySumma").AsFloat());
    Column(6).AsFloat(pt_.FieldByName("Summa").AsFloat());
    Column(7).AsString(pt_.FieldByName("Note").AsString());
  }

  ConversionContext& context_;
  pdb::TPDBDataSet& pt_;
  const std::string dest_;
  text::TnqTXTTable table_;
  std::vector<text::TnqTXTField*> columns_;  // the current file's columns in header order
};

}  // namespace

std::string TrimSourceDirectory(std::string_view typed) {
  std::string dir(core::TrimBlanks(typed));
  if (!dir.empty() && (dir.back() == '\\' || dir.back() == '/')) dir.pop_back();
  return dir;
}

void AppendLine(const std::string& path, std::string_view text) {
  try {
    std::string content;
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) {
      const std::vector<std::uint8_t> old = core::ReadWholeFile(path);
      content.assign(old.begin(), old.end());
    }
    content.append(text).append("\r\n");
    core::WriteWholeFile(path, std::span(reinterpret_cast<const std::uint8_t*>(content.data()), content.size()));
  } catch (const std::exception&) {
    // The line is simply not there; opening the file afterwards tells the person.
  }
}

ConversionResult PdbToTxt(ConversionContext& context) {
  const std::string source = TrimSourceDirectory(context.state.edtSource);
  const std::string& dest = context.state.edtDest;
  if (!core::ExistsNoCase(source, kOutContainerFile)) return ConversionResult::NothingToDo;
  if (const int rc = sya::SyaUnpack(source, kOutContainerFile, dest); rc > 0) {
    context.reporter.ShowError(kApplicationTitle, "Ошибка при распаковке данных: " + std::to_string(rc));
    return ConversionResult::FailureReported;
  }
  OpenDataSetGuard closeOnExit(context.objects);
  return DocumentImport(context, dest).Run();
}

}  // namespace app
