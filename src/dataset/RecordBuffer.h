#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/DateTime.h"
#include "dataset/RecordLayout.h"

namespace dataset {

// A bookmark: an opaque record key a store hands out (the in-memory store uses record IDs).
// No value is the absent bookmark.
using TBookmark = std::optional<std::int64_t>;

// One record's values in the layout of its data set, with raw typed access by field index and
// no state checks or conversions. Stores use it to fill and read records in their hooks; every
// accessor requires the field to be of the kind it names (std::logic_error otherwise).
class TRecordBuffer {
 public:
  TRecordBuffer() = default;
  explicit TRecordBuffer(const TRecordLayout& layout);

  // All fields null, blobs empty, no bookmark.
  void Reset();

  // The fixed block (presence bytes and values) and the blob strings, for stores that copy
  // whole records.
  std::span<std::byte> Data() { return data_; }
  std::span<const std::byte> Data() const { return data_; }
  std::vector<std::string>& Blobs() { return blobs_; }
  const std::vector<std::string>& Blobs() const { return blobs_; }

  // The key of the stored record this buffer was read from (absent for a new record).
  TBookmark Bookmark;

  bool IsNull(int field) const;
  void SetNull(int field);
  // String and blob fields. A string longer than the field's size is cut to it, and an empty
  // string is stored as null; a blob keeps every byte (empty = null).
  std::string_view GetString(int field) const;
  void SetString(int field, std::string_view value);
  // The fixed-size kinds are defined inline below: stores read and write them once per field of
  // every record.
  std::int32_t GetInteger(int field) const;
  void SetInteger(int field, std::int32_t value);
  std::int64_t GetLargeInt(int field) const;
  void SetLargeInt(int field, std::int64_t value);
  double GetFloat(int field) const;
  void SetFloat(int field, double value);
  bool GetBoolean(int field) const;
  void SetBoolean(int field, bool value);
  core::TDateTime GetDateTime(int field) const;
  void SetDateTime(int field, core::TDateTime value);

 private:
  static constexpr std::byte kPresent{1};
  static constexpr std::byte kNull{0};
  template <typename T>
  static T Load(const std::byte* at) {
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
  }
  template <typename T>
  static void Store(std::byte* at, T value) {
    std::memcpy(at, &value, sizeof value);
  }
  const TFieldSlot& Checked(int field, TFieldType type) const {
    const TFieldSlot& slot = layout_->Slot(field);
    if (slot.Type != type) WrongType();
    return slot;
  }
  [[noreturn]] static void WrongType();
  const TFieldSlot& Checked(int field, TFieldType a, TFieldType b) const;
  const TRecordLayout* layout_ = nullptr;
  std::vector<std::byte> data_;
  std::vector<std::string> blobs_;
};

inline std::int32_t TRecordBuffer::GetInteger(int field) const {
  const TFieldSlot& slot = Checked(field, TFieldType::Integer);
  return data_[slot.Offset] == kNull ? 0 : Load<std::int32_t>(data_.data() + slot.Offset + 1);
}

inline void TRecordBuffer::SetInteger(int field, std::int32_t value) {
  const TFieldSlot& slot = Checked(field, TFieldType::Integer);
  data_[slot.Offset] = kPresent;
  Store(data_.data() + slot.Offset + 1, value);
}

inline std::int64_t TRecordBuffer::GetLargeInt(int field) const {
  const TFieldSlot& slot = Checked(field, TFieldType::LargeInt);
  return data_[slot.Offset] == kNull ? 0 : Load<std::int64_t>(data_.data() + slot.Offset + 1);
}

inline void TRecordBuffer::SetLargeInt(int field, std::int64_t value) {
  const TFieldSlot& slot = Checked(field, TFieldType::LargeInt);
  data_[slot.Offset] = kPresent;
  Store(data_.data() + slot.Offset + 1, value);
}

inline double TRecordBuffer::GetFloat(int field) const {
  const TFieldSlot& slot = Checked(field, TFieldType::Float);
  return data_[slot.Offset] == kNull ? 0.0 : Load<double>(data_.data() + slot.Offset + 1);
}

inline void TRecordBuffer::SetFloat(int field, double value) {
  const TFieldSlot& slot = Checked(field, TFieldType::Float);
  data_[slot.Offset] = kPresent;
  Store(data_.data() + slot.Offset + 1, value);
}

inline bool TRecordBuffer::GetBoolean(int field) const {
  const TFieldSlot& slot = Checked(field, TFieldType::Boolean);
  return data_[slot.Offset] != kNull && Load<std::uint16_t>(data_.data() + slot.Offset + 1) != 0;
}

inline void TRecordBuffer::SetBoolean(int field, bool value) {
  const TFieldSlot& slot = Checked(field, TFieldType::Boolean);
  data_[slot.Offset] = kPresent;
  Store<std::uint16_t>(data_.data() + slot.Offset + 1, value ? 1 : 0);
}

inline core::TDateTime TRecordBuffer::GetDateTime(int field) const {
  const TFieldSlot& slot = Checked(field, TFieldType::DateTime);
  return core::TDateTime(data_[slot.Offset] == kNull ? 0.0 : Load<double>(data_.data() + slot.Offset + 1));
}

inline void TRecordBuffer::SetDateTime(int field, core::TDateTime value) {
  const TFieldSlot& slot = Checked(field, TFieldType::DateTime);
  data_[slot.Offset] = kPresent;
  Store(data_.data() + slot.Offset + 1, value.Days());
}

}  // namespace dataset
