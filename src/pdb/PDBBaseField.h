// What every engine's field definition holds: a name, the current value, the bytes it takes in
// a record and a raw buffer; and the ordered, owning collection of an engine's fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "core/ByteIO.h"
#include "core/DateTime.h"
#include "core/Encoding.h"

namespace pdb {

// A currency amount held exactly as a 64-bit count of ten-thousandths (12.5 is 125000): a
// double keeps only 53 bits of it.
struct TPDBCurrency {
  std::int64_t tenThousandths = 0;
  bool operator==(const TPDBCurrency&) const = default;
};
inline constexpr std::int64_t kPDBCurrencyScale = 10000;

// The value of a field. Integers of every width are held as int64; a setter stores the value
// with its own type and the record codec converts it to the field's type when it encodes.
using TPDBValue = std::variant<bool, std::int64_t, double, core::TDateTime, std::string, TPDBCurrency>;

// Conversions between the kinds a value can hold. A text that is no number or date fails with
// core::EConvertError; a boolean is -1 (all bits set) as a number.
std::int64_t ValueToInt64(const TPDBValue& value);
double ValueToDouble(const TPDBValue& value);
core::TDateTime ValueToDateTime(const TPDBValue& value);
bool ValueToBoolean(const TPDBValue& value);
// Integers in decimal, floats in general format with ",", dates as "dd/mm/yyyy[ hh:nn]",
// booleans "True"/"False", currency amounts with every decimal they have ("-12,5").
std::string ValueToString(const TPDBValue& value);

class TPDBBaseField {
 public:
  TPDBBaseField() = default;
  virtual ~TPDBBaseField() = default;
  TPDBBaseField(const TPDBBaseField&) = delete;
  TPDBBaseField& operator=(const TPDBBaseField&) = delete;

  const std::string& FieldName() const { return fieldName_; }
  void SetFieldName(std::string name) { fieldName_ = std::move(name); }
  // FieldName, or the item's class name while it is empty.
  std::string DisplayName() const { return fieldName_.empty() ? std::string(DefaultDisplayName()) : fieldName_; }

  const TPDBValue& Value() const { return value_; }
  void SetValue(TPDBValue value) { value_ = std::move(value); }

  // Bytes the field takes in a record; 0 means variable length.
  std::int32_t Size() const { return size_; }

  // Bytes owned by the field: a binary field's data, otherwise the field's bytes of the last
  // decoded record.
  const core::Bytes& Raw() const { return raw_; }
  void SetRaw(core::Bytes bytes) { raw_ = std::move(bytes); }
  // The same as SetRaw / SetValue(std::string(text)), reusing the buffers the field already
  // has: decoding a record this way allocates nothing once the buffers are large enough.
  void AssignRaw(core::ByteSpan bytes, std::size_t trailingZeros = 0) {
    raw_.assign(bytes.begin(), bytes.end());
    raw_.resize(bytes.size() + trailingZeros, 0);
  }
  void AssignText(std::string_view text) {
    if (auto* held = std::get_if<std::string>(&value_))
      held->assign(text);
    else
      value_ = std::string(text);
  }
  void ClearRaw() { raw_.clear(); raw_.shrink_to_fit(); }

 protected:
  virtual std::string_view DefaultDisplayName() const { return "TPDBBaseField"; }
  void StoreSize(std::int32_t size) { size_ = size; }

 private:
  std::string fieldName_;
  TPDBValue value_{std::int64_t{0}};
  std::int32_t size_ = 0;
  core::Bytes raw_;
};

// The ordered field list of an engine or a data set; it owns its items. Items stay where they
// are in memory while others are added, so references to them remain valid until removed.
template <class Field>
class TPDBFieldCollection {
 public:
  Field& Add() {
    items_.push_back(std::make_unique<Field>());
    return *items_.back();
  }
  std::size_t Count() const { return items_.size(); }
  bool Empty() const { return items_.empty(); }
  Field& Items(std::size_t index) { return *items_.at(index); }
  const Field& Items(std::size_t index) const { return *items_.at(index); }
  Field& operator[](std::size_t index) { return Items(index); }
  const Field& operator[](std::size_t index) const { return Items(index); }
  void Delete(std::size_t index) { items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index)); }
  void Clear() { items_.clear(); }
  // The field whose name matches without regard to letter case, or null.
  Field* FindField(std::string_view name) {
    for (const auto& item : items_)
      if (core::AnsiSameText(item->FieldName(), name)) return item.get();
    return nullptr;
  }
  const Field* FindField(std::string_view name) const { return const_cast<TPDBFieldCollection*>(this)->FindField(name); }

  auto begin() { return Iterator{items_.begin()}; }
  auto end() { return Iterator{items_.end()}; }
  auto begin() const { return ConstIterator{items_.begin()}; }
  auto end() const { return ConstIterator{items_.end()}; }

 private:
  using Storage = std::vector<std::unique_ptr<Field>>;
  // Iterators that yield the items themselves rather than their owning pointers.
  template <class Base, class Ref>
  struct ItemIterator {
    Base it;
    Ref operator*() const { return **it; }
    ItemIterator& operator++() { ++it; return *this; }
    bool operator==(const ItemIterator& other) const { return it == other.it; }
  };
  using Iterator = ItemIterator<typename Storage::iterator, Field&>;
  using ConstIterator = ItemIterator<typename Storage::const_iterator, const Field&>;

  Storage items_;
};

// Reads a zero-terminated text at the reader's position into the field (its raw bytes keep the
// terminator) and moves past the zero; a text with no zero before the end is a short read.
void DecodeZeroTerminatedText(TPDBBaseField& field, core::BigEndianReader& in);
// The text a zero-terminated field stores: up to the value's first zero byte, which would
// otherwise end the field early and shift every field after it.
std::string ZeroTerminatedText(const TPDBValue& value);
// A date-time value to encode; day numbers beyond any calendar cannot be split into parts and
// fail with core::EConvertError.
core::TDateTime CalendarDateTime(const TPDBValue& value);

}  // namespace pdb
