#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "dataset/FieldType.h"

namespace dataset {

// One field definition. Size matters for strings only (the most characters kept).
struct TFieldDef {
  std::string Name;
  TFieldType DataType = TFieldType::String;
  int Size = 0;
};

// The ordered field definitions a data set builds its fields from when it opens. Changing them
// while the data set is open has no effect until the next Open.
class TFieldDefs {
 public:
  // Adds a definition; a name already present (letter case ignored) or a negative size fails
  // with EDatabaseError, since the second field of a name could never be reached.
  TFieldDef& Add(std::string name, TFieldType type, int size = 0);
  void Clear() { defs_.clear(); }
  int Count() const { return static_cast<int>(defs_.size()); }
  bool Empty() const { return defs_.empty(); }
  const TFieldDef& operator[](int index) const { return defs_.at(static_cast<std::size_t>(index)); }
  // The definition of that name (letter case ignored), or nullptr.
  const TFieldDef* Find(std::string_view name) const;
  auto begin() const { return defs_.begin(); }
  auto end() const { return defs_.end(); }

 private:
  std::vector<TFieldDef> defs_;
};

}  // namespace dataset
