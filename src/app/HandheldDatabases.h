// The handheld application's databases as the conversions write and read them: file, database
// name, type and the PocketStudio field list in record order. All carry the creator "PmOr".
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "pdb/PDBDataSet.h"

namespace app {

inline constexpr std::string_view kHandheldCreator = "PmOr";

struct HandheldField {
  std::string_view name;
  pdb::TPDBPSFieldType type;
};

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
// field list; sets the database name and type when the layout names them.
void PrepareDataSet(pdb::TPDBDataSet& pt, const std::string& directory, const HandheldDatabase& db);

// Lets the text fields of `pt`'s field list hold the longest text a record field can: the
// documents an agent entered are read whole, so a long note is cut neither in the office's
// files nor in the database the data set writes back when it closes.
void ReadTextFieldsWhole(pdb::TPDBDataSet& pt);

}  // namespace app
