// How the conversions reach the fields of a data set (a handheld database or an ODBC query).
//
// Every conversion names the fields it reads or writes once, in a column table (like the field
// lists of HandheldDatabases.h), and reaches each field through its position in that table. A
// field is looked up by name the first time a record needs it and kept for the next records, so
// a table without records asks for none. One FieldColumns belongs to one data set opened on one
// table: a data set opened again gets a new FieldColumns.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "dataset/DataSet.h"

namespace convert {

// The position of the row whose `key` is `name` in a column table, found while compiling: a
// name the table does not hold fails the build.
template <class Row, std::size_t N>
consteval std::size_t PositionOf(const std::array<Row, N>& table, std::string_view Row::*key, std::string_view name) {
  for (std::size_t i = 0; i < N; ++i)
    if (table[i].*key == name) return i;
  throw "the column table has no such name";
}

class FieldColumns {
 public:
  // The fields named by `key` of each row of `table`, in table order.
  template <class Row>
  FieldColumns(dataset::TDataSet& dataSet, std::span<const Row> table, std::string_view Row::*key)
      : dataSet_(dataSet), fields_(table.size()) {
    names_.reserve(table.size());
    for (const Row& row : table) names_.push_back(row.*key);
  }
  FieldColumns(const FieldColumns&) = delete;
  FieldColumns& operator=(const FieldColumns&) = delete;

  // The field at `position` of the table; a data set without it raises (FieldByName).
  dataset::TField& operator[](std::size_t position) {
    std::optional<dataset::TField*>& field = fields_.at(position);
    if (!field) field = &dataSet_.FieldByName(names_[position]);
    return **field;
  }
  // The field at `position`, or nothing when the data set has none of that name.
  dataset::TField* Find(std::size_t position) {
    std::optional<dataset::TField*>& field = fields_.at(position);
    if (!field) field = dataSet_.FindField(names_[position]);
    return *field;
  }

 private:
  dataset::TDataSet& dataSet_;
  std::vector<std::string_view> names_;
  std::vector<std::optional<dataset::TField*>> fields_;  // unset until first looked up
};

// The kinds of value the conversions carry over from a field unchanged.
enum class ValueKind { Integer, Float, DateTime, Text };

// Sets `to` (a data set's field or a text column) to the value of `from`.
template <class Target>
void CopyValue(ValueKind kind, const dataset::TField& from, Target& to) {
  switch (kind) {
    case ValueKind::Integer:
      to.AsInteger(from.AsInteger());
      return;
    case ValueKind::Float:
      to.AsFloat(from.AsFloat());
      return;
    case ValueKind::DateTime:
      to.AsDateTime(from.AsDateTime());
      return;
    case ValueKind::Text:
      to.AsString(from.AsString());
      return;
  }
}

}  // namespace convert
