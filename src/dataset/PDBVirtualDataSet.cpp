#include "dataset/PDBVirtualDataSet.h"

#include <algorithm>
#include <cstring>

namespace dataset {

TPDBVirtualDataSet::~TPDBVirtualDataSet() = default;

std::int32_t TPDBVirtualDataSet::NextID() {
  if (lastID_ == std::numeric_limits<std::int32_t>::max()) DatabaseError("No more record IDs in this data set");
  return ++lastID_;
}

void TPDBVirtualDataSet::InternalClose() {
  records_.clear();
  lastID_ = kNoRecordID;
}

void TPDBVirtualDataSet::InternalReadRecord(int position, TRecordBuffer& buffer) {
  records_.at(static_cast<std::size_t>(position))->CopyTo(buffer);
}

int TPDBVirtualDataSet::InternalPostRecord(const TRecordBuffer& buffer, TPostKind kind, int position) {
  const int count = static_cast<int>(records_.size());
  ++changeCount_;
  switch (kind) {
    case TPostKind::Overwrite:
      records_.at(static_cast<std::size_t>(position))->Assign(buffer);
      return position;
    case TPostKind::Insert: {
      position = std::clamp(position, 0, count);
      auto record = std::make_unique<TMemoryRecord>(*this, NextID(), buffer);
      records_.insert(records_.begin() + position, std::move(record));
      return position;
    }
    case TPostKind::Append: break;
  }
  records_.push_back(std::make_unique<TMemoryRecord>(*this, NextID(), buffer));
  return count;
}

void TPDBVirtualDataSet::InternalDeleteRecord(int position) {
  records_.erase(records_.begin() + position);
  ++changeCount_;
  if (records_.empty()) lastID_ = kNoRecordID;
}

std::optional<int> TPDBVirtualDataSet::InternalFindBookmark(std::int64_t bookmark) const {
  if (bookmark <= kNoRecordID || bookmark > lastID_) return std::nullopt;
  const auto hit = std::find_if(records_.begin(), records_.end(),
                                [&](const auto& record) { return record->ID() == bookmark; });
  if (hit == records_.end()) return std::nullopt;
  return static_cast<int>(hit - records_.begin());
}

std::unique_ptr<TMemBlobStream> TPDBVirtualDataSet::CreateBlobStream(TField& field, TBlobStreamMode mode) {
  return std::make_unique<TMemBlobStream>(field, mode);
}

}  // namespace dataset
