#include "core/PalmDatabaseLayout.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

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

PalmCategoryBlock PalmCategoryBlock::Fresh() {
  PalmCategoryBlock block;
  for (std::size_t i = 0; i < kPalmCategoryCount; ++i) block.IDs[i] = static_cast<std::uint8_t>(i);
  block.IDs[kPalmCategoryCount] = kPalmCategoryCount - 1;
  return block;
}

PalmCategoryBlock PalmCategoryBlock::Read(BigEndianReader& in) {
  if (!in.Has(kPalmCategoryBlockSize - 1)) throw ShortReadError();
  PalmCategoryBlock block;
  in.Skip(2);  // bit mask of renamed categories
  for (auto& name : block.Names) {
    const ByteSpan bytes = in.Take(kPalmCategoryNameSize);
    name.assign(bytes.begin(), std::find(bytes.begin(), bytes.end(), std::uint8_t{0}));
  }
  const ByteSpan ids = in.Take(block.IDs.size());
  std::copy(ids.begin(), ids.end(), block.IDs.begin());
  return block;
}

void PalmCategoryBlock::Write(BigEndianWriter& out) const {
  out.U16(0);
  for (const auto& name : Names) out.FixedText(name, kPalmCategoryNameSize);
  out.Append(ByteSpan(IDs));
  out.U8(0);
}

PalmHeaderValues PalmHeaderValues::FromHeader(const PalmDatabaseHeader& header) {
  const std::int32_t bias = StandardTimeZoneBiasMinutes();
  PalmHeaderValues v;
  v.Name = header.Name;
  v.Attributes = header.Attributes;
  v.Version = header.Version;
  v.CreationDate = TDateTime::FromHeaderSeconds(header.CreationSeconds, bias);
  v.ModificationDate = TDateTime::FromHeaderSeconds(header.ModificationSeconds, bias);
  v.BackupDate = TDateTime::FromHeaderSeconds(header.BackupSeconds, bias);
  v.ModificationNumber = header.ModificationNumber;
  v.AppInfoOffset = header.AppInfoOffset;
  v.SortInfoOffset = header.SortInfoOffset;
  v.Type = header.Type;
  v.Creator = header.Creator;
  v.UniqueIDSeed = header.UniqueIDSeed;
  v.NextRecordListID = header.NextRecordListID;
  return v;
}

PalmDatabaseHeader PalmHeaderValues::HeaderToWrite() const {
  const TDateTime earliest = TDateTime::FromDate(1990, 1, 1).value();
  const std::uint32_t created = (CreationDate >= earliest ? CreationDate : TDateTime::Now()).ToPalmSeconds();
  PalmDatabaseHeader h;
  h.Name = Name;
  h.Attributes = Attributes;
  h.Version = Version;
  h.CreationSeconds = created;
  h.ModificationSeconds = ModificationDate.Days() > 0 ? ModificationDate.ToPalmSeconds() : created;
  h.BackupSeconds = BackupDate.Days() > 0 ? BackupDate.ToPalmSeconds() : 0;
  h.ModificationNumber = ModificationNumber;
  h.Type = Type;
  h.Creator = Creator;
  h.UniqueIDSeed = UniqueIDSeed;
  return h;
}

std::uint64_t PalmFileHead::SizeFor(std::uint64_t recordCount) const {
  const std::uint64_t appInfoSize = (Categories ? kPalmCategoryBlockSize : 0) + AppInfo.size();
  return kPalmHeaderSize + kPalmRecordEntrySize * recordCount + kPalmRecordListGap + appInfoSize + SortInfo.size();
}

Bytes PalmFileHead::Build() const {
  const std::uint64_t n = Records.size();
  const std::uint64_t listEnd = kPalmHeaderSize + kPalmRecordEntrySize * n + kPalmRecordListGap;
  const std::uint64_t appInfoSize = (Categories ? kPalmCategoryBlockSize : 0) + AppInfo.size();
  // The SortInfo block follows the AppInfo block, or the record list when there is no AppInfo.
  const std::uint64_t headSize = SizeFor(n);
  std::uint64_t total = headSize;
  for (const auto& r : Records)
    if (!r.WithoutData) total += r.Size;
  if (total > std::numeric_limits<std::uint32_t>::max()) throw std::length_error("database larger than 4 GiB");

  Bytes head;
  head.reserve(static_cast<std::size_t>(headSize));
  BigEndianWriter out(head);
  PalmDatabaseHeader header = Header;
  header.AppInfoOffset = appInfoSize != 0 ? static_cast<std::uint32_t>(listEnd) : 0;
  header.SortInfoOffset = SortInfo.empty() ? 0 : static_cast<std::uint32_t>(listEnd + appInfoSize);
  header.RecordCount = static_cast<std::uint16_t>(n);
  header.Write(out);

  std::uint64_t dataOffset = headSize;
  for (const auto& r : Records) {
    PalmRecordEntry{.Offset = r.WithoutData ? 0 : static_cast<std::uint32_t>(dataOffset),
                    .Attributes = static_cast<std::uint8_t>((r.Flags & 0x0F) << 4),
                    .UniqueID = r.UniqueID}
        .Write(out);
    if (!r.WithoutData) dataOffset += r.Size;
  }
  out.Zeros(kPalmRecordListGap);
  if (Categories) Categories->Write(out);
  out.Append(AppInfo);
  out.Append(SortInfo);
  return head;
}

}  // namespace core
