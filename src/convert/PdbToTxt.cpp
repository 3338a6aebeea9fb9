#include "convert/PdbToTxt.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>
#include <future>
#include <optional>
#include <span>
#include <stdexcept>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "convert/BackgroundReporter.h"
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

// The hidden name an earlier output is kept under while the new files are put in place.
std::string EarlierName(std::string_view fileName) {
  std::string name = ".";
  name.append(fileName).append(".earlier.pending");
  return name;
}

// What becomes of one text file when the conversion ends: with `keep` its pending file replaces
// the final one, without it the final file goes.
struct TextOutcome {
  std::string_view file;
  bool keep;
};

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

  // Removes the pending files. An earlier output that a killed run left under its hidden name
  // goes back in place when nothing took that place, else it goes.
  void Drop() const {
    namespace fs = std::filesystem;
    for (std::string_view file : {kOrderFile, kOrderItemFile, kCashFile}) {
      core::DeleteNoCase(dest_, PendingName(file));
      for (const fs::path& earlier : Spellings(EarlierName(file))) {
        const std::string name = earlier.filename().string();
        const fs::path original = fs::path(dest_) / name.substr(1, name.size() - EarlierName("").size());
        std::error_code ec;
        if (!core::ExistsNoCase(dest_, file)) fs::rename(earlier, original, ec);
        else fs::remove(earlier, ec);
      }
    }
  }

  // Puts the outcomes in place together: every earlier file of the final names (in any
  // spelling) is first moved aside, then each kept pending file takes its final name (spelt as
  // the system gives it). When any step fails, what was done is undone and the earlier files are
  // back under their names before the error is raised.
  void Commit(std::span<const TextOutcome> outcomes) const {
    namespace fs = std::filesystem;
    for (const TextOutcome& outcome : outcomes) {
      const fs::path finalPath = fs::path(dest_) / std::string(outcome.file);
      std::error_code ec;
      if (outcome.keep && fs::is_directory(fs::symlink_status(finalPath, ec)))
        throw core::FileError("cannot replace " + finalPath.string() + ": a folder has that name");
    }
    // The new files were handed to the disk as each was saved; they are on it before any takes
    // its final name (the caller syncs the directory after).
    for (const TextOutcome& outcome : outcomes)
      if (const auto pendingPath = core::FindNoCase(dest_, PendingName(outcome.file)); outcome.keep && pendingPath)
        core::SyncFile(*pendingPath);
    std::vector<std::pair<fs::path, fs::path>> movedAside;  // earlier file, its hidden name
    std::vector<fs::path> placed;
    auto undo = [&]() noexcept {
      std::error_code ec;
      for (const fs::path& file : placed) fs::remove(file, ec);
      for (const auto& [earlier, hidden] : movedAside) fs::rename(hidden, earlier, ec);
    };
    for (const TextOutcome& outcome : outcomes) {
      for (const fs::path& earlier : Spellings(outcome.file)) {
        const fs::path hidden = fs::path(dest_) / EarlierName(earlier.filename().string());
        std::error_code ec;
        fs::rename(earlier, hidden, ec);
        if (ec) {
          undo();
          throw core::FileError("cannot replace " + earlier.string() + ": " + ec.message());
        }
        movedAside.emplace_back(earlier, hidden);
      }
    }
    for (const TextOutcome& outcome : outcomes) {
      const auto pendingPath = core::FindNoCase(dest_, PendingName(outcome.file));
      if (!outcome.keep || !pendingPath) continue;
      const fs::path finalPath = fs::path(dest_) / std::string(outcome.file);
      std::error_code ec;
      fs::rename(*pendingPath, finalPath, ec);
      if (ec) {
        undo();
        throw core::FileError("cannot replace " + finalPath.string() + ": " + ec.message());
      }
      placed.push_back(finalPath);
    }
    std::error_code ec;
    for (const auto& [earlier, hidden] : movedAside) fs::remove(hidden, ec);
    Drop();
  }

 private:
  // The files (not folders) of the destination named `name` in any letter case.
  std::vector<std::filesystem::path> Spellings(std::string_view name) const {
    std::vector<std::filesystem::path> found;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(dest_, ec), end; !ec && it != end; it.increment(ec))
      if (core::AnsiSameText(it->path().filename().string(), name) && !it->is_directory()) found.push_back(it->path());
    return found;
  }

  const std::string& dest_;
};

// Writes `text` as a value kept on one line of the file: a line break an agent typed into a note
// would split its record in two, so CR and LF become blanks (in the line, after writing it).
void WriteOnOneLine(text::TnqTXTLineWriter& line, std::string_view text) {
  const std::span<char> written = line.AsString(text);
  std::replace_if(written.begin(), written.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
}

// Adds `text` and CR LF at the end of the file, creating it when it does not exist. The file is
// replaced whole, never left half-written; an input/output error leaves it as it was and is
// otherwise ignored. Not synced: the file is a pending one that the table's save replaces.
void AppendLine(const std::string& path, std::string_view text) {
  try {
    std::string content;
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) {
      const std::vector<std::uint8_t> old = core::ReadWholeFile(path);
      content.assign(old.begin(), old.end());
    }
    content.append(text).append("\r\n");
    core::WriteWholeFile(path, std::span(reinterpret_cast<const std::uint8_t*>(content.data()), content.size()),
                         core::Durability::Unsynced);
  } catch (const std::exception&) {
    // The line is simply not there; opening the file afterwards tells the person.
  }
}

// One document database and the text file it is written to.
struct DocumentFile {
  const HandheldDatabase& db;
  std::string_view fileName;
  std::string_view header;
  std::span<const TextColumn> columns;
};

const DocumentFile kOrders{kOrderDb, kOrderFile, kOrderHeader, kOrderColumns};
const DocumentFile kOrderLines{kOrderItemDb, kOrderItemFile, kOrderItemHeader, kOrderItemColumns};
const DocumentFile kCashReceipts{kCashDb, kCashFile, kCashHeader, kCashColumns};

// What one database is read with and its text file written with.
struct ExportTools {
  pdb::TPDBDataSet& data;
  text::TnqTXTTable& table;
  core::Reporter& reporter;
};

class DocumentImport {
 public:
  DocumentImport(ConversionContext& context, std::string dest, CarriedDocuments carried)
      : context_(context),
        pt_(context.objects.pt()),
        dest_(std::move(dest)),
        carried_(carried),
        table_(context.reporter) {
    PrepareTable(table_);
  }

  ConversionResult Run() {
    // The text files are written under hidden names and put in place together once all three are
    // complete: a failure or a crash half-way leaves the earlier files as they were, never a file
    // holding only its header or an order file without its lines. Pending files of a run that
    // was killed are dropped first.
    PendingFiles pending{dest_};
    pending.Drop();

    // Orders are written only with their lines; receipts whenever the container carried them
    // (no empty database is made in place of a missing one).
    const ExportTools own{pt_, table_, context_.reporter};
    int orders = 0;
    if (carried_.OrdersWithLines()) orders = ExportOrdersWithLines(own);
    const int cashReceipts = carried_.cash ? Export(own, kCashReceipts) : 0;

    // The earlier outputs give way to the new ones; a file without documents is not left.
    const std::array<TextOutcome, 3> outcomes{
        {{kOrderFile, orders > 0}, {kOrderItemFile, orders > 0}, {kCashFile, cashReceipts > 0}}};
    pending.Commit(outcomes);
    core::SyncDirectory(dest_);
    if (context_.state.Interactive)
      context_.reporter.ShowMessage("Обработано документов: " + std::to_string(orders) + "\r" +
                                    "       Кассовых ордеров: " + std::to_string(cashReceipts));
    return ConversionResult::Done;
  }

 private:
  void PrepareTable(text::TnqTXTTable& table) const {
    table.Path = dest_;
    // A saved file starts on its way to the disk while the next is built; Commit waits for all.
    table.SetSaveDurability(core::Durability::Deferred);
  }

  // Orders and their lines; returns the number of orders. The two files do not depend on each
  // other: with a second core the lines are written on a second thread (its own data set and
  // table) while the orders are written here, and the gauge follows the lines once the orders
  // are done. Errors come as they would one after the other: the orders' first.
  int ExportOrdersWithLines(const ExportTools& own) {
    if (std::thread::hardware_concurrency() < 2) {
      const int orders = Export(own, kOrders);
      Export(own, kOrderLines);
      return orders;
    }
    pdb::TPDBDataSet linesData;
    BackgroundReporter linesReporter;
    text::TnqTXTTable linesTable(linesReporter);
    PrepareTable(linesTable);
    std::promise<void> linesDone;
    std::future<void> linesEnd = linesDone.get_future();
    // Declared last: when the orders fail, it is told to stop and joined before the rest goes.
    std::jthread linesThread([&](std::stop_token stop) {
      try {
        Export({linesData, linesTable, linesReporter}, kOrderLines, stop);
        linesDone.set_value();
      } catch (...) {
        linesDone.set_exception(std::current_exception());
      }
    });
    const int orders = Export(own, kOrders);
    // The gauge of the lines, for as long as they are still being written.
    int maximum = -1;
    int shown = 0;
    const auto follow = [&] {
      if (const int now = linesReporter.Maximum(); now != maximum) {  // the lines' database has opened
        maximum = now;
        own.reporter.ProgressStart(maximum, kOrderItemFile);
        shown = 0;
      }
      for (const int steps = linesReporter.Steps(); shown < steps; ++shown) own.reporter.ProgressStep();
    };
    while (linesEnd.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) follow();
    linesThread.join();
    follow();
    linesReporter.Replay(own.reporter);
    linesEnd.get();  // the lines' error, if they had one
    return orders;
  }

  // Walks one document database into one text file; returns the number of records written.
  // A stop request ends the walk early (the file is then not saved).
  int Export(const ExportTools& tools, const DocumentFile& file, std::stop_token stop = {}) {
    pdb::TPDBDataSet& data = tools.data;
    text::TnqTXTTable& table = tools.table;
    PrepareDataSet(data, dest_, file.db);
    ReadTextFieldsWhole(data);
    // The documents are only read: the unpacked database stays as the unpacker wrote it.
    data.SetKeepsUnchangedFile(true);
    data.SetForwardOnly(true);  // walked once, first to last: no record is kept in memory
    data.Open();
    table.FileName = PendingName(file.fileName);
    tools.reporter.ProgressStart(data.RecordCount(), file.fileName);
    AppendLine(core::JoinPath(dest_, table.FileName), file.header);
    // Without its header line the file cannot take the records (the table has said so).
    if (!table.Open()) throw core::FileError("cannot write " + core::JoinPath(dest_, file.fileName));
    // The header written above names the columns in table order.
    if (table.Fields().size() != file.columns.size())
      throw std::logic_error("a text header that does not match its columns");
    FieldColumns fields(data, file.columns, &TextColumn::field);
    int written = 0;
    for (; !data.Eof(); data.Next()) {
      if (stop.stop_requested()) return written;
      table.AppendRecord([&](text::TnqTXTLineWriter& line) { WriteRecord(file.columns, fields, line); });
      ++written;
      tools.reporter.ProgressStep();
    }
    data.Close();
    data.SetKeepsUnchangedFile(false);
    data.SetForwardOnly(false);
    table.Save();
    table.Close();
    return written;
  }

  // One record: each column from its field, formatted straight into the record's line.
  static void WriteRecord(std::span<const TextColumn> columns, FieldColumns& fields, text::TnqTXTLineWriter& line) {
    for (std::size_t i = 0; i < columns.size(); ++i) {
      const dataset::TField* field = columns[i].optional ? fields.Find(i) : &fields[i];
      if (field == nullptr) {
        line.AsString({});
      } else if (columns[i].value == ValueKind::Text) {
        if (const std::optional<std::string_view> text = field->TextView()) WriteOnOneLine(line, *text);
        else WriteOnOneLine(line, field->AsString());
      } else {
        CopyValue(columns[i].value, *field, line);
      }
    }
  }

  ConversionContext& context_;
  pdb::TPDBDataSet& pt_;
  const std::string dest_;
  const CarriedDocuments carried_;
  text::TnqTXTTable table_;
};

}  // namespace

ConversionResult PdbToTxt(ConversionContext& context) {
  CarriedDocuments carried;
  if (const std::optional<ConversionResult> stop = UnpackDocuments(context, carried)) return *stop;
  if (!carried.OrdersWithLines() && !carried.cash) return ConversionResult::NothingToDo;
  OpenDataSetGuard closeOnExit(context.objects);
  return DocumentImport(context, context.state.edtDest, carried).Run();
}

}  // namespace convert
