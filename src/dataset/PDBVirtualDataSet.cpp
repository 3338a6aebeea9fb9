#include "dataset/PDBVirtualDataSet.h"

#include <algorithm>
#include <cstring>

namespace dataset {

namespace {
// Below this many bytes left behind the store does not bother to compact.
constexpr std::size_t kCompactAfter = 1024 * 1024;
}  // namespace

TPDBVirtualDataSet::~TPDBVirtualDataSet() = default;

std::int32_t TPDBVirtualDataSet::NextID() {
  if (lastID_ == std::numeric_limits<std::int32_t>::max()) DatabaseError("No more record IDs in this data set");
  return ++lastID_;
}

TMemoryRecord TPDBVirtualDataSet::Records(int position) const {
  const auto at = static_cast<std::size_t>(position);
  return {*this, records_.at(at), blobs_.empty() ? nullptr : &blobs_[at]};
}

void TPDBVirtualDataSet::ReleaseStore() {
  records_.clear();
  records_.shrink_to_fit();
  blobs_.clear();
  blobs_.shrink_to_fit();
  valueBytes_.Clear();
  allocatedBytes_ = usedBytes_ = 0;
}

void TPDBVirtualDataSet::InternalClose() {
  ReleaseStore();
  lastID_ = kNoRecordID;
}

void TPDBVirtualDataSet::InternalReadRecord(int position, TRecordBuffer& buffer) { Records(position).CopyTo(buffer); }

void TPDBVirtualDataSet::StoreValues(TStoredRecord& record, const TRecordBuffer& values) {
  const TRecordLayout& layout = RecordLayout();
  const std::size_t size = PackedSize(layout, values);
  if (size > record.size) {
    record.data = valueBytes_.Allocate(size);
    allocatedBytes_ += size;
  }
  usedBytes_ = usedBytes_ - record.size + size;
  record.size = static_cast<std::uint32_t>(size);
  PackValues(layout, values, record.data);
}

void TPDBVirtualDataSet::CompactIfWasteful() {
  const std::size_t unused = allocatedBytes_ - usedBytes_;
  if (unused < kCompactAfter || unused < usedBytes_) return;
  core::TByteArena fresh;
  for (TStoredRecord& record : records_) {
    std::byte* const to = fresh.Allocate(record.size);
    if (record.size != 0) std::memcpy(to, record.data, record.size);
    record.data = to;
  }
  valueBytes_ = std::move(fresh);
  allocatedBytes_ = usedBytes_;
}

int TPDBVirtualDataSet::InternalPostRecord(const TRecordBuffer& buffer, TPostKind kind, int position) {
  const int count = static_cast<int>(records_.size());
  ++changeCount_;
  const bool hasBlobs = RecordLayout().BlobCount() > 0;
  if (kind == TPostKind::Overwrite) {
    const auto at = static_cast<std::size_t>(position);
    StoreValues(records_.at(at), buffer);
    if (hasBlobs) blobs_[at] = buffer.Blobs();
    CompactIfWasteful();
    return position;
  }
  TStoredRecord record;
  record.id = NextID();
  StoreValues(record, buffer);
  if (kind == TPostKind::Append) position = count;
  position = std::clamp(position, 0, count);
  records_.insert(records_.begin() + position, record);
  if (hasBlobs) {
    try {
      blobs_.insert(blobs_.begin() + position, buffer.Blobs());
    } catch (...) {
      records_.erase(records_.begin() + position);  // the two lists stay in step
      throw;
    }
  }
  return position;
}

void TPDBVirtualDataSet::InternalDeleteRecord(int position) {
  usedBytes_ -= records_[static_cast<std::size_t>(position)].size;
  records_.erase(records_.begin() + position);
  if (!blobs_.empty()) blobs_.erase(blobs_.begin() + position);
  ++changeCount_;
  if (records_.empty()) {
    ReleaseStore();
    lastID_ = kNoRecordID;
  } else {
    CompactIfWasteful();
  }
}

std::optional<int> TPDBVirtualDataSet::InternalFindBookmark(std::int64_t bookmark) const {
  if (bookmark <= kNoRecordID || bookmark > lastID_) return std::nullopt;
  const auto hit = std::find_if(records_.begin(), records_.end(), [&](const TStoredRecord& record) { return record.id == bookmark; });
  if (hit == records_.end()) return std::nullopt;
  return static_cast<int>(hit - records_.begin());
}

std::unique_ptr<TMemBlobStream> TPDBVirtualDataSet::CreateBlobStream(TField& field, TBlobStreamMode mode) {
  return std::make_unique<TMemBlobStream>(field, mode);
}

}  // namespace dataset
