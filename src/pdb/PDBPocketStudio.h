// The PocketStudio record engine: a record is its fields' encodings one after another, in the
// order of Fields, with no header, count, tags or padding.
#pragma once

#include <algorithm>
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
// The same, handing `use(raw, rawZeros, value)` the value in its own type (bool, std::int64_t,
// double, core::TDateTime or std::string_view; a PSBinary gives 0) and returning what it
// returns: a decoder that stores each field of every record straight where it goes builds no
// FieldReading per field.
template <class Use>
decltype(auto) ReadFieldWith(TPDBPSFieldType type, std::size_t size, core::BigEndianReader& in, Use&& use);

// Date word: bits 15..9 year - 1904, 8..5 month, 4..0 day; 0 before 1904.
std::uint16_t EncodeDate(core::TDateTime value);
// No date (0) when the day or month is 0 or the word names no calendar date.
core::TDateTime DecodeDate(std::uint16_t word);
// hour * 256 + minute.
std::uint16_t EncodeTime(core::TDateTime value);
// Fails with core::EConvertError "Invalid argument to time encode" on an hour above 23 or a
// minute above 59.
core::TDateTime DecodeTime(std::uint16_t word);

template <class Use>
decltype(auto) ReadFieldWith(TPDBPSFieldType type, std::size_t size, core::BigEndianReader& in, Use&& use) {
  if (type == PSBinary) {
    const std::uint16_t length = in.U16();
    return use(in.Take(length), std::size_t{0}, std::int64_t{0});
  }
  if (type == PSString) {
    if (size > 0) {
      const auto bytes = in.Take(size);
      in.Skip(1);  // the terminator
      // The raw buffer holds the fixed bytes and a zero, whatever the record had there.
      const auto length = static_cast<std::size_t>(std::find(bytes.begin(), bytes.end(), std::uint8_t{0}) - bytes.begin());
      return use(bytes, std::size_t{1}, core::AsText(bytes.first(length)));
    }
    const std::size_t start = in.Position();
    const auto rest = in.Take(in.Remaining());
    const auto length = static_cast<std::size_t>(std::find(rest.begin(), rest.end(), std::uint8_t{0}) - rest.begin());
    if (length == rest.size()) throw core::ShortReadError();  // no terminator before the end
    in.Seek(start + length + 1);
    return use(rest.first(length + 1), std::size_t{0}, core::AsText(rest.first(length)));
  }
  // The value is read from the bytes the raw buffer takes.
  const core::ByteSpan raw = in.Take(size);
  core::BigEndianReader value(raw);
  switch (type) {
    case PSBoolean: return use(raw, std::size_t{0}, value.U8() != 0);
    case PSInt8: return use(raw, std::size_t{0}, std::int64_t{value.I8()});
    case PSInt16: return use(raw, std::size_t{0}, std::int64_t{value.I16()});
    case PSInt32: return use(raw, std::size_t{0}, std::int64_t{value.I32()});
    case PSUInt8: return use(raw, std::size_t{0}, std::int64_t{value.U8()});
    case PSUInt16: return use(raw, std::size_t{0}, std::int64_t{value.U16()});
    case PSUInt32: return use(raw, std::size_t{0}, static_cast<double>(value.U32()));
    case PSDate: return use(raw, std::size_t{0}, DecodeDate(value.U16()));
    case PSTime: return use(raw, std::size_t{0}, DecodeTime(value.U16()));
    case PSDateTime: return use(raw, std::size_t{0}, core::TDateTime::FromPalmSeconds(value.U32()));
    case PSSingle: return use(raw, std::size_t{0}, static_cast<double>(value.F32()));
    case PSDouble: return use(raw, std::size_t{0}, value.F64());
    case PSString:
    case PSBinary: break;  // handled above
  }
  return use(raw, std::size_t{0}, std::int64_t{0});
}

}  // namespace ps

}  // namespace pdb
