// TMemoryRecord: one record of the in-memory store (TPDBVirtualDataSet) as the store shows it,
// and the packed form the store keeps its values in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "dataset/RecordBuffer.h"

namespace dataset {

class TPDBVirtualDataSet;

// The packed values of a record: the presence bytes and values of the non-blob fields, where a
// string takes its presence byte, its text and a terminator rather than the whole width of its
// field, which is most of a record when texts are short.
std::size_t PackedSize(const TRecordLayout& layout, const TRecordBuffer& values);
// Writes the packed values into `out`, which has PackedSize bytes.
void PackValues(const TRecordLayout& layout, const TRecordBuffer& values, std::byte* out);
// Sets the non-blob fields of `buffer` from packed values.
void UnpackValues(const TRecordLayout& layout, std::span<const std::byte> packed, TRecordBuffer& buffer);

// How the store keeps one record: its packed values (in the store's blocks) and its ID (the
// bookmark); its blobs are kept beside it. Kept small: a data set holds one per record, often
// tens of thousands.
struct TStoredRecord {
  std::byte* data = nullptr;
  std::uint32_t size = 0;  // a record's packed values stay well below 4 GiB
  std::int32_t id = 0;
};

// A stored record: a view that stays valid until the store changes.
class TMemoryRecord {
 public:
  // `blobs`, in blob-field order, is null when the layout has no blob field.
  TMemoryRecord(const TPDBVirtualDataSet& owner, const TStoredRecord& stored, const std::vector<std::string>* blobs)
      : owner_(&owner), stored_(&stored), blobs_(blobs) {}

  const TPDBVirtualDataSet& Owner() const { return *owner_; }
  std::int32_t ID() const { return stored_->id; }
  // The packed values.
  std::span<const std::byte> Data() const { return {stored_->data, stored_->size}; }
  const std::vector<std::string>& Blobs() const;

  // Copies values and ID into a buffer of the owner's layout.
  void CopyTo(TRecordBuffer& buffer) const;

 private:
  const TPDBVirtualDataSet* owner_;
  const TStoredRecord* stored_;
  const std::vector<std::string>* blobs_;
};

}  // namespace dataset
