// TPDBVirtualDataSet: a data set that keeps all its records in memory, in insertion order: their
// packed values one after another in a few large blocks, and a small entry per record (see
// TStoredRecord). It stores what TDataSet hands it and nothing more: no index, no sorting.
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

#include "core/ByteArena.h"
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
  // The stored record at a 0-based position (std::out_of_range outside 0 .. RecordCount-1), valid
  // until the store changes.
  TMemoryRecord Records(int position) const;

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
  friend class TMemoryRecord;  // unpacks its values by the record layout

  std::int32_t NextID();
  // Packs `values` into `record`: in place when they fit in the bytes it has, into new room
  // otherwise.
  void StoreValues(TStoredRecord& record, const TRecordBuffer& values);
  // Overwritten and deleted records leave their bytes behind in the blocks; once those outweigh
  // the bytes in use, the records are copied into fresh blocks, so memory stays in proportion
  // to the records held however often they are edited.
  void CompactIfWasteful();
  void ReleaseStore();

  std::vector<TStoredRecord> records_;
  // The blobs of records_[i] are blobs_[i]; empty while the layout has no blob field.
  std::vector<std::vector<std::string>> blobs_;
  core::TByteArena valueBytes_;
  std::size_t allocatedBytes_ = 0;  // handed out by valueBytes_
  std::size_t usedBytes_ = 0;       // the packed values of the records held
  std::int32_t lastID_ = kNoRecordID;
  std::uint64_t changeCount_ = 0;
};

}  // namespace dataset
