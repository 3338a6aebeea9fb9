// What the packer and the unpacker share: the container's constants, its result codes and the
// packed database header.
//
// A container is a Palm database whose records, read one after the other, form one byte stream.
// For each packed database the stream holds a marker, a 66-byte header, a block with the AppInfo
// bytes and one with the SortInfo bytes when there are any, then blocks of record entries. A
// block is a 4-byte length followed by that many bytes of a zlib stream.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/ByteIO.h"
#include "core/DateTime.h"

namespace sya {

// The 16 bytes (no terminator) that begin every packed database in the stream.
inline constexpr std::string_view kDatabaseMarker = "#SyncAnywhereDB#";
inline constexpr std::size_t kPackedHeaderSize = 66;
// Marker and header together.
inline constexpr std::size_t kDatabaseLeadSize = kDatabaseMarker.size() + kPackedHeaderSize;
// A block starts with its compressed length.
inline constexpr std::size_t kBlockLengthSize = 4;
// A record entry starts with the attribute word and the data size.
inline constexpr std::size_t kEntryHeadSize = 4;

// The largest uncompressed block, the largest record of a packed database and the largest
// AppInfo or SortInfo block that can be packed.
inline constexpr std::size_t MaxBlockSize = 30000;
// The range of the maximum container record size.
inline constexpr std::size_t kMinContainerRecordSize = 50;
inline constexpr std::size_t kMaxContainerRecordSize = 30000;
// A container that already has more records than this takes no further database.
inline constexpr std::size_t kContainerRecordsBeforePack = 65000;
// Type of the container database.
inline constexpr std::string_view kContainerType = "PKDT";

// Optional record trailer: 4 checksum bytes (bytes 12..15 of the MD5 digest of the record's
// bytes before the trailer), then this 6-byte tag. The trailer is no part of the stream.
inline constexpr std::string_view kChecksumTag = "#CSUM#";
inline constexpr std::size_t kChecksumTrailerSize = 10;

// Result codes of the pack and unpack calls.
enum SyaResult : int {
  syaOK = 0,
  syaOutputDirNotCreated = 1001,     // unpack: the output directory cannot be created
  syaDirectoryMissing = 1002,        // the source directory / container folder does not exist
  syaFileMissing = 1003,             // the source database / container file does not exist
  syaCannotOpen = 1004,              // a database cannot be opened or a record cannot be read
  syaContainerEmpty = 1005,          // unpack: the container has no records
  syaNoMarker = 1006,                // unpack: the stream does not begin with the marker
  syaNoBuffer = 1007,                // a work buffer cannot be had
  syaNextFailed = 1008,              // moving to the next record failed
  syaBadRecordSize = 1009,           // pack: the maximum record size is outside 50..30000
  syaContainerNotActive = 1010,      // pack: the container database is not open
  syaContainerNotWritable = 1011,    // pack: the container database is not open for writing
  syaContainerFull = 1012,           // pack: the container has or would reach too many records
  syaRecordTooLarge = 1013,          // pack: a source record is larger than MaxBlockSize
  syaNoCompressedOutput = 1014,      // pack: compression gave no output
  syaAppInfoMissing = 1015,          // pack: announced AppInfo block not delivered
  syaSortInfoMissing = 1016,         // pack: announced SortInfo block not delivered
  syaAppInfoTooLarge = 1017,         // pack: AppInfo larger than MaxBlockSize
  syaSortInfoTooLarge = 1019,        // pack: SortInfo larger than MaxBlockSize
  syaAlreadyPacking = 1020,          // SyaBeginPack while a container is open
  syaNotPacking = 1021,              // SyaPackDatabase / SyaEndPack without an open container
  syaChecksumMismatch = 1024,        // unpack: empty container record or wrong checksum
  syaStreamTruncated = 1028,         // unpack: directory count differs, or a block runs past the end
  syaUnsafeDatabaseName = 1029,      // unpack: a database name that is no plain file name
                                     //   (empty, ".", "..", or holding "/" or "\")
  syaStreamMalformed = 1030,         // unpack: bytes that are neither a marker nor an announced
                                     //   block, a record or block larger than the unpacker's
                                     //   buffers, entries running past their block, or a
                                     //   database name that comes twice (in any letter case)
  syaWouldReplaceContainer = 1031,   // unpack: a database would be written over the container
                                     //   being read
};

// Seconds since 1904-01-01 00:00 of a date-time, local time as it is held, milliseconds dropped.
// A date before 1904 (including no date, 0) gives 0, which a header reader takes as no date.
std::uint32_t PalmSecondsFromDate(core::TDateTime date);

// The header of one packed database in the stream.
struct TPackedHeader {
  std::string name;                 // up to 32 bytes, no zero byte
  std::array<char, 4> creator{};
  std::array<char, 4> type{};
  std::uint16_t attributes = 0;
  std::uint16_t version = 0;
  std::uint32_t creationDate = 0;   // Palm seconds
  std::uint32_t modificationDate = 0;
  std::uint32_t reserved52 = 0;     // written 0
  std::uint32_t reserved56 = 0;     // written 0
  std::uint16_t appInfoSize = 0;
  std::uint16_t sortInfoSize = 0;
  std::uint16_t recordCount = 0;

  // Appends the 66 bytes.
  void Encode(core::Bytes& out) const;
  // Reads 66 bytes; the caller has checked that they are there.
  static TPackedHeader Decode(core::ByteSpan bytes);

  // A header announcing nothing after itself.
  bool AnnouncesNothing() const { return appInfoSize == 0 && sortInfoSize == 0 && recordCount == 0; }
};

}  // namespace sya
