#include "dataset/FieldType.h"

namespace dataset {

TFieldType StorageType(TFieldType type) {
  switch (type) {
    case TFieldType::Smallint:
    case TFieldType::Word:
    case TFieldType::AutoInc: return TFieldType::Integer;
    case TFieldType::Currency:
    case TFieldType::BCD: return TFieldType::Float;
    case TFieldType::Date:
    case TFieldType::Time: return TFieldType::DateTime;
    case TFieldType::Memo: return TFieldType::Blob;
    default: return type;
  }
}

}  // namespace dataset
