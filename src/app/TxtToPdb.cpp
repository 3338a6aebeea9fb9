#include "app/TxtToPdb.h"

#include <array>
#include <optional>
#include <string>

#include "app/HandheldDatabases.h"
#include "core/Files.h"
#include "core/NumberFormat.h"
#include "core/PalmDatabaseLayout.h"
#include "core/TextUtil.h"
#include "text/nqTXTTable.h"

namespace app {
namespace {

constexpr std::string_view kContainerName = "Kestor_In";
constexpr std::string_view kContainerCreator = "PDBP";
constexpr std::size_t kContainerRecordSize = 30000;
constexpr std::size_t kProductNameLength = 50;
constexpr std::size_t kCategoryNameLength = 60;

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

// A number column: "." and "," both serve as decimal separator.
double NumberValue(const text::TnqTXTField& field) {
  const std::string& text = field.AsString();
  if (text.find('.') == std::string::npos) return core::StrToFloat(text);
  return core::StrToFloat(core::ReplaceAll(text, ".", ","));
}

// The lines that take part: those whose Id is a whole number above 0.
bool PassesFilter(const text::TnqTXTField& id) { return core::StrToIntDef(id.AsString(), 0) > 0; }

// Category names are shown as a tree: below the top level, an indent of 3 x level - 2 blanks
// and "|-".
std::string IndentedCategoryName(const CategoryRow& row) {
  std::string name;
  if (row.Level > 1) name.assign(static_cast<std::size_t>(3 * row.Level - 2), ' ').append("|-");
  name.append(row.Name);
  if (name.size() > kCategoryNameLength) name.resize(kCategoryNameLength);
  return name;
}

// The columns a file must have. Each missing one is reported by the table; nothing when any is
// missing. A file without records needs none (nothing would be read from them).
template <std::size_t N>
std::optional<std::array<text::TnqTXTField*, N>> RequireColumns(text::TnqTXTTable& table,
                                                               const std::array<std::string_view, N>& names) {
  std::array<text::TnqTXTField*, N> fields{};
  if (table.RecordCount() == 0) return fields;
  bool complete = true;
  for (std::size_t i = 0; i < N; ++i) {
    fields[i] = table.FieldByName(names[i]);
    complete = complete && fields[i] != nullptr;
  }
  if (!complete) return std::nullopt;
  return fields;
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

  void OpenTextFile(std::string_view fileName) {
    table_.Close();
    table_.FileName = std::string(fileName);
    table_.Open();
  }

  bool WriteProducts() {
    OpenDatabase(kProductDB);
    OpenTextFile("product.txt");
    const auto columns = RequireColumns<12>(table_, {"Id", "IdCategory", "Code", "Name", "Fullname", "Ed", "Standard",
                                                     "Quantity", "Price1", "Price2", "Price3", "Price4"});
    if (!columns) return false;
    text::TnqTXTField* const aliquot = table_.FindField("Aliquot");
    table_.CreateIndex("Id");

    const CategorySource categories =
        context_.state.CategorySource == ECategorySource::TextFile ? CategorySource::TextFile : CategorySource::None;
    std::optional<CategoryList> list = ReadCategoryListIfComplete(categories, source_, context_.reporter);
    if (!list) return false;
    CategoryTree& tree = context_.objects.CategoryTree;
    tree = BuildCategoryTree(*list);

    const auto& [id, idCategory, code, name, fullName, ed, standard, quantity, price1, price2, price3, price4] =
        *columns;
    pdb::TField& fId = pt_.FieldByName("Id");
    pdb::TField& fIdCategory = pt_.FieldByName("IdCategory");
    pdb::TField& fCode = pt_.FieldByName("CODE");
    pdb::TField& fName = pt_.FieldByName("Name");
    pdb::TField& fFullName = pt_.FieldByName("FullName");
    pdb::TField& fEd = pt_.FieldByName("Ed");
    pdb::TField& fStandard = pt_.FieldByName("Standard");
    pdb::TField& fQuantity = pt_.FieldByName("Quantity");
    pdb::TField& fPrice1 = pt_.FieldByName("Price1");
    pdb::TField& fPrice2 = pt_.FieldByName("Price2");
    pdb::TField& fPrice3 = pt_.FieldByName("Price3");
    pdb::TField& fPrice4 = pt_.FieldByName("Price4");
    pdb::TField& fAliquot = pt_.FieldByName("Aliquot");

    context_.reporter.ProgressStart(table_.RecordCount());
    for (; !table_.Eof(); table_.Next()) {
      if (PassesFilter(*id)) {
        AppendRecord();
        fId.AsInteger(id->AsInteger());
        const std::int32_t category = idCategory->AsInteger();
        fIdCategory.AsInteger(category);
        fCode.AsString(code->AsString());
        fName.AsString(core::LeftStr(name->AsString(), kProductNameLength));
        fFullName.AsString(fullName->AsString());
        fEd.AsString(ed->AsString());
        fStandard.AsFloat(NumberValue(*standard));
        fQuantity.AsFloat(NumberValue(*quantity));
        fPrice1.AsFloat(NumberValue(*price1));
        fPrice2.AsFloat(NumberValue(*price2));
        fPrice3.AsFloat(NumberValue(*price3));
        fPrice4.AsFloat(NumberValue(*price4));
        fAliquot.AsInteger(aliquot != nullptr ? aliquot->AsInteger() : 0);
        pt_.Post();
        tree.AddProduct(category);
      }
      context_.reporter.ProgressStep();
    }
    table_.Close();
    pt_.Close();
    return true;
  }

  // An index database: its header and field list only.
  void WriteEmpty(const HandheldDatabase& db) {
    OpenDatabase(db);
    pt_.Close();
  }

  void WriteCategories() {
    OpenDatabase(kCategoryDB);
    pdb::TField& fId = pt_.FieldByName("Id");
    pdb::TField& fIdParent = pt_.FieldByName("IDParent");
    pdb::TField& fName = pt_.FieldByName("Name");
    pdb::TField& fLevel = pt_.FieldByName("Level");
    pdb::TField& fProductCount = pt_.FieldByName("ProductCount");
    pdb::TField& fExpanded = pt_.FieldByName("Expanded");
    pdb::TField& fChildCount = pt_.FieldByName("ChildCount");
    for (const CategoryRow& row : context_.objects.CategoryTree.Rows()) {
      AppendRecord();
      fId.AsInteger(row.Id);
      fIdParent.AsInteger(row.IdParent);
      fName.AsString(IndentedCategoryName(row));
      fLevel.AsInteger(row.Level);
      fProductCount.AsInteger(row.ProductCount.value_or(0));
      fExpanded.AsInteger(0);
      fChildCount.AsInteger(row.ChildCount.value_or(0));
      pt_.Post();
    }
    pt_.Close();
  }

  bool WriteCustomers() {
    OpenDatabase(kCustomerDB);
    OpenTextFile("customer.txt");  // a missing file is reported and gives no customers
    const auto columns = RequireColumns<7>(
        table_, {"Id", "Code", "Name", "Address", "Currentsaldo", "nPrice", "PercentDiscount"});
    if (!columns) return false;
    text::TnqTXTField* const idCategory = table_.FindField("IdCategory");
    text::TnqTXTField* const idQuest = table_.FindField("IdQuest");
    text::TnqTXTField* const dateForDelivery = table_.FindField("DateForDelivery");
    table_.CreateIndex("Id");

    const auto& [id, code, name, address, currentSaldo, nPrice, percentDiscount] = *columns;
    pdb::TField& fId = pt_.FieldByName("Id");
    pdb::TField& fCode = pt_.FieldByName("CODE");
    pdb::TField& fName = pt_.FieldByName("Name");
    pdb::TField& fAddress = pt_.FieldByName("Address");
    pdb::TField& fIdQuest = pt_.FieldByName("IdQuest");
    pdb::TField& fDateForDelivery = pt_.FieldByName("DateForDelivery");
    pdb::TField& fCurrentSaldo = pt_.FieldByName("CurrentSaldo");
    pdb::TField& fNPrice = pt_.FieldByName("NPrice");
    pdb::TField& fPercentDiscount = pt_.FieldByName("PercentDiscount");
    pdb::TField& fIdCategory = pt_.FieldByName("IdCategory");

    context_.reporter.ProgressStart(table_.RecordCount());
    for (; !table_.Eof(); table_.Next()) {
      if (PassesFilter(*id)) {
        AppendRecord();
        fId.AsInteger(id->AsInteger());
        fCode.AsString(code->AsString());
        fName.AsString(name->AsString());
        fAddress.AsString(address->AsString());
        fCurrentSaldo.AsFloat(NumberValue(*currentSaldo));
        fNPrice.AsInteger(nPrice->AsInteger());
        fPercentDiscount.AsFloat(NumberValue(*percentDiscount));
        fIdCategory.AsInteger(idCategory != nullptr ? idCategory->AsInteger() : 0);
        fIdQuest.AsInteger(idQuest != nullptr ? idQuest->AsInteger() : 1);
        fDateForDelivery.AsString(dateForDelivery != nullptr ? dateForDelivery->AsString() : std::string());
        pt_.Post();
      }
      context_.reporter.ProgressStep();
    }
    table_.Close();
    pt_.Close();
    return true;
  }

  // Every line of a note file, empty ones too, alphabetically.
  bool WriteNotes(const HandheldDatabase& db, std::string_view fileName) {
    if (!core::ExistsNoCase(source_, fileName)) return true;
    OpenDatabase(db);
    OpenTextFile(fileName);
    const auto columns = RequireColumns<1>(table_, {"Name"});
    if (!columns) return false;
    table_.CreateIndex("Name");
    text::TnqTXTField* const name = (*columns)[0];
    pdb::TField& fName = pt_.FieldByName("Name");
    context_.reporter.ProgressStart(table_.RecordCount());
    for (; !table_.Eof(); table_.Next()) {
      AppendRecord();
      fName.AsString(name->AsString());
      pt_.Post();
      context_.reporter.ProgressStep();
    }
    table_.Close();
    pt_.Close();
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
    context_.reporter.ShowError(kApplicationTitle, text);
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

}  // namespace app
