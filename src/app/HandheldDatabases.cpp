#include "app/HandheldDatabases.h"

#include <array>

namespace app {
namespace {

using enum pdb::TPDBPSFieldType;

constexpr std::array<HandheldField, 13> kProductFields{{
    {"Id", PSUInt32},
    {"IdCategory", PSUInt32},
    {"CODE", PSString},
    {"Name", PSString},
    {"FullName", PSString},
    {"Ed", PSString},
    {"Standard", PSDouble},
    {"Quantity", PSDouble},
    {"Price1", PSDouble},
    {"Price2", PSDouble},
    {"Price3", PSDouble},
    {"Price4", PSDouble},
    {"Aliquot", PSUInt32},
}};
// The index databases are filled by the handheld application itself.
constexpr std::array<HandheldField, 4> kFourIndexFields{{
    {"Index_Name", PSUInt32},
    {"Index_Code", PSUInt32},
    {"Index_CatName", PSUInt32},
    {"Index_CatCode", PSUInt32},
}};
constexpr std::array<HandheldField, 1> kOneIndexField{{{"Index_Name", PSUInt32}}};
constexpr std::array<HandheldField, 7> kCategoryFields{{
    {"Id", PSUInt32},
    {"IDParent", PSUInt32},
    {"Name", PSString},
    {"Level", PSUInt32},
    {"ProductCount", PSUInt32},
    {"Expanded", PSUInt32},
    {"ChildCount", PSUInt32},
}};
constexpr std::array<HandheldField, 10> kCustomerFields{{
    {"Id", PSUInt32},
    {"CODE", PSString},
    {"Name", PSString},
    {"Address", PSString},
    {"IdQuest", PSUInt32},
    {"DateForDelivery", PSString},
    {"CurrentSaldo", PSDouble},
    {"NPrice", PSUInt32},
    {"PercentDiscount", PSDouble},
    {"IdCategory", PSUInt32},
}};
constexpr std::array<HandheldField, 1> kNoteFields{{{"Name", PSString}}};

constexpr std::array<HandheldField, 14> kOrderFields{{
    {"Id", PSUInt32},
    {"OrderDate", PSDate},
    {"OrderTime", PSString},
    {"DeliverDate", PSDate},
    {"IdCustomer", PSUInt32},
    {"IdPayment", PSUInt32},
    {"Total", PSDouble},
    {"CountRow", PSUInt32},
    {"NPrice", PSUInt32},
    {"PercentDiscount", PSDouble},
    {"Note", PSString},
    {"Note1", PSString},
    {"Note2", PSString},
    {"Selected", PSBoolean},
}};
constexpr std::array<HandheldField, 4> kOrderItemFields{{
    {"IdOrder", PSUInt32},
    {"IdProduct", PSUInt32},
    {"Quantity", PSDouble},
    {"Price", PSDouble},
}};
constexpr std::array<HandheldField, 9> kCashFields{{
    {"Id", PSUInt32},
    {"IdCustomer", PSUInt32},
    {"CashDate", PSDate},
    {"IdCurrency", PSUInt32},
    {"Currencycurs", PSDouble},
    {"CurrencySumma", PSDouble},
    {"Summa", PSDouble},
    {"Note", PSString},
    {"Iddoc", PSUInt32},
}};

}  // namespace

const HandheldDatabase kProductDB{"Kestor_ProductDB.pdb", "Kestor_ProductDB", "PROD", kProductFields};
const HandheldDatabase kProductIndexDB{"Kestor_ProductIndexDB.pdb", "Kestor_ProductIndexDB", "PROC", kFourIndexFields};
const HandheldDatabase kCategoryDB{"Kestor_CategoryDB.pdb", "Kestor_CategoryDB", "PRCA", kCategoryFields};
const HandheldDatabase kProdCatIndexDB{"Kestor_ProdCatIndexDB.pdb", "Kestor_ProdCatIndexDB", "PROC", kOneIndexField};
const HandheldDatabase kCustomerDB{"Kestor_CustomerDB.pdb", "Kestor_CustomerDB", "CUST", kCustomerFields};
const HandheldDatabase kCustomerIndexDB{"Kestor_CustomerIndexDB.pdb", "Kestor_CustomerIndexDB", "CUSC",
                                        kFourIndexFields};
const HandheldDatabase kNote1DB{"Kestor_Note1DB.pdb", "Kestor_Note1DB", "NOTE", kNoteFields};
const HandheldDatabase kNote2DB{"Kestor_Note2DB.pdb", "Kestor_Note2DB", "NOTE", kNoteFields};
const HandheldDatabase kOrderDb{"Kestor_OrderDb.pdb", "Kestor_OrderDb", "", kOrderFields};
const HandheldDatabase kOrderItemDb{"Kestor_OrderItemDb.pdb", "Kestor_OrderItemDb", "", kOrderItemFields};
const HandheldDatabase kCashDb{"Kestor_CashDb.pdb", "Kestor_CashDb", "", kCashFields};

void PrepareDataSet(pdb::TPDBDataSet& pt, const std::string& directory, const HandheldDatabase& db) {
  pt.SetPDBFilename(std::string(db.fileName));
  if (!db.type.empty()) {
    pt.SetDatabaseName(std::string(db.name));
    pt.SetDatabaseType(std::string(db.type));
  }
  pt.SetDirectory(directory);
  pt.SetCreatorID(std::string(kHandheldCreator));
  pdb::TPDBPSFields& fields = pt.FieldsPocketStudio();
  fields.Clear();
  for (const HandheldField& field : db.fields) {
    pdb::TPDBPSField& item = fields.Add();
    item.SetDataType(field.type);
    item.SetFieldName(std::string(field.name));
  }
}

void ReadTextFieldsWhole(pdb::TPDBDataSet& pt) {
  for (pdb::TPDBPSField& field : pt.FieldsPocketStudio())
    if (field.DataType() == pdb::TPDBPSFieldType::PSString) field.SetInternalSize(pdb::kPSMaxFieldSize);
}

}  // namespace app
