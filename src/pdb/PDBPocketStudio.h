// The PocketStudio record engine: a record is its fields' encodings one after another, in the
// order of Fields, with no header, count, tags or padding.
#pragma once

#include <cstddef>

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
