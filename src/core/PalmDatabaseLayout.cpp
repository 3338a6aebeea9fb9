#include "core/PalmDatabaseLayout.h"

#include <algorithm>

namespace core {

PalmDatabaseHeader PalmDatabaseHeader::Read(BigEndianReader& in) {
  if (!in.Has(kPalmHeaderSize)) throw ShortReadError();
  PalmDatabaseHeader h;
  const ByteSpan name = in.Take(kPalmNameSize);
  h.Name.assign(name.begin(), std::find(name.begin(), name.end(), std::uint8_t{0}));
  h.Attributes = in.U16();
  h.Version = in.U16();
  h.CreationSeconds = in.U32();
  h.ModificationSeconds = in.U32();
  h.BackupSeconds = in.U32();
  h.ModificationNumber = in.U32();
  h.AppInfoOffset = in.U32();
  h.SortInfoOffset = in.U32();
  h.Type = std::string(AsText(in.Take(4)));
  h.Creator = std::string(AsText(in.Take(4)));
  h.UniqueIDSeed = in.U32();
  h.NextRecordListID = in.U32();
  h.RecordCount = in.U16();
  return h;
}

void PalmDatabaseHeader::Write(BigEndianWriter& out) const {
  out.FixedText(std::string_view(Name).substr(0, kPalmMaxNameLength), kPalmNameSize);
  out.U16(Attributes);
  out.U16(Version);
  out.U32(CreationSeconds);
  out.U32(ModificationSeconds);
  out.U32(BackupSeconds);
  out.U32(ModificationNumber);
  out.U32(AppInfoOffset);
  out.U32(SortInfoOffset);
  out.FixedText(Type, 4);
  out.FixedText(Creator, 4);
  out.U32(UniqueIDSeed);
  out.U32(NextRecordListID);
  out.U16(RecordCount);
}

PalmRecordEntry PalmRecordEntry::Read(BigEndianReader& in) {
  PalmRecordEntry e;
  e.Offset = in.U32();
  e.Attributes = in.U8();
  e.UniqueID = std::uint32_t{in.U8()} << 16;
  e.UniqueID |= in.U16();
  return e;
}

void PalmRecordEntry::Write(BigEndianWriter& out) const {
  out.U32(Offset);
  out.U8(Attributes);
  out.U8(static_cast<std::uint8_t>(UniqueID >> 16));
  out.U16(static_cast<std::uint16_t>(UniqueID));
}

}  // namespace core
