// The AppForge record engine: records laid out field after field like the NSBasic ones, and a
// self-describing AppInfo block (tagged "APPFORG2") that carries the database name and the field
// names and types, so that opening a database rebuilds Fields by itself.
#pragma once

#include <cstddef>
#include <string>

#include "pdb/PDBBaseMgr.h"
#include "pdb/PDBAFField.h"

namespace pdb {

// Layout of the AppForge AppInfo block (offsets from its start).
inline constexpr std::size_t kAFTagOffset = 276;         // after the standard category block
inline constexpr std::size_t kAFDescriptorOffset = 300;  // first field descriptor
inline constexpr std::size_t kAFDescriptorSize = 6;

class TPDBAppForge : public TPDBBaseMgr {
 public:
  TPDBAppForge() = default;
  // Closes the database first if it is open (so a database being created is written).
  ~TPDBAppForge() override;

  TPDBAFFields& Fields() { return fields_; }
  const TPDBAFFields& Fields() const { return fields_; }

  // Starts a new record: the database must be open for writing (57030, 57040) and have fields
  // (57050).
  void BeginAppend();

  // The AppInfo block for a database name, the current categories and the given fields.
  // Fails with 57070 when the names do not fit the block's 16-bit offsets.
  core::Bytes BuildAppInfoBlock(const std::string& databaseName) const;

  // Fails with 57020 (code 1), the field's name and both types on a second line, unless the
  // field as the file stores it can be read as `wanted` (AFTypeHolds).
  static void CheckStoredType(const TPDBAFField& field, TPDBAFFieldType wanted);

 protected:
  // Reads the categories, the database name and the field list from the AppInfo block; a block
  // that is not an AppForge one, or too short for what it names, fails with 57060.
  void AfterOpen() override;
  // The header takes the file's base name; the AppInfo block carries the database name.
  void BeforeCloseWrite() override;
  bool ChangesHeadOnClose() const override { return true; }

  std::size_t CalcRecordSize() override;
  void EncodeRecord() override;
  // Fails with 57020 when the record does not hold every field in full.
  void DecodeRecord() override;
  void ClearFieldValues() override;

 private:
  TPDBAFFields fields_;
};

}  // namespace pdb
