#include "dataset/MemBlobStream.h"

#include <algorithm>
#include <cstring>

#include "core/Encoding.h"
#include "dataset/DataSet.h"

namespace dataset {

TMemBlobStream::TMemBlobStream(TField& field, TBlobStreamMode mode)
    : field_(field),
      dataSet_(field.DataSet()),
      blobIndex_(field.slot_.BlobIndex),
      writable_(mode != TBlobStreamMode::Read) {
  if (blobIndex_ < 0) throw EDatabaseError("Field '" + core::AnsiToUtf8(field.FieldName()) + "' is not a blob field");
  if (!writable_) return;
  if (field.ReadOnly) throw EDatabaseError("Field '" + core::AnsiToUtf8(field.DisplayName()) + "' cannot be modified");
  TRecordBuffer& buffer = dataSet_.WriteBuffer(field);
  if (mode == TBlobStreamMode::Write) {
    buffer.Blobs()[static_cast<std::size_t>(blobIndex_)].clear();
    dataSet_.modified_ = true;
    wrote_ = true;
  }
}

TMemBlobStream::~TMemBlobStream() {
  if (!wrote_ || !dataSet_.Active()) return;
  try {
    dataSet_.FieldChanged(field_);
  } catch (...) {
    // A notification handler failed; a destructor cannot pass that on.
    if (dataSet_.OnApplicationException) dataSet_.OnApplicationException(std::current_exception());
  }
}

const std::string& TMemBlobStream::Blob() const {
  static const std::string kEmpty;
  const TRecordBuffer* buffer = dataSet_.ReadBuffer();
  return buffer ? buffer->Blobs()[static_cast<std::size_t>(blobIndex_)] : kEmpty;
}

std::int64_t TMemBlobStream::Size() const { return static_cast<std::int64_t>(Blob().size()); }

std::size_t TMemBlobStream::Read(std::span<std::byte> out) {
  const std::string& blob = Blob();
  const auto at = static_cast<std::uint64_t>(position_);
  if (at >= blob.size()) return 0;
  const std::size_t count = std::min<std::size_t>(out.size(), blob.size() - static_cast<std::size_t>(at));
  std::memcpy(out.data(), blob.data() + at, count);
  position_ += static_cast<std::int64_t>(count);
  return count;
}

std::string TMemBlobStream::ReadRest() {
  const std::string& blob = Blob();
  const auto at = static_cast<std::uint64_t>(position_);
  if (at >= blob.size()) return {};
  std::string rest = blob.substr(static_cast<std::size_t>(at));
  position_ = static_cast<std::int64_t>(blob.size());
  return rest;
}

std::size_t TMemBlobStream::Write(std::span<const std::byte> data) {
  if (!writable_) throw EDatabaseError("Blob stream of field '" + core::AnsiToUtf8(field_.FieldName()) + "' is read-only");
  // Checked again: the data set may have left edit state since the stream was opened.
  std::string& blob = dataSet_.WriteBuffer(field_).Blobs()[static_cast<std::size_t>(blobIndex_)];
  const auto at = static_cast<std::size_t>(position_);
  if (blob.size() < at + data.size()) blob.resize(at + data.size(), '\0');
  if (!data.empty()) std::memcpy(blob.data() + at, data.data(), data.size());
  position_ += static_cast<std::int64_t>(data.size());
  dataSet_.modified_ = true;
  wrote_ = true;
  return data.size();
}

std::int64_t TMemBlobStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  std::int64_t base = 0;
  switch (origin) {
    case TSeekOrigin::Beginning: base = 0; break;
    case TSeekOrigin::Current: base = position_; break;
    case TSeekOrigin::End: base = Size(); break;
  }
  if ((offset < 0 && base + offset < 0) || (offset > 0 && base > INT64_MAX - offset))
    throw EDatabaseError("Invalid blob stream position");
  position_ = base + offset;
  return position_;
}

}  // namespace dataset
