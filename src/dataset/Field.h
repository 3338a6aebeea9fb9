#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/DateTime.h"
#include "dataset/FieldDefs.h"
#include "dataset/RecordBuffer.h"
#include "dataset/RecordLayout.h"

namespace dataset {

class TDataSet;
class TMemBlobStream;

// A field object: one per field definition, built when the data set opens and freed when it
// closes (references to it are valid only while the data set stays open).
//
// Reading: a null field reads as "" (AsString), 0 (AsInteger, AsLargeInt, AsFloat), no date
// (AsDateTime) and false (AsBoolean); for string and blob fields the null value is the empty
// text, which the numeric and date readers refuse like any other text that does not convert
// (core::EConvertError). So does an integer reading of a number outside the integer's range.
// Writing: only in edit or insert state ("Dataset not in edit or insert mode") and not on a
// read-only field ("Field '%s' cannot be modified"). Writing an empty text to a non-string
// field clears it. Booleans and date-times do not convert into each other ("Cannot access
// field '%s' as type %s").
class TField {
 public:
  TField(TDataSet& dataSet, int index, const TFieldDef& def, const TFieldSlot& slot);

  const std::string& FieldName() const { return name_; }
  // The name used in messages (the field name).
  const std::string& DisplayName() const { return name_; }
  TFieldType DataType() const { return slot_.Type; }
  int Size() const { return size_; }
  int Index() const { return index_; }
  TDataSet& DataSet() const { return *dataSet_; }
  // A read-only field refuses every write.
  bool ReadOnly = false;

  bool IsNull() const;
  void Clear();

  std::string AsString() const;
  // The text of a string field as the record holds it, without a copy (valid until the record
  // changes); nothing for a field of another kind, whose text AsString converts.
  std::optional<std::string_view> TextView() const;
  void AsString(std::string_view value);
  std::int32_t AsInteger() const;
  void AsInteger(std::int32_t value);
  std::int64_t AsLargeInt() const;
  void AsLargeInt(std::int64_t value);
  double AsFloat() const;
  void AsFloat(double value);
  core::TDateTime AsDateTime() const;
  void AsDateTime(core::TDateTime value);
  bool AsBoolean() const;
  void AsBoolean(bool value);

 private:
  friend class TDataSet;
  friend class TMemBlobStream;
  const TRecordBuffer* Record() const;
  TRecordBuffer& WriteTarget();
  void Changed();
  [[noreturn]] void AccessError(const char* typeName) const;

  TDataSet* dataSet_;
  int index_;
  std::string name_;
  int size_;
  TFieldSlot slot_;
};

}  // namespace dataset
