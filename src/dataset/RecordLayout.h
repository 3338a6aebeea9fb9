#pragma once

#include <cstddef>
#include <vector>

#include "dataset/FieldDefs.h"
#include "dataset/FieldType.h"

namespace dataset {

// Where one field lives in a record: the presence byte at Offset, the value right after it
// (Size bytes: a string of N characters takes N + 1), or the blob string BlobIndex.
struct TFieldSlot {
  TFieldType Type = TFieldType::Unknown;
  std::size_t Offset = 0;
  std::size_t Size = 0;
  int BlobIndex = -1;
};

// The record layout computed from the field definitions when a data set opens: the fields in
// definition order, each non-blob field taking 1 + its value size.
class TRecordLayout {
 public:
  TRecordLayout() = default;
  // Fails with "Field '%s' is of an unknown type" for a definition of type Unknown.
  explicit TRecordLayout(const TFieldDefs& defs);
  std::size_t DataSize() const { return dataSize_; }
  int BlobCount() const { return blobCount_; }
  int FieldCount() const { return static_cast<int>(slots_.size()); }
  const TFieldSlot& Slot(int field) const { return slots_[static_cast<std::size_t>(field)]; }

 private:
  std::vector<TFieldSlot> slots_;
  std::size_t dataSize_ = 0;
  int blobCount_ = 0;
};

}  // namespace dataset
