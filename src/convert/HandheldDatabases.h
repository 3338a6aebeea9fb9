// The handheld application's databases as the conversions write and read them: file, database
// name, type and the PocketStudio field list in record order. All carry the creator "PmOr".
#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>

#include "pdb/PDBDataSet.h"

namespace convert {

inline constexpr std::string_view kHandheldCreator = "PmOr";

struct HandheldField {
  std::string_view name;
  pdb::TPDBPSFieldType type;
};

// The field lists, in record order.
inline constexpr std::array<HandheldField, 13> kProductFields{{
    {"Id", pdb::TPDBPSFieldType::PSUInt32},
    {"IdCategory", pdb::TPDBPSFieldType::PSUInt32},
    {"CODE", pdb::TPDBPSFieldType::PSString},
    {"Name", pdb::TPDBPSFieldType::PSString},
    {"FullName", pdb::TPDBPSFieldType::PSString},
    {"Ed", pdb::TPDBPSFieldType::PSString},
    {"Standard", pdb::TPDBPSFieldType::PSDouble},
    {"Quantity", pdb::TPDBPSFieldType::PSDouble},
    {"Price1", pdb::TPDBPSFieldType::PSDouble},
    {"Price2", pdb::TPDBPSFieldType::PSDouble},
    {"Price3", pdb::TPDBPSFieldType::PSDouble},
    {"Price4", pdb::TPDBPSFieldType::PSDouble},
    {"Aliquot", pdb::TPDBPSFieldType::PSUInt32},
}};
// The index databases are filled by the handheld application itself.
inline constexpr std::array<HandheldField, 4> kFourIndexFields{{
    {"Index_Name", pdb::TPDBPSFieldType::PSUInt32},
    {"Index_Code", pdb::TPDBPSFieldType::PSUInt32},
    {"Index_CatName", pdb::TPDBPSFieldType::PSUInt32},
    {"Index_CatCode", pdb::TPDBPSFieldType::PSUInt32},
}};
inline constexpr std::array<HandheldField, 1> kOneIndexField{{{"Index_Name", pdb::TPDBPSFieldType::PSUInt32}}};
inline constexpr std::array<HandheldField, 7> kCategoryFields{{
    {"Id", pdb::TPDBPSFieldType::PSUInt32},
    {"IDParent", pdb::TPDBPSFieldType::PSUInt32},
    {"Name", pdb::TPDBPSFieldType::PSString},
    {"Level", pdb::TPDBPSFieldType::PSUInt32},
    {"ProductCount", pdb::TPDBPSFieldType::PSUInt32},
    {"Expanded", pdb::TPDBPSFieldType::PSUInt32},
    {"ChildCount", pdb::TPDBPSFieldType::PSUInt32},
}};
inline constexpr std::array<HandheldField, 10> kCustomerFields{{
    {"Id", pdb::TPDBPSFieldType::PSUInt32},
    {"CODE", pdb::TPDBPSFieldType::PSString},
    {"Name", pdb::TPDBPSFieldType::PSString},
    {"Address", pdb::TPDBPSFieldType::PSString},
    {"IdQuest", pdb::TPDBPSFieldType::PSUInt32},
    {"DateForDelivery", pdb::TPDBPSFieldType::PSString},
    {"CurrentSaldo", pdb::TPDBPSFieldType::PSDouble},
    {"NPrice", pdb::TPDBPSFieldType::PSUInt32},
    {"PercentDiscount", pdb::TPDBPSFieldType::PSDouble},
    {"IdCategory", pdb::TPDBPSFieldType::PSUInt32},
}};
inline constexpr std::array<HandheldField, 1> kNoteFields{{{"Name", pdb::TPDBPSFieldType::PSString}}};

inline constexpr std::array<HandheldField, 14> kOrderFields{{
    {"Id", pdb::TPDBPSFieldType::PSUInt32},
    {"OrderDate", pdb::TPDBPSFieldType::PSDate},
    {"OrderTime", pdb::TPDBPSFieldType::PSString},
    {"DeliverDate", pdb::TPDBPSFieldType::PSDate},
    {"IdCustomer", pdb::TPDBPSFieldType::PSUInt32},
    {"IdPayment", pdb::TPDBPSFieldType::PSUInt32},
    {"Total", pdb::TPDBPSFieldType::PSDouble},
    {"CountRow", pdb::TPDBPSFieldType::PSUInt32},
    {"NPrice", pdb::TPDBPSFieldType::PSUInt32},
    {"PercentDiscount", pdb::TPDBPSFieldType::PSDouble},
    {"Note", pdb::TPDBPSFieldType::PSString},
    {"Note1", pdb::TPDBPSFieldType::PSString},
    {"Note2", pdb::TPDBPSFieldType::PSString},
    {"Selected", pdb::TPDBPSFieldType::PSBoolean},
}};
inline constexpr std::array<HandheldField, 4> kOrderItemFields{{
    {"IdOrder", pdb::TPDBPSFieldType::PSUInt32},
    {"IdProduct", pdb::TPDBPSFieldType::PSUInt32},
    {"Quantity", pdb::TPDBPSFieldType::PSDouble},
    {"Price", pdb::TPDBPSFieldType::PSDouble},
}};
inline constexpr std::array<HandheldField, 9> kCashFields{{
    {"Id", pdb::TPDBPSFieldType::PSUInt32},
    {"IdCustomer", pdb::TPDBPSFieldType::PSUInt32},
    {"CashDate", pdb::TPDBPSFieldType::PSDate},
    {"IdCurrency", pdb::TPDBPSFieldType::PSUInt32},
    {"Currencycurs", pdb::TPDBPSFieldType::PSDouble},
    {"CurrencySumma", pdb::TPDBPSFieldType::PSDouble},
    {"Summa", pdb::TPDBPSFieldType::PSDouble},
    {"Note", pdb::TPDBPSFieldType::PSString},
    {"Iddoc", pdb::TPDBPSFieldType::PSUInt32},
}};

struct HandheldDatabase {
  std::string_view fileName;  // "Kestor_ProductDB.pdb"
  std::string_view name;      // "Kestor_ProductDB"
  std::string_view type;      // "PROD"; empty for the documents, whose type comes from the file
  std::span<const HandheldField> fields;
};

// Reference data written by "TXT -> PDB".
extern const HandheldDatabase kProductDB;
extern const HandheldDatabase kProductIndexDB;
extern const HandheldDatabase kCategoryDB;
extern const HandheldDatabase kProdCatIndexDB;
extern const HandheldDatabase kCustomerDB;
extern const HandheldDatabase kCustomerIndexDB;
extern const HandheldDatabase kNote1DB;
extern const HandheldDatabase kNote2DB;
// Documents read by "PDB -> TXT" and "PDB -> DBF".
extern const HandheldDatabase kOrderDb;
extern const HandheldDatabase kOrderItemDb;
extern const HandheldDatabase kCashDb;

// Points `pt` (closed) at `directory`/db.fileName with the creator "PmOr" and the database's
// field list; sets the database name and type when the layout names them. The data set loads the
// whole database unless the caller then asks for reading forward only.
void PrepareDataSet(pdb::TPDBDataSet& pt, const std::string& directory, const HandheldDatabase& db);

// Lets the text fields of `pt`'s field list hold the longest text a record field can: the
// documents an agent entered are read whole, so a long note is cut neither in the office's
// files nor in the database the data set writes back when it closes.
void ReadTextFieldsWhole(pdb::TPDBDataSet& pt);

}  // namespace convert
