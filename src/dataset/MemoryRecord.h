// TMemoryRecord: one record of the in-memory store (TPDBVirtualDataSet), kept packed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "dataset/RecordBuffer.h"

namespace dataset {

class TPDBVirtualDataSet;

// One stored record: its ID (the bookmark), the presence bytes and values of the non-blob
// fields, and one byte string per blob field, in blob-field order. The values are kept packed:
// a string takes its presence byte, its text and a terminator rather than the whole width of
// its field, which is most of a record when texts are short.
class TMemoryRecord {
 public:
  TMemoryRecord(TPDBVirtualDataSet& owner, std::int32_t id, const TRecordBuffer& values);

  TPDBVirtualDataSet& Owner() const { return *owner_; }
  std::int32_t ID() const { return id_; }
  // The packed values.
  std::span<const std::byte> Data() const { return {data_.get(), size_}; }
  const std::vector<std::string>& Blobs() const;

  // Takes the values (not the ID) of a buffer of the owner's layout.
  void Assign(const TRecordBuffer& values);
  // Copies values and ID into a buffer of the owner's layout.
  void CopyTo(TRecordBuffer& buffer) const;

 private:
  void Pack(const TRecordBuffer& values);

  // Kept small: a data set holds one of these per record, often tens of thousands.
  TPDBVirtualDataSet* owner_;
  std::unique_ptr<std::byte[]> data_;
  std::unique_ptr<std::vector<std::string>> blobs_;  // none while the layout has no blob field
  std::int32_t id_;
  std::uint32_t size_ = 0;
};

}  // namespace dataset
