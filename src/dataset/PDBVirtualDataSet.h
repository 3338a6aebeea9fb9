// TPDBVirtualDataSet: a data set that keeps all its records in memory, in insertion order, one
// TMemoryRecord each. It stores what TDataSet hands it and nothing more: no index, no sorting.
// TPDBDataSet derives from it and fills the store from a Palm database in InternalLoad and
// writes it back in InternalSave; a caller can also use it directly (set FieldDefs, Open,
// Append / Post ...).
#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "dataset/DataSet.h"
#include "dataset/MemBlobStream.h"
#include "dataset/MemoryRecord.h"

namespace dataset {

class TPDBVirtualDataSet : public TDataSet {
 public:
  // The "no record" ID; the first record after opening gets kNoRecordID + 1.
  static constexpr std::int32_t kNoRecordID = std::numeric_limits<std::int32_t>::min();

  TPDBVirtualDataSet() = default;
  ~TPDBVirtualDataSet() override;

  // The last record ID given out since opening (kNoRecordID when none).
  std::int32_t LastRecordID() const { return lastID_; }
  // The stored record at a 0-based position (std::out_of_range outside 0 .. RecordCount-1).
  const TMemoryRecord& Records(int position) const { return *records_.at(static_cast<std::size_t>(position)); }

  // Grows with every record posted or deleted since construction: equal counts mean the store
  // holds the same records.
  std::uint64_t ChangeCount() const { return changeCount_; }

  // A stream over a blob field of the edit buffer or of the current record.
  std::unique_ptr<TMemBlobStream> CreateBlobStream(TField& field, TBlobStreamMode mode);

 protected:
  // The store itself. Subclasses fill and save it through InternalLoad / InternalSave (and
  // may prepare FieldDefs in InternalOpen). A subclass that reads its records forward from
  // elsewhere instead (a uni-directional data set) takes over the reading hooks and leaves the
  // store empty; the writing hooks are not for overriding.
  void InternalClose() override;
  int InternalRecordCount() const override { return static_cast<int>(records_.size()); }
  void InternalReadRecord(int position, TRecordBuffer& buffer) override;
  int InternalPostRecord(const TRecordBuffer& buffer, TPostKind kind, int position) final;
  void InternalDeleteRecord(int position) final;
  std::optional<int> InternalFindBookmark(std::int64_t bookmark) const override;

 private:
  friend class TMemoryRecord;  // packs and unpacks its values by the record layout

  std::int32_t NextID();

  std::vector<std::unique_ptr<TMemoryRecord>> records_;
  std::int32_t lastID_ = kNoRecordID;
  std::uint64_t changeCount_ = 0;
};

}  // namespace dataset
