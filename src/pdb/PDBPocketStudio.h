// The PocketStudio record engine: a record is its fields' encodings one after another, in the
// order of Fields, with no header, count, tags or padding.
#pragma once

#include <cstddef>
#include <string_view>
#include <variant>

#include "pdb/PDBBaseMgr.h"
#include "pdb/PDBPSField.h"

namespace pdb {

class TPDBPocketStudio : public TPDBBaseMgr {
 public:
  TPDBPocketStudio() = default;
  // Closes the database first if it is open (so a database being created is written).
  ~TPDBPocketStudio() override;

  TPDBPSFields& Fields() { return fields_; }
  const TPDBPSFields& Fields() const { return fields_; }

  // Starts a new record: the database must be open for writing and have fields.
  void BeginAppend();

  // For an owner that decodes records itself (ps::ReadField): releases the file and fails with
  // 65020, as DecodeRecord does on a record that does not hold every field.
  [[noreturn]] void RefuseRecord();

 protected:
  std::size_t CalcRecordSize() override;
  void EncodeRecord() override;
  // Fails with 65020 (and releases the file) when the record does not hold every field.
  void DecodeRecord() override;
  void ClearFieldValues() override;

 private:
  TPDBPSFields fields_;
};

// The record encodings of single values, shared with tests and tools.
namespace ps {
// One field as read from a record: the bytes its raw buffer takes (followed by rawZeros zero
// bytes) and its value; a text views the record's bytes.
using FieldValue = std::variant<bool, std::int64_t, double, core::TDateTime, std::string_view>;
struct FieldReading {
  core::ByteSpan raw;
  std::size_t rawZeros = 0;
  FieldValue value;
};
// Reads one field of `type` (of `size` bytes, or a text of variable length for a PSString of size
// 0) at the reader's position and moves past it. A record too short for it raises
// core::ShortReadError; a PSTime that is no time of day core::EConvertError.
FieldReading ReadField(TPDBPSFieldType type, std::size_t size, core::BigEndianReader& in);

// Date word: bits 15..9 year - 1904, 8..5 month, 4..0 day; 0 before 1904.
std::uint16_t EncodeDate(core::TDateTime value);
// No date (0) when the day or month is 0 or the word names no calendar date.
core::TDateTime DecodeDate(std::uint16_t word);
// hour * 256 + minute.
std::uint16_t EncodeTime(core::TDateTime value);
// Fails with core::EConvertError "Invalid argument to time encode" on an hour above 23 or a
// minute above 59.
core::TDateTime DecodeTime(std::uint16_t word);
}  // namespace ps

}  // namespace pdb
