// The NSBasic record engine: a record is its fields' forms laid end to end in the order of
// Fields, with no header, padding or separators; the field list must match the database.
#pragma once

#include <cstddef>

#include "pdb/PDBBaseMgr.h"
#include "pdb/PDBNSBField.h"

namespace pdb {

class TPDBNSBasic : public TPDBBaseMgr {
 public:
  TPDBNSBasic() = default;
  // Closes the database first if it is open (so a database being created is written).
  ~TPDBNSBasic() override;

  TPDBNSBFields& Fields() { return fields_; }
  const TPDBNSBFields& Fields() const { return fields_; }

  // Starts a new record: the database must be open for writing (61030, 61040) and have fields
  // (61050).
  void BeginAppend();

 protected:
  std::size_t CalcRecordSize() override;
  void EncodeRecord() override;
  // Fails with 61020 when the record does not hold every field in full.
  void DecodeRecord() override;
  void ClearFieldValues() override;

 private:
  TPDBNSBFields fields_;
};

// The record forms of single values, shared with tests and tools.
namespace nsb {
// (year - 1900) * 10000 + month * 100 + day (negative before 1900); the empty date (0) is
// stored as 0.
double EncodeDate(core::TDateTime value);
// 0, and any number that names no calendar date, give the empty date.
core::TDateTime DecodeDate(double stored);
// hour * 10000 + minute * 100 + second.
double EncodeTime(core::TDateTime value);
// Fails with core::EConvertError "Invalid argument to time encode" when the number names no
// time of day.
core::TDateTime DecodeTime(double stored);
}  // namespace nsb

}  // namespace pdb
