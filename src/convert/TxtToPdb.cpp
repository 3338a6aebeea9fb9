#include "convert/TxtToPdb.h"

#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "convert/FieldColumns.h"
#include "convert/HandheldDatabases.h"
#include "core/Encoding.h"
#include "core/Files.h"
#include "core/NumberFormat.h"
#include "core/PalmDatabaseLayout.h"
#include "core/TextUtil.h"
#include "text/nqTXTTable.h"

namespace convert {
namespace {

constexpr std::string_view kContainerName = "Kestor_In";
constexpr std::string_view kContainerCreator = "PDBP";
constexpr std::size_t kContainerRecordSize = 30000;
constexpr std::size_t kProductNameLength = 50;

// Everything the conversion writes besides the container, deleted before and after it.
constexpr std::array<const HandheldDatabase*, 8> kReferenceDatabases{
    &kProductDB, &kProductIndexDB, &kCategoryDB, &kProdCatIndexDB,
    &kCustomerDB, &kCustomerIndexDB, &kNote1DB, &kNote2DB,
};

struct PackStep {
  const HandheldDatabase* db;
  bool onlyWhenPresent;  // the note databases exist only when their text file did
  std::string_view failure;
};
// Packing order and the message of each failure (the category index's message names it the
// way the handheld's support staff know it).
constexpr std::array<PackStep, 8> kPackSteps{{
    {&kProductDB, false, "Error packing Kestor_ProductDB.pdb: "},
    {&kProductIndexDB, false, "Error packing Kestor_ProductIndexDB.pdb: "},
    {&kCustomerDB, false, "Error packing Kestor_CustomerDB.pdb: "},
    {&kCustomerIndexDB, false, "Error packing Kestor_CustomerIndexDB.pdb: "},
    {&kCategoryDB, false, "Error packing Kestor_CategoryDB.pdb: "},
    {&kProdCatIndexDB, false, "Error packing Kestor_ProCatIndexDB.pdb: "},
    {&kNote1DB, true, "Error packing Kestor_Note1DB.pdb: "},
    {&kNote2DB, true, "Error packing Kestor_Note2DB.pdb: "},
}};

void DeleteReferenceDatabases(const std::string& dest) {
  for (const HandheldDatabase* db : kReferenceDatabases) core::DeleteNoCase(dest, db->fileName);
}

// A number column: "." and "," both serve as decimal separator; blanks around the number are
// removed as for every number of the text table.
double NumberValue(const text::TnqTXTField& field) {
  const std::string& text = field.AsString();
  const std::string decimal = text.find('.') == std::string::npos ? text : core::ReplaceAll(text, ".", ",");
  if (const auto value = core::ParseFloat(core::TrimBlanks(decimal))) return *value;
  throw core::EConvertError::InvalidFloat(decimal);
}

// The lines that take part: those whose Id is a whole number above 0.
bool PassesFilter(const text::TnqTXTField& id) { return id.AsIntegerDef(0) > 0; }

// How a text column becomes the value of a field.
enum class FromText {
  Integer,
  Number,       // "." and "," both decimal separators
  Text,
  ProductName,  // cut to kProductNameLength
};

// A field of a handheld database and the column of the office's text file it is written from.
// A column that is not required may be missing from the file: the field then takes
// `whenAbsent` (a number) or the empty text.
struct FieldFromText {
  std::string_view field;
  std::string_view column;
  FromText value;
  bool required = true;
  std::int32_t whenAbsent = 0;
};

// The fields in the order they are written.
constexpr std::array<FieldFromText, 13> kProductFromText{{
    {"Id", "Id", FromText::Integer},
    {"IdCategory", "IdCategory", FromText::Integer},
    {"CODE", "Code", FromText::Text},
    {"Name", "Name", FromText::ProductName},
    {"FullName", "Fullname", FromText::Text},
    {"Ed", "Ed", FromText::Text},
    {"Standard", "Standard", FromText::Number},
    {"Quantity", "Quantity", FromText::Number},
    {"Price1", "Price1", FromText::Number},
    {"Price2", "Price2", FromText::Number},
    {"Price3", "Price3", FromText::Number},
    {"Price4", "Price4", FromText::Number},
    {"Aliquot", "Aliquot", FromText::Integer, false, 0},
}};
constexpr std::array<FieldFromText, 10> kCustomerFromText{{
    {"Id", "Id", FromText::Integer},
    {"CODE", "Code", FromText::Text},
    {"Name", "Name", FromText::Text},
    {"Address", "Address", FromText::Text},
    {"CurrentSaldo", "Currentsaldo", FromText::Number},
    {"NPrice", "nPrice", FromText::Integer},
    {"PercentDiscount", "PercentDiscount", FromText::Number},
    {"IdCategory", "IdCategory", FromText::Integer, false, 0},
    {"IdQuest", "IdQuest", FromText::Integer, false, 1},
    {"DateForDelivery", "DateForDelivery", FromText::Text, false, 0},
}};
constexpr std::array<FieldFromText, 1> kNoteFromText{{{"Name", "Name", FromText::Text}}};

// The text columns of a table, in table order. Each missing required one is reported by the
// text table; nothing when any is. A file without records needs none (nothing would be read from
// them); an optional column the file lacks stays null.
std::optional<std::vector<text::TnqTXTField*>> FindColumns(text::TnqTXTTable& file,
                                                           std::span<const FieldFromText> table) {
  std::vector<text::TnqTXTField*> columns(table.size(), nullptr);
  bool complete = true;
  if (file.RecordCount() > 0) {
    for (std::size_t i = 0; i < table.size(); ++i) {
      if (!table[i].required) continue;
      columns[i] = file.FieldByName(table[i].column);
      complete = complete && columns[i] != nullptr;
    }
  }
  if (!complete) return std::nullopt;
  for (std::size_t i = 0; i < table.size(); ++i)
    if (!table[i].required) columns[i] = file.FindField(table[i].column);
  return columns;
}

// One record of `file`: each field from its column, as `table` says. A value that is no number
// names its place in the file.
void CopyRow(const text::TnqTXTTable& file, std::span<const FieldFromText> table,
             const std::vector<text::TnqTXTField*>& columns, FieldColumns& fields) {
  for (std::size_t i = 0; i < table.size(); ++i) {
    const FieldFromText& copy = table[i];
    const text::TnqTXTField* column = columns[i];
    try {
      switch (copy.value) {
        case FromText::Integer:
          fields[i].AsInteger(column != nullptr ? column->AsInteger() : copy.whenAbsent);
          break;
        case FromText::Number:
          fields[i].AsFloat(NumberValue(*column));
          break;
        case FromText::Text:
          fields[i].AsString(column != nullptr ? column->AsString() : std::string());
          break;
        case FromText::ProductName:
          fields[i].AsString(core::LeftStr(column->AsString(), kProductNameLength));
          break;
      }
    } catch (const core::EConvertError& e) {
      if (column == nullptr) throw;
      throw file.WithPlace(e, *column);
    }
  }
}

consteval std::size_t ProductColumnOf(std::string_view field) {
  return PositionOf(kProductFromText, &FieldFromText::field, field);
}
consteval std::size_t CustomerColumnOf(std::string_view field) {
  return PositionOf(kCustomerFromText, &FieldFromText::field, field);
}
consteval std::size_t CategoryFieldOf(std::string_view field) {
  return PositionOf(kCategoryFields, &HandheldField::name, field);
}

class ReferenceExport {
 public:
  ReferenceExport(ConversionContext& context, std::string source, std::string dest)
      : context_(context),
        pt_(context.objects.pt()),
        source_(std::move(source)),
        dest_(std::move(dest)),
        table_(context.reporter) {
    table_.Path = source_;
  }

  ConversionResult Run() {
    // The separate databases live only until the container holds them: they are not synced to
    // disk (the container is). The window's data set syncs again once this conversion ends.
    struct SyncAgainOnExit {
      pdb::TPDBDataSet& pt;
      ~SyncAgainOnExit() { pt.SetDurability(core::Durability::Synced); }
    } syncAgain{pt_};
    pt_.SetDurability(core::Durability::Unsynced);
    if (!WriteProducts()) return ConversionResult::FailureReported;
    WriteEmpty(kProductIndexDB);
    WriteCategories();
    WriteEmpty(kProdCatIndexDB);
    if (!WriteCustomers()) return ConversionResult::FailureReported;
    WriteEmpty(kCustomerIndexDB);
    if (!WriteNotes(kNote1DB, "note1.txt") || !WriteNotes(kNote2DB, "note2.txt"))
      return ConversionResult::FailureReported;
    return Pack();
  }

 private:
  // Opens `pt` empty for a new database. The creation date and attributes of a file the data
  // set loaded earlier are not carried over: the database is made now.
  void OpenDatabase(const HandheldDatabase& db) {
    PrepareDataSet(pt_, dest_, db);
    pt_.SetCreationDate(core::TDateTime());
    pt_.SetDatabaseFlags(pdb::TDBFlags());
    current_ = &db;
    pt_.Open();
  }

  // Starts a new record, refusing the one a Palm database could not count.
  void AppendRecord() {
    if (pt_.RecordCount() >= core::kPalmMaxRecords)
      throw ETooManyRecords("В базе " + std::string(current_->fileName) + " не может быть больше " +
                            std::to_string(core::kPalmMaxRecords) + " записей");
    pt_.Append();
  }

  // Walks the open text file into the open database, one record per line whose `filter` column
  // passes (every line without a filter), and closes both. `afterPost` runs after each record.
  template <class AfterPost>
  void CopyLines(std::span<const FieldFromText> table, const std::vector<text::TnqTXTField*>& columns,
                 const text::TnqTXTField* filter, AfterPost afterPost) {
    FieldColumns fields(pt_, table, &FieldFromText::field);
    context_.reporter.ProgressStart(table_.RecordCount(), table_.FileName);
    for (; !table_.Eof(); table_.Next()) {
      if (filter == nullptr || PassesFilter(*filter)) {
        AppendRecord();
        CopyRow(table_, table, columns, fields);
        pt_.Post();
        afterPost();
      }
      context_.reporter.ProgressStep();
    }
    table_.Close();
    pt_.Close();
  }

  void OpenTextFile(std::string_view fileName) {
    table_.Close();
    table_.FileName = std::string(fileName);
    table_.Open();
  }

  bool WriteProducts() {
    OpenDatabase(kProductDB);
    OpenTextFile("product.txt");
    const std::span<const FieldFromText> table(kProductFromText);
    const auto columns = FindColumns(table_, table);
    if (!columns) return false;
    table_.CreateIndex("Id");

    std::optional<CategoryList> list =
        ReadCategoryListIfComplete(context_.state.CategorySource, source_, context_.reporter);
    if (!list) return false;
    CategoryTree& tree = context_.objects.CategoryTree;
    tree = BuildCategoryTree(*list);

    const text::TnqTXTField* const idCategory = (*columns)[ProductColumnOf("IdCategory")];
    CopyLines(table, *columns, (*columns)[ProductColumnOf("Id")], [&] { tree.AddProduct(idCategory->AsInteger()); });
    return true;
  }

  // An index database: its header and field list only.
  void WriteEmpty(const HandheldDatabase& db) {
    OpenDatabase(db);
    pt_.Close();
  }

  void WriteCategories() {
    OpenDatabase(kCategoryDB);
    FieldColumns fields(pt_, kCategoryDB.fields, &HandheldField::name);
    for (const CategoryRow& row : context_.objects.CategoryTree.Rows()) {
      AppendRecord();
      fields[CategoryFieldOf("Id")].AsInteger(row.Id);
      fields[CategoryFieldOf("IDParent")].AsInteger(row.IdParent);
      fields[CategoryFieldOf("Name")].AsString(IndentedCategoryName(row.Level, row.Name));
      fields[CategoryFieldOf("Level")].AsInteger(row.Level);
      fields[CategoryFieldOf("ProductCount")].AsInteger(row.ProductCount.value_or(0));
      fields[CategoryFieldOf("Expanded")].AsInteger(0);
      fields[CategoryFieldOf("ChildCount")].AsInteger(row.ChildCount.value_or(0));
      pt_.Post();
    }
    pt_.Close();
  }

  bool WriteCustomers() {
    OpenDatabase(kCustomerDB);
    OpenTextFile("customer.txt");  // a missing file is reported and gives no customers
    const std::span<const FieldFromText> table(kCustomerFromText);
    const auto columns = FindColumns(table_, table);
    if (!columns) return false;
    table_.CreateIndex("Id");

    CopyLines(table, *columns, (*columns)[CustomerColumnOf("Id")], [] {});
    return true;
  }

  // Every line of a note file, empty ones too, alphabetically.
  bool WriteNotes(const HandheldDatabase& db, std::string_view fileName) {
    if (!core::ExistsNoCase(source_, fileName)) return true;
    OpenDatabase(db);
    OpenTextFile(fileName);
    const std::span<const FieldFromText> table(kNoteFromText);
    const auto columns = FindColumns(table_, table);
    if (!columns) return false;
    table_.CreateIndex("Name");
    CopyLines(table, *columns, nullptr, [] {});
    return true;
  }

  ConversionResult Pack() {
    sya::TSyaPacker& packer = context_.objects.Packer;
    // A container left unfinished by a failure is dropped, so that the next run can pack again
    // and no partial container is ever written.
    struct AbandonUnfinished {
      sya::TSyaPacker& packer;
      ~AbandonUnfinished() {
        if (packer.Packing()) packer.AbandonPack();
      }
    } abandon{packer};

    if (packer.BeginPack(dest_, kInContainerFile, kContainerName, kContainerCreator) > 0) {
      ReportFailure("Error starting the pack operation!");
      return ConversionResult::FailureReported;
    }
    for (const PackStep& step : kPackSteps) {
      if (step.onlyWhenPresent && !core::ExistsNoCase(dest_, step.db->fileName)) continue;
      if (const int rc = packer.PackDatabase(dest_, step.db->fileName, kContainerRecordSize); rc > 0) {
        ReportFailure(std::string(step.failure) + std::to_string(rc));
        return ConversionResult::FailureReported;
      }
    }
    if (const int rc = packer.EndPack(); rc > 0) {
      ReportFailure("Error ending the pack operation: " + std::to_string(rc));
      return ConversionResult::FailureReported;
    }
    DeleteReferenceDatabases(dest_);
    if (context_.state.Interactive)
      context_.reporter.ShowMessage("Операция завершена. Сформирован файл \"" + core::JoinPath(dest_, kInContainerFile) +
                                    "\"");
    return ConversionResult::Done;
  }

  void ReportFailure(std::string_view text) {
    context_.reporter.ShowError(core::kApplicationTitle, text);
  }

  ConversionContext& context_;
  pdb::TPDBDataSet& pt_;
  const std::string source_;
  const std::string dest_;
  text::TnqTXTTable table_;
  const HandheldDatabase* current_ = nullptr;
};

}  // namespace

ConversionResult TxtToPdb(ConversionContext& context) {
  MainFormState& state = context.state;
  state.SourceDir = state.edtSource;
  if (!core::ExistsNoCase(state.SourceDir, "Product.txt")) return ConversionResult::NothingToDo;
  DeleteReferenceDatabases(state.edtDest);
  // A conversion stopped half-way leaves no open data set behind for the next one.
  OpenDataSetGuard closeOnExit(context.objects);
  return ReferenceExport(context, state.SourceDir, state.edtDest).Run();
}

}  // namespace convert
