// The fixed parts of a Palm database file, read and written in one place for both Palm database
// libraries: the 78-byte header and the 8-byte record-list entry. Values are kept as stored
// (dates as raw seconds); what they mean and which ones a writer fills in is each library's own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/ByteIO.h"

namespace core {

inline constexpr std::size_t kPalmHeaderSize = 78;
inline constexpr std::size_t kPalmNameSize = 32;  // the name field, zero-padded
inline constexpr std::size_t kPalmMaxNameLength = kPalmNameSize - 1;
inline constexpr std::size_t kPalmRecordEntrySize = 8;

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

}  // namespace core
