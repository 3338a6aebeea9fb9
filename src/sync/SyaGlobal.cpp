#include "sync/SyaGlobal.h"

#include <algorithm>

namespace sya {

std::uint32_t PalmSecondsFromDate(core::TDateTime date) { return date.ToPalmSeconds(); }

void TPackedHeader::Encode(core::Bytes& out) const {
  core::BigEndianWriter w(out);
  w.FixedText(name, 32);
  w.Append(std::string_view(creator.data(), creator.size()));
  w.Append(std::string_view(type.data(), type.size()));
  w.U16(attributes);
  w.U16(version);
  w.U32(creationDate);
  w.U32(modificationDate);
  w.U32(reserved52);
  w.U32(reserved56);
  w.U16(appInfoSize);
  w.U16(sortInfoSize);
  w.U16(recordCount);
}

TPackedHeader TPackedHeader::Decode(core::ByteSpan bytes) {
  core::BigEndianReader r(bytes.first(kPackedHeaderSize));
  TPackedHeader h;
  const auto nameField = core::AsText(r.Take(32));
  h.name = std::string(nameField.substr(0, nameField.find('\0')));
  const auto creator = r.Take(4);
  std::copy(creator.begin(), creator.end(), h.creator.begin());
  const auto type = r.Take(4);
  std::copy(type.begin(), type.end(), h.type.begin());
  h.attributes = r.U16();
  h.version = r.U16();
  h.creationDate = r.U32();
  h.modificationDate = r.U32();
  h.reserved52 = r.U32();
  h.reserved56 = r.U32();
  h.appInfoSize = r.U16();
  h.sortInfoSize = r.U16();
  h.recordCount = r.U16();
  return h;
}

}  // namespace sya
