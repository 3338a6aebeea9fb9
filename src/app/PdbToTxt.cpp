#include "app/PdbToTxt.h"

#include <filesystem>
#include <string>
#include <vector>

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

// The hidden name a text file is written under until the conversion puts it in place.
std::string PendingName(std::string_view fileName) {
  std::string name = ".";
  name.append(fileName).append(".pending");
  return name;
}

// The three text files under their pending names; those not committed are removed when the
// conversion ends, so a failed run leaves none behind.
class PendingFiles {
 public:
  explicit PendingFiles(const std::string& dest) : dest_(dest) {}
  ~PendingFiles() {
    try {
      Drop();
    } catch (const std::exception&) {
      // A pending file that cannot be removed keeps its hidden name; the next run drops it.
    }
  }
  PendingFiles(const PendingFiles&) = delete;
  PendingFiles& operator=(const PendingFiles&) = delete;

  void Drop() const {
    for (std::string_view file : {kOrderFile, kOrderItemFile, kCashFile}) core::DeleteNoCase(dest_, PendingName(file));
  }

  // With `keep`, the pending file replaces the final one (spelt as the system gives it; other
  // spellings of the name go); without, the final file goes and the pending one is dropped.
  void Commit(std::string_view fileName, bool keep) const {
    namespace fs = std::filesystem;
    const fs::path finalPath = fs::path(dest_) / std::string(fileName);
    const auto pendingPath = core::FindNoCase(dest_, PendingName(fileName));
    const bool replace = keep && pendingPath.has_value();
    if (replace) {
      std::error_code ec;
      fs::rename(*pendingPath, finalPath, ec);
      if (ec) throw core::FileError("cannot replace " + finalPath.string() + ": " + ec.message());
    }
    std::vector<fs::path> victims;
    std::error_code ec;
    for (fs::directory_iterator it(dest_, ec), end; !ec && it != end; it.increment(ec)) {
      const std::string name = it->path().filename().string();
      if (core::AnsiSameText(name, fileName) && !(replace && name == fileName) && !it->is_directory())
        victims.push_back(it->path());
    }
    for (const fs::path& victim : victims) {
      if (!fs::remove(victim, ec) && ec) throw core::FileError("cannot delete " + victim.string() + ": " + ec.message());
    }
    if (!replace) core::DeleteNoCase(dest_, PendingName(fileName));
  }

 private:
  const std::string& dest_;
};

class DocumentImport {
 public:
  DocumentImport(ConversionContext& context, std::string dest)
      : context_(context), pt_(context.objects.pt()), dest_(std::move(dest)), table_(context.reporter) {
    table_.Path = dest_;
  }

  ConversionResult Run() {
    // The text files are written under hidden names and put in place together once all three are
    // complete: a failure or a crash half-way leaves the earlier files as they were, never a file
    // holding only its header or an order file without its lines. Pending files of a run that
    // was killed are dropped first.
    PendingFiles pending{dest_};
    pending.Drop();

    const int orders = Export(kOrderDb, kOrderFile, kOrderHeader, &DocumentImport::WriteOrder);
    Export(kOrderItemDb, kOrderItemFile, kOrderItemHeader, &DocumentImport::WriteOrderItem);
    // Without a cash database there is nothing to write; no empty one is made in its place.
    const int cashReceipts = core::ExistsNoCase(dest_, kCashDb.fileName)
                                 ? Export(kCashDb, kCashFile, kCashHeader, &DocumentImport::WriteCash)
                                 : 0;

    // The earlier outputs give way to the new ones; a file without documents is not left.
    pending.Commit(kOrderFile, orders > 0);
    pending.Commit(kOrderItemFile, orders > 0);
    pending.Commit(kCashFile, cashReceipts > 0);
    core::SyncDirectory(dest_);
    if (context_.state.Interactive)
      context_.reporter.ShowMessage("Обработано документов: " + std::to_string(orders) + "\r" +
                                    "       Кассовых ордеров: " + std::to_string(cashReceipts));
    return ConversionResult::Done;
  }

 private:
  using RecordWriter = void (DocumentImport::*)();

  // Walks one document database into one text file; returns the number of records written.
  int Export(const HandheldDatabase& db, std::string_view fileName, std::string_view header, RecordWriter write) {
    PrepareDataSet(pt_, dest_, db);
    ReadTextFieldsWhole(pt_);
    pt_.Open();
    table_.FileName = PendingName(fileName);
    context_.reporter.ProgressStart(pt_.RecordCount());
    AppendLine(core::JoinPath(dest_, table_.FileName), header);
    // Without its header line the file cannot take the records (the table has said so).
    if (!table_.Open()) throw core::FileError("cannot write " + core::JoinPath(dest_, fileName));
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
  dataset::TField& Field(std::size_t slot, std::string_view name) {
    if (slot >= fields_.size()) fields_.resize(slot + 1, nullptr);
    if (fields_[slot] == nullptr) fields_[slot] = &pt_.FieldByName(name);
    return *fields_[slot];
  }
  // An optional field: the empty text when the data set has none of that name.
  std::string OptionalText(std::string_view name) {
    const dataset::TField* field = pt_.FindField(name);
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
  std::vector<dataset::TField*> fields_;         // the current database's fields, by slot
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
