// The SQLDriver record engine: every record starts with the row number "RowID" the engine
// assigns, strings are fixed arrays of 16-bit characters behind a length word, and the first
// record of the database is a schema record describing the fields (skipped on reading).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/Reporter.h"
#include "pdb/PDBBaseMgr.h"
#include "pdb/PDBSQLDriverField.h"

namespace pdb {

inline constexpr std::string_view kSQLDriverRowIDName = "RowID";

class TPDBSQLDriver : public TPDBBaseMgr {
 public:
  // Starts with one field, "RowID" of type PDInt; the caller adds its own fields after it.
  // The reporter (optional, not owned) shows the odd-size message of string fields.
  explicit TPDBSQLDriver(core::Reporter* reporter = nullptr);
  // Closes the database first if it is open (so a database being created is written).
  ~TPDBSQLDriver() override;

  TPDBSQLDriverFields& Fields() { return fields_; }
  const TPDBSQLDriverFields& Fields() const { return fields_; }
  void SetReporter(core::Reporter* reporter) { fields_.SetReporter(reporter); }

  // The field whose name matches without regard to letter case; 52500 (1) without fields,
  // 52510 (2) when there is no such field.
  TPDBSQLDriverField& FieldByName(std::string_view name);

  // Starts a new record: the database must be open for writing (52530, 52540) and have fields
  // (52550).
  void BeginAppend();

  // The schema record for the current fields and a count of data records.
  core::Bytes BuildSchemaRecord(std::uint32_t dataRecords) const;

 protected:
  // Record 0 of the file is the schema record: the data records are 1 .. count - 1.
  std::int32_t AdjustRecordCount(std::int32_t count) override { return count - 1; }
  std::int32_t FirstRecordIndex() override { return 1; }
  std::int32_t LastRecordIndex() override { return RecordCount(); }
  // Puts the schema record before the data records.
  void BeforeWriteDatabase() override;
  bool ChangesHeadOnClose() const override { return true; }
  // Numbers the record: RowID = RecordCount + 1.
  void BeforePost() override;

  std::size_t CalcRecordSize() override;
  void EncodeRecord() override;
  // Fails with 52520 when the record does not hold every field in full.
  void DecodeRecord() override;
  void ClearFieldValues() override;

 private:
  TPDBSQLDriverFields fields_;
};

// The hash of a field name as the schema record keeps it: h = h * 31 + byte over the bytes of
// the name in lower case (ASCII letters), from 0, in 32 bits.
std::uint32_t SQLDriverNameHash(std::string_view name);

}  // namespace pdb
