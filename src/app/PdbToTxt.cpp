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
    fields_.clear();
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
  // The data set's field of that name, looked up once per database.
  pdb::TField& Field(std::size_t slot, std::string_view name) {
    if (slot >= fields_.size()) fields_.resize(slot + 1, nullptr);
    if (fields_[slot] == nullptr) fields_[slot] = &pt_.FieldByName(name);
    return *fields_[slot];
  }
  // An optional field: the empty text when the data set has none of that name.
  std::string OptionalText(std::string_view name) {
    const pdb::TField* field = pt_.FindField(name);
    return field != nullptr ? field->AsString() : std::string();
  }

  void WriteOrder() {
    Column(0).AsInteger(Field(0, "Id").AsInteger());
    Column(1).AsInteger(Field(1, "IdCustomer").AsInteger());
    Column(2).AsDateTime(Field(2, "OrderDate").AsDateTime());
    Column(3).AsDateTime(Field(3, "DeliverDate").AsDateTime());
    Column(4).AsInteger(Field(4, "IdPayment").AsInteger());
    Column(5).AsFloat(Field(5, "Total").AsFloat());
    Column(6).AsInteger(Field(6, "CountRow").AsInteger());
    Column(7).AsInteger(Field(7, "NPrice").AsInteger());
    Column(8).AsFloat(Field(8, "PercentDiscount").AsFloat());
    Column(9).AsString(Field(9, "Note").AsString());
    Column(10).AsString(Field(10, "OrderTime").AsString());
    Column(11).AsString(OptionalText("Note1"));
    Column(12).AsString(OptionalText("Note2"));
  }

  void WriteOrderItem() {
    Column(0).AsInteger(Field(0, "IdOrder").AsInteger());
    Column(1).AsInteger(Field(1, "IdProduct").AsInteger());
    Column(2).AsFloat(Field(2, "Quantity").AsFloat());
    Column(3).AsFloat(Field(3, "Price").AsFloat());
  }

  void WriteCash() {
    Column(0).AsInteger(Field(0, "Id").AsInteger());
    Column(1).AsInteger(Field(1, "IdCustomer").AsInteger());
    Column(2).AsDateTime(Field(2, "CashDate").AsDateTime());
    Column(3).AsInteger(Field(3, "IdCurrency").AsInteger());
    Column(4).AsFloat(Field(4, "Currencycurs").AsFloat());
    Column(5).AsFloat(Field(5, "CurrencySumma").AsFloat());
    Column(6).AsFloat(Field(6, "Summa").AsFloat());
    Column(7).AsString(Field(7, "Note").AsString());
  }

  ConversionContext& context_;
  pdb::TPDBDataSet& pt_;
  const std::string dest_;
  text::TnqTXTTable table_;
  std::vector<text::TnqTXTField*> columns_;  // the current file's columns in header order
  std::vector<pdb::TField*> fields_;         // the current database's fields, by slot
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

std::optional<ConversionResult> UnpackDocuments(ConversionContext& context) {
  const std::string source = TrimSourceDirectory(context.state.edtSource);
  const std::string& dest = context.state.edtDest;
  if (!core::ExistsNoCase(source, kOutContainerFile)) return ConversionResult::NothingToDo;
  if (const int rc = sya::SyaUnpack(source, kOutContainerFile, dest); rc > 0) {
    context.reporter.ShowError(kApplicationTitle, "Ошибка при распаковке данных: " + std::to_string(rc));
    return ConversionResult::FailureReported;
  }
  context.objects.pt().SetDirectory(dest);
  if (!core::ExistsNoCase(dest, kOrderDb.fileName) || !core::ExistsNoCase(dest, kOrderItemDb.fileName))
    return ConversionResult::NothingToDo;
  return std::nullopt;
}

ConversionResult PdbToTxt(ConversionContext& context) {
  if (const std::optional<ConversionResult> stop = UnpackDocuments(context)) return *stop;
  OpenDataSetGuard closeOnExit(context.objects);
  return DocumentImport(context, context.state.edtDest).Run();
}

}  // namespace app
