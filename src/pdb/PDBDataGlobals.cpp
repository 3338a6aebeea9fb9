#include "pdb/PDBDataGlobals.h"

#include <cstring>


namespace pdb {

const char* PSFieldTypeName(TPDBPSFieldType type) {
  static constexpr const char* kNames[] = {"PSBoolean", "PSInt8",     "PSInt16",  "PSInt32", "PSUInt8",
                                           "PSUInt16",  "PSUInt32",   "PSDate",   "PSTime",  "PSDateTime",
                                           "PSString",  "PSSingle",   "PSDouble", "PSBinary"};
  return type <= PSBinary ? kNames[type] : "?";
}

// Record codecs read and write through core::BigEndianReader/Writer; these swaps remain for code
// that holds a number in the other byte order already.
std::uint16_t Swap16(std::uint16_t value) { return static_cast<std::uint16_t>((value >> 8) | (value << 8)); }

std::uint32_t Swap32(std::uint32_t value) {
  return (value >> 24) | ((value >> 8) & 0x0000FF00u) | ((value << 8) & 0x00FF0000u) | (value << 24);
}

std::uint64_t Swap64(std::uint64_t value) {
  return (std::uint64_t{Swap32(static_cast<std::uint32_t>(value))} << 32) | Swap32(static_cast<std::uint32_t>(value >> 32));
}

float SwapSingle(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, 4);
  bits = Swap32(bits);
  float result;
  std::memcpy(&result, &bits, 4);
  return result;
}

double SwapDouble(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, 8);
  bits = Swap64(bits);
  double result;
  std::memcpy(&result, &bits, 8);
  return result;
}

std::string LoadPDBMessage(const core::MessageTable& table, int id) { return table.Load(id); }

void RaisePDBError(const core::MessageTable& table, int id, std::uint16_t errorCode) {
  throw EPDBException(LoadPDBMessage(table, id), errorCode);
}

void RaisePDBError(const core::MessageTable& table, int id, std::uint16_t errorCode, std::string_view context) {
  throw EPDBException(core::WithContext(LoadPDBMessage(table, id), context), errorCode);
}

}  // namespace pdb
