// The Java record engine: records laid out field after field with big-endian numbers, strings
// with a 16-bit length prefix and dates as milliseconds since 1970. On the handheld the database
// name carries the creator ID as a suffix, and the AppInfo block holds the name in 16-bit
// characters.
#pragma once

#include <cstddef>
#include <string_view>

#include "pdb/PDBBaseMgr.h"
#include "pdb/PDBJavaField.h"

namespace pdb {

// The longest text a JString field can hold: its length is a 16-bit number.
inline constexpr std::size_t kJavaMaxStringLength = 65535;

class TPDBJava : public TPDBBaseMgr {
 public:
  TPDBJava() = default;
  // Closes the database first if it is open (so a database being created is written).
  ~TPDBJava() override;

  TPDBJavaFields& Fields() { return fields_; }
  const TPDBJavaFields& Fields() const { return fields_; }

  // Starts a new record: the database must be open for writing (52030, 52040) and have fields
  // (52050).
  void BeginAppend();

 protected:
  // Cuts "-<creator ID>" and what follows from the name read from the header.
  void AfterReadHeader() override;
  // The header takes the trimmed name; the AppInfo block the untrimmed one in 16-bit characters.
  void BeforeCloseWrite() override;
  bool ChangesHeadOnClose() const override { return true; }

  std::size_t CalcRecordSize() override;
  // Fails with 52060 (code 4) when a string is longer than 65535 bytes.
  void EncodeRecord() override;
  // Fails with 52020 when the record does not hold every field in full.
  void DecodeRecord() override;
  void ClearFieldValues() override;

 private:
  TPDBJavaFields fields_;
};

// The record forms of single values, shared with tests and tools.
namespace java {
// Milliseconds since 1970 with the value's milliseconds dropped; the empty date (0) is 0.
// Fails with core::EConvertError for a value beyond the calendar.
std::int64_t EncodeDate(core::TDateTime value);
// 0 gives the empty date; milliseconds are dropped.
core::TDateTime DecodeDate(std::int64_t milliseconds);
// The name as 16-bit big-endian characters, one per byte.
core::Bytes NameAsChars(std::string_view name);
}  // namespace java

}  // namespace pdb
