#include "dataset/RecordBuffer.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace dataset {

TRecordBuffer::TRecordBuffer(const TRecordLayout& layout)
    : layout_(&layout), data_(layout.DataSize()), blobs_(static_cast<std::size_t>(layout.BlobCount())) {}

void TRecordBuffer::Reset() {
  // A string slot is read up to its first zero byte, so clearing its presence and first text
  // byte is enough; clearing whole slots would cost as much as the record's largest size (a
  // text read whole takes 64 KiB) on every record.
  const std::size_t fields = static_cast<std::size_t>(layout_ != nullptr ? layout_->FieldCount() : 0);
  std::size_t cleared = 0;  // data_ before this offset is done
  for (std::size_t f = 0; f < fields; ++f) {
    const TFieldSlot& slot = layout_->Slot(static_cast<int>(f));
    if (slot.BlobIndex >= 0 || slot.Type != TFieldType::String) continue;
    std::fill(data_.begin() + static_cast<std::ptrdiff_t>(cleared),
              data_.begin() + static_cast<std::ptrdiff_t>(slot.Offset + 2), std::byte{0});
    cleared = slot.Offset + 1 + slot.Size;
  }
  std::fill(data_.begin() + static_cast<std::ptrdiff_t>(std::min(cleared, data_.size())), data_.end(), std::byte{0});
  for (auto& blob : blobs_) blob.clear();
  Bookmark.reset();
}

void TRecordBuffer::WrongType() { throw std::logic_error("record buffer accessed with the wrong field type"); }

const TFieldSlot& TRecordBuffer::Checked(int field, TFieldType a, TFieldType b) const {
  const TFieldSlot& slot = layout_->Slot(field);
  if (slot.Type != a && slot.Type != b) WrongType();
  return slot;
}

bool TRecordBuffer::IsNull(int field) const {
  const TFieldSlot& slot = layout_->Slot(field);
  if (slot.BlobIndex >= 0) return blobs_[static_cast<std::size_t>(slot.BlobIndex)].empty();
  return data_[slot.Offset] == kNull;
}

void TRecordBuffer::SetNull(int field) {
  const TFieldSlot& slot = layout_->Slot(field);
  if (slot.BlobIndex >= 0) {
    blobs_[static_cast<std::size_t>(slot.BlobIndex)].clear();
    return;
  }
  data_[slot.Offset] = kNull;
  // Clear the value too, so records compare and copy the same whatever was there before; a text
  // is read up to its first zero byte, so its first byte is enough.
  std::fill_n(data_.begin() + static_cast<std::ptrdiff_t>(slot.Offset + 1),
              slot.Type == TFieldType::String ? 1 : slot.Size, std::byte{0});
}

std::string_view TRecordBuffer::GetString(int field) const {
  const TFieldSlot& slot = Checked(field, TFieldType::String, TFieldType::Blob);
  if (slot.BlobIndex >= 0) return blobs_[static_cast<std::size_t>(slot.BlobIndex)];
  if (data_[slot.Offset] == kNull) return {};
  const char* text = reinterpret_cast<const char*>(data_.data() + slot.Offset + 1);
  return std::string_view(text, static_cast<std::size_t>(std::find(text, text + slot.Size - 1, '\0') - text));
}

void TRecordBuffer::SetString(int field, std::string_view value) {
  const TFieldSlot& slot = Checked(field, TFieldType::String, TFieldType::Blob);
  if (slot.BlobIndex >= 0) {
    blobs_[static_cast<std::size_t>(slot.BlobIndex)].assign(value);
    return;
  }
  const std::size_t length = std::min(value.size(), slot.Size - 1);
  if (length == 0) {
    SetNull(field);
    return;
  }
  std::byte* at = data_.data() + slot.Offset;
  at[0] = kPresent;
  std::memcpy(at + 1, value.data(), length);
  at[1 + length] = std::byte{0};  // the end of the text; bytes after it are never read
}

}  // namespace dataset
