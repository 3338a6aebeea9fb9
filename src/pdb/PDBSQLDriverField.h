// A field of the SQLDriver record layout: its data type and size (strings count characters),
// the typed accessors with their type rules, and the collection of such fields.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "core/Reporter.h"
#include "pdb/PDBBaseField.h"
#include "pdb/PDBDataGlobals.h"

namespace pdb {

inline constexpr std::int32_t kSQLDriverMaxCharSize = 65505;
inline constexpr std::int32_t kSQLDriverDefaultCharSize = 2;

class TPDBSQLDriverField : public TPDBBaseField {
 public:
  // A new field is a string of 2 characters.
  TPDBSQLDriverField();

  TPDBSQLDriverFieldType DataType() const { return dataType_; }
  // Frees the raw buffer, stores the type's Size and resets the value.
  void SetDataType(TPDBSQLDriverFieldType type);
  // Only PDChar fields take a size, in characters; other types ignore it. A value of 0 or less
  // or above 65505 gives 2; an odd value gives 2 and shows "Tamanho da String deve ser PAR!"
  // through the reporter, when there is one.
  void SetSize(std::int32_t size);
  // Copies FieldName, DataType, value and Size.
  void Assign(const TPDBSQLDriverField& source);
  // Where the odd-size message goes; null (the default) shows nothing. Not owned.
  void SetReporter(core::Reporter* reporter) { reporter_ = reporter; }

  // Typed accessors. A getter or setter used on a type it is not defined for fails with
  // EPDBException (code 1) and leaves the value unchanged.
  std::string AsString() const;  // PDChar only
  void SetAsString(std::string value);  // any type
  std::int16_t AsShort() const;
  void SetAsShort(std::int16_t value);
  std::int32_t AsInt() const;
  void SetAsInt(std::int32_t value);
  std::int64_t AsLong() const;
  void SetAsLong(std::int64_t value);
  float AsFloat() const;
  void SetAsFloat(float value);
  double AsDouble() const;
  void SetAsDouble(double value);

 protected:
  std::string_view DefaultDisplayName() const override { return "TPDBSQLDriverField"; }

 private:
  void Require(std::initializer_list<TPDBSQLDriverFieldType> allowed, int messageId) const;

  TPDBSQLDriverFieldType dataType_ = PDChar;
  core::Reporter* reporter_ = nullptr;
};

// The SQLDriver field list of an engine or a data set. A new item is a PDChar of 2 characters
// and reports through the collection's reporter.
class TPDBSQLDriverFields : public TPDBFieldCollection<TPDBSQLDriverField> {
 public:
  TPDBSQLDriverField& Add() {
    auto& field = TPDBFieldCollection<TPDBSQLDriverField>::Add();
    field.SetReporter(reporter_);
    return field;
  }
  // Sets the reporter of the collection and of every field in it. Not owned.
  void SetReporter(core::Reporter* reporter) {
    reporter_ = reporter;
    for (auto& field : *this) field.SetReporter(reporter);
  }
  core::Reporter* Reporter() const { return reporter_; }

 private:
  core::Reporter* reporter_ = nullptr;
};

}  // namespace pdb
