#include "convert/HandheldDatabases.h"

namespace convert {

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
  // Whatever an earlier conversion (even a failed one) asked for: the whole database is loaded.
  pt.SetForwardOnly(false);
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

}  // namespace convert
