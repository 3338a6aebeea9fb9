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
  // The value of a fixed-size field of `type` (0 when null) / sets it and marks it present.
  template <typename T>
  T GetFixed(int field, TFieldType type) const {
    const TFieldSlot& slot = Checked(field, type);
    return data_[slot.Offset] == kNull ? T{} : Load<T>(data_.data() + slot.Offset + 1);
  }
  template <typename T>
  void SetFixed(int field, TFieldType type, T value) {
    const TFieldSlot& slot = Checked(field, type);
    data_[slot.Offset] = kPresent;
    Store(data_.data() + slot.Offset + 1, value);
  }
  const TFieldSlot& Checked(int field, TFieldType a, TFieldType b) const;
  const TRecordLayout* layout_ = nullptr;
  std::vector<std::byte> data_;
  std::vector<std::string> blobs_;
};

inline std::int32_t TRecordBuffer::GetInteger(int field) const { return GetFixed<std::int32_t>(field, TFieldType::Integer); }
inline void TRecordBuffer::SetInteger(int field, std::int32_t value) { SetFixed(field, TFieldType::Integer, value); }
inline std::int64_t TRecordBuffer::GetLargeInt(int field) const { return GetFixed<std::int64_t>(field, TFieldType::LargeInt); }
inline void TRecordBuffer::SetLargeInt(int field, std::int64_t value) { SetFixed(field, TFieldType::LargeInt, value); }
inline double TRecordBuffer::GetFloat(int field) const { return GetFixed<double>(field, TFieldType::Float); }
inline void TRecordBuffer::SetFloat(int field, double value) { SetFixed(field, TFieldType::Float, value); }
inline bool TRecordBuffer::GetBoolean(int field) const { return GetFixed<std::uint16_t>(field, TFieldType::Boolean) != 0; }
inline void TRecordBuffer::SetBoolean(int field, bool value) {
  SetFixed<std::uint16_t>(field, TFieldType::Boolean, value ? 1 : 0);
}
inline core::TDateTime TRecordBuffer::GetDateTime(int field) const {
  return core::TDateTime(GetFixed<double>(field, TFieldType::DateTime));
}
inline void TRecordBuffer::SetDateTime(int field, core::TDateTime value) {
  SetFixed(field, TFieldType::DateTime, value.Days());
}

}  // namespace dataset
