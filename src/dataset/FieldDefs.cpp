#include "dataset/FieldDefs.h"

#include "core/Encoding.h"
#include "dataset/DatabaseError.h"
#include "dataset/FieldText.h"

namespace dataset {

using namespace detail;

TFieldDef& TFieldDefs::Add(std::string name, TFieldType type, int size) {
  if (Find(name)) throw EDatabaseError(Quoted("Duplicate field name '%s'", name));
  if (size < 0) throw EDatabaseError(Quoted("Invalid field size for field '%s'", name));
  defs_.push_back(TFieldDef{std::move(name), type, size});
  return defs_.back();
}

const TFieldDef* TFieldDefs::Find(std::string_view name) const {
  for (const auto& def : defs_)
    if (core::AnsiSameText(def.Name, name)) return &def;
  return nullptr;
}

}  // namespace dataset
