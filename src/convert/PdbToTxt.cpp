#include "convert/PdbToTxt.h"

#include <array>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "convert/DocumentUnpack.h"
#include "convert/FieldColumns.h"
#include "convert/HandheldDatabases.h"
#include "core/Encoding.h"
#include "core/Files.h"
#include "text/nqTXTTable.h"

namespace convert {
namespace {

constexpr std::string_view kOrderFile = "Order.txt";
constexpr std::string_view kOrderItemFile = "OrderItem.txt";
constexpr std::string_view kCashFile = "Cash.txt";

// The headers as the office system reads them; only the order header has no ";" at its end.
constexpr std::string_view kOrderHeader =
    "ID;IDCUSTOMER;ORDERDATE;DELIVERDATE;IDPAYMENT;TOTAL;COUNTROW;NPRICE;PERCENTDISCOUNT;NOTE;ORDERTIME;NOTE1;NOTE2";
constexpr std::string_view kOrderItemHeader = "IDORDER;IDPRODUCT;QUANTITY;PRICE;";
constexpr std::string_view kCashHeader = "ID;IDCUSTOMER;CASHDATE;IDCURRENCY;CURRENCYCURS;CURRENCYSUMMA;SUMMA;NOTE;";

// The columns of a file in header order, each with the field of the database it is written from.
// An optional field the database lacks gives the empty text.
struct TextColumn {
  std::string_view field;
  ValueKind value;
  bool optional = false;
};

constexpr std::array<TextColumn, 13> kOrderColumns{{
    {"Id", ValueKind::Integer},
    {"IdCustomer", ValueKind::Integer},
    {"OrderDate", ValueKind::DateTime},
    {"DeliverDate", ValueKind::DateTime},
    {"IdPayment", ValueKind::Integer},
    {"Total", ValueKind::Float},
    {"CountRow", ValueKind::Integer},
    {"NPrice", ValueKind::Integer},
    {"PercentDiscount", ValueKind::Float},
    {"Note", ValueKind::Text},
    {"OrderTime", ValueKind::Text},
    {"Note1", ValueKind::Text, true},
    {"Note2", ValueKind::Text, true},
}};
constexpr std::array<TextColumn, 4> kOrderItemColumns{{
    {"IdOrder", ValueKind::Integer},
    {"IdProduct", ValueKind::Integer},
    {"Quantity", ValueKind::Float},
    {"Price", ValueKind::Float},
}};
constexpr std::array<TextColumn, 8> kCashColumns{{
    {"Id", ValueKind::Integer},
    {"IdCustomer", ValueKind::Integer},
    {"CashDate", ValueKind::DateTime},
    {"IdCurrency", ValueKind::Integer},
    {"Currencycurs", ValueKind::Float},
    {"CurrencySumma", ValueKind::Float},
    {"Summa", ValueKind::Float},
    {"Note", ValueKind::Text},
}};

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

// Adds `text` and CR LF at the end of the file, creating it when it does not exist. The file is
// replaced whole, never left half-written; an input/output error leaves it as it was and is
// otherwise ignored.
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

    const int orders = Export(kOrderDb, kOrderFile, kOrderHeader, kOrderColumns);
    Export(kOrderItemDb, kOrderItemFile, kOrderItemHeader, kOrderItemColumns);
    // Without a cash database there is nothing to write; no empty one is made in its place.
    const int cashReceipts =
        core::ExistsNoCase(dest_, kCashDb.fileName) ? Export(kCashDb, kCashFile, kCashHeader, kCashColumns) : 0;

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
  // Walks one document database into one text file; returns the number of records written.
  int Export(const HandheldDatabase& db, std::string_view fileName, std::string_view header,
             std::span<const TextColumn> columns) {
    PrepareDataSet(pt_, dest_, db);
    ReadTextFieldsWhole(pt_);
    pt_.Open();
    table_.FileName = PendingName(fileName);
    context_.reporter.ProgressStart(pt_.RecordCount(), fileName);
    AppendLine(core::JoinPath(dest_, table_.FileName), header);
    // Without its header line the file cannot take the records (the table has said so).
    if (!table_.Open()) throw core::FileError("cannot write " + core::JoinPath(dest_, fileName));
    std::vector<text::TnqTXTField*> textColumns;  // in header order
    for (const auto& column : table_.Fields()) textColumns.push_back(table_.FieldByName(column.Name));
    FieldColumns fields(pt_, columns, &TextColumn::field);
    int written = 0;
    for (; !pt_.Eof(); pt_.Next()) {
      table_.Append();
      WriteRecord(columns, fields, textColumns);
      ++written;
      table_.Post();
      context_.reporter.ProgressStep();
    }
    pt_.Close();
    table_.Save();
    table_.Close();
    return written;
  }

  // One record: each column from its field.
  static void WriteRecord(std::span<const TextColumn> columns, FieldColumns& fields,
                          const std::vector<text::TnqTXTField*>& textColumns) {
    for (std::size_t i = 0; i < columns.size(); ++i) {
      text::TnqTXTField& column = *textColumns.at(i);
      if (!columns[i].optional) {
        CopyValue(columns[i].value, fields[i], column);
      } else if (const dataset::TField* field = fields.Find(i)) {
        CopyValue(columns[i].value, *field, column);
      } else {
        column.AsString(std::string());
      }
    }
  }

  ConversionContext& context_;
  pdb::TPDBDataSet& pt_;
  const std::string dest_;
  text::TnqTXTTable table_;
};

}  // namespace

ConversionResult PdbToTxt(ConversionContext& context) {
  if (const std::optional<ConversionResult> stop = UnpackDocuments(context)) return *stop;
  OpenDataSetGuard closeOnExit(context.objects);
  return DocumentImport(context, context.state.edtDest).Run();
}

}  // namespace convert
