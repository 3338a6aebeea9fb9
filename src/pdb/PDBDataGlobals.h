// Shared enumerations, byte-order routines and message loading of the Palm database library.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "core/Messages.h"
#include "pdb/PDBDataException.h"

namespace pdb {

// How a database is used: read from an existing file, or collected in memory and written whole.
enum TOpenMode : std::uint8_t { dmModeReadOnly = 0, dmModeWriteOnly = 1 };

// The header attributes the library exposes (bits 1..6 of the attribute word).
enum TDBEnumFlags : std::uint8_t {
  dmHdrAttrReadOnly,
  dmHdrAttrAppInfoDirty,
  dmHdrAttrBackup,
  dmHdrAttrOKToInstallNewer,
  dmHdrAttrResetAfterInstall,
  dmHdrAttrCopyPrevention,
};

// A set of TDBEnumFlags.
class TDBFlags {
 public:
  constexpr TDBFlags() = default;
  constexpr TDBFlags(std::initializer_list<TDBEnumFlags> flags) {
    for (auto f : flags) Include(f);
  }
  constexpr void Include(TDBEnumFlags f) { bits_ = static_cast<std::uint8_t>(bits_ | Bit(f)); }
  constexpr void Exclude(TDBEnumFlags f) { bits_ = static_cast<std::uint8_t>(bits_ & ~Bit(f)); }
  constexpr bool Contains(TDBEnumFlags f) const { return (bits_ & Bit(f)) != 0; }
  constexpr bool Empty() const { return bits_ == 0; }
  friend constexpr bool operator==(TDBFlags, TDBFlags) = default;

  // The header attribute word of the set (dmHdrAttrReadOnly is 0x0002 ... CopyPrevention 0x0040)
  // and the set held in a word (bits outside 1..6 are not part of it).
  constexpr std::uint16_t ToAttributes() const { return static_cast<std::uint16_t>(bits_ << 1); }
  static constexpr TDBFlags FromAttributes(std::uint16_t word) {
    TDBFlags flags;
    flags.bits_ = static_cast<std::uint8_t>((word >> 1) & 0x3F);
    return flags;
  }

 private:
  static constexpr std::uint8_t Bit(TDBEnumFlags f) { return static_cast<std::uint8_t>(1u << f); }
  std::uint8_t bits_ = 0;
};

// The 16 category names of the standard AppInfo category block.
using TArrayCategories = std::array<std::string, 16>;
// 16 category unique IDs, then the last unique ID.
using TCategoryIDs = std::array<std::uint8_t, 17>;

// Data types of the PocketStudio record layout.
enum TPDBPSFieldType : std::uint8_t {
  PSBoolean,
  PSInt8,
  PSInt16,
  PSInt32,
  PSUInt8,
  PSUInt16,
  PSUInt32,
  PSDate,
  PSTime,
  PSDateTime,
  PSString,
  PSSingle,
  PSDouble,
  PSBinary,
};

// Data types of the NSBasic record layout.
enum TPDBNSBFieldType : std::uint8_t {
  NSBByte,
  NSBShort,
  NSBInteger,
  NSBFloat,
  NSBSingle,
  NSBDouble,
  NSBDate,
  NSBTime,
  NSBString,
};

// Data types of the AppForge record layout (the AppInfo block stores ordinal + 1).
enum TPDBAFFieldType : std::uint8_t {
  AFByte,
  AFInteger,
  AFLong,
  AFSingle,
  AFString,
  AFBoolean,
  AFDate,
  AFDouble,
  AFCurrency,
};

// Data types of the Java record layout.
enum TPDBJavaFieldType : std::uint8_t {
  JByte,
  JBoolean,
  JChar,
  JInt,
  JLong,
  JShort,
  JString,
  JDate,
};

// Data types of the SQLDriver record layout (the schema record stores the ordinal).
enum TPDBSQLDriverFieldType : std::uint8_t {
  PDChar,
  PDShort,
  PDInt,
  PDLong,
  PDFloat,
  PDDouble,
};

// The name of a PocketStudio type as it appears in messages ("PSInt8").
const char* PSFieldTypeName(TPDBPSFieldType type);

// Byte order: each reverses the bytes of its argument.
std::uint16_t Swap16(std::uint16_t value);
std::uint32_t Swap32(std::uint32_t value);
std::uint64_t Swap64(std::uint64_t value);
float SwapSingle(float value);
double SwapDouble(double value);

// The text of message `id` of a library table in the user's language.
std::string LoadPDBMessage(const core::MessageTable& table, int id);
// Raises EPDBException with message `id` of the table and the given code.
[[noreturn]] void RaisePDBError(const core::MessageTable& table, int id, std::uint16_t errorCode);
// The same with `context` (the file and the system's reason) on a second line.
[[noreturn]] void RaisePDBError(const core::MessageTable& table, int id, std::uint16_t errorCode,
                                std::string_view context);

}  // namespace pdb
