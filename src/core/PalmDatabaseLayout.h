// The Palm database file as both Palm database libraries read and write it: the 78-byte header,
// the 8-byte record-list entry, the category block that may open the AppInfo block, and the
// layout of a file to write (header, record list, AppInfo, SortInfo, record data).
//
// PalmDatabaseHeader keeps the values as stored (dates as raw seconds); PalmHeaderValues is the
// form a database holds them in. Which values a library writes is its own choice.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/ByteIO.h"
#include "core/DateTime.h"

namespace core {

inline constexpr std::size_t kPalmHeaderSize = 78;
inline constexpr std::size_t kPalmNameSize = 32;  // the name field, zero-padded
inline constexpr std::size_t kPalmMaxNameLength = kPalmNameSize - 1;
inline constexpr std::size_t kPalmRecordEntrySize = 8;
inline constexpr std::size_t kPalmRecordListGap = 2;  // zero bytes after the record list
// The record count is 16 bits: a database holds at most this many records.
inline constexpr std::uint16_t kPalmMaxRecords = 65535;

// Record attribute flags as held in memory (the high nibble of an entry's attribute byte).
inline constexpr std::uint8_t kPalmRecordDelete = 0x8;
inline constexpr std::uint8_t kPalmRecordDirty = 0x4;
inline constexpr std::uint8_t kPalmRecordBusy = 0x2;
inline constexpr std::uint8_t kPalmRecordSecret = 0x1;

inline constexpr std::size_t kPalmCategoryCount = 16;
inline constexpr std::size_t kPalmCategoryNameSize = 16;  // each name, zero-padded
inline constexpr std::size_t kPalmCategoryBlockSize = 276;
using PalmCategoryNames = std::array<std::string, kPalmCategoryCount>;
using PalmCategoryIDs = std::array<std::uint8_t, kPalmCategoryCount + 1>;  // 16 IDs, then the last ID

struct PalmDatabaseHeader {
  std::string Name;  // up to its first zero byte; cut to kPalmMaxNameLength when written
  std::uint16_t Attributes = 0;
  std::uint16_t Version = 0;
  std::uint32_t CreationSeconds = 0;
  std::uint32_t ModificationSeconds = 0;
  std::uint32_t BackupSeconds = 0;
  std::uint32_t ModificationNumber = 0;
  std::uint32_t AppInfoOffset = 0;
  std::uint32_t SortInfoOffset = 0;
  std::string Type;     // four bytes as they are
  std::string Creator;  // four bytes as they are
  std::uint32_t UniqueIDSeed = 0;
  std::uint32_t NextRecordListID = 0;
  std::uint16_t RecordCount = 0;

  // ShortReadError when fewer than kPalmHeaderSize bytes remain.
  static PalmDatabaseHeader Read(BigEndianReader& in);
  // Exactly kPalmHeaderSize bytes; type and creator are cut or zero-padded to four bytes.
  void Write(BigEndianWriter& out) const;
};

struct PalmRecordEntry {
  std::uint32_t Offset = 0;
  std::uint8_t Attributes = 0;  // attribute bits (high nibble) and category (low nibble)
  std::uint32_t UniqueID = 0;   // 24 bits

  static PalmRecordEntry Read(BigEndianReader& in);
  void Write(BigEndianWriter& out) const;
};

// The standard category block at the start of AppInfo: a bit mask of renamed categories (written
// 0), 16 names, 16 unique IDs, the last unique ID and a padding byte.
struct PalmCategoryBlock {
  PalmCategoryNames Names;  // each written cut or zero-padded to kPalmCategoryNameSize bytes
  PalmCategoryIDs IDs{};

  // The block of a new database: 16 empty names, IDs 0..15, last unique ID 15.
  static PalmCategoryBlock Fresh();
  // ShortReadError when fewer than kPalmCategoryBlockSize - 1 bytes remain (the padding may be
  // missing). A name ends at its first zero byte.
  static PalmCategoryBlock Read(BigEndianReader& in);
  // Exactly kPalmCategoryBlockSize bytes.
  void Write(BigEndianWriter& out) const;
};

// The header values as a database holds them: the dates as date-times, the rest as stored.
struct PalmHeaderValues {
  std::string Name;
  std::uint16_t Attributes = 0;
  std::uint16_t Version = 0;
  TDateTime CreationDate;
  TDateTime ModificationDate;
  TDateTime BackupDate;
  std::uint32_t ModificationNumber = 0;
  std::uint32_t AppInfoOffset = 0;
  std::uint32_t SortInfoOffset = 0;
  std::string Type;
  std::string Creator;
  std::uint32_t UniqueIDSeed = 0;
  std::uint32_t NextRecordListID = 0;

  // The values of a header read from a file; the dates decoded with the standard time-zone bias.
  static PalmHeaderValues FromHeader(const PalmDatabaseHeader& header);
  // The header to write: the creation date, or the current time when it is earlier than
  // 01/01/1990 (or was never set); the modification date when set, else the creation date's
  // seconds; the backup date when set, else 0; the next record list ID 0. Offsets and record
  // count are the file head's.
  PalmDatabaseHeader HeaderToWrite() const;
};

// A record as the record list of a file to write shows it.
struct PalmRecordToWrite {
  std::uint8_t Flags = 0;      // kPalmRecord* bits, written in the high nibble; the category is 0
  std::uint32_t UniqueID = 0;  // 24 bits are written
  std::uint64_t Size = 0;      // bytes of its data in the file
  bool WithoutData = false;    // listed with offset 0; its data are not written
};

// Everything of a file to write that comes before the record data.
struct PalmFileHead {
  PalmDatabaseHeader Header;  // its offsets and record count are set by Build
  std::optional<PalmCategoryBlock> Categories;  // when set, it opens the AppInfo block
  ByteSpan AppInfo;           // the AppInfo bytes after the category block
  ByteSpan SortInfo;
  std::vector<PalmRecordToWrite> Records;  // in file order

  // Header, record list and its gap, AppInfo block, SortInfo block. A block without bytes is
  // left out (offset 0). The record data follow in list order, with no padding between them.
  // Throws std::length_error when the file would pass 4 GiB.
  Bytes Build() const;
  // The size Build gives with a record list of `recordCount` records (Records not counted).
  std::uint64_t SizeFor(std::uint64_t recordCount) const;
};

}  // namespace core
