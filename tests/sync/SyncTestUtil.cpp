#include "SyncTestUtil.h"

#include <nettle/md5.h>
#include <zlib.h>

#include <random>
#include <stdexcept>

#include "core/Files.h"
#include "sync/SyaGlobal.h"
#include "sync/SyaSupport.h"

namespace synctest {

void WriteTestDb(const std::filesystem::path& dir, const std::string& fileName, const TestDb& db) {
  sya::TPDBDataFields out;
  out.SetDirectory(dir.string());
  out.SetPDBFilename(fileName);
  out.SetDatabaseName(db.name);
  out.SetCreatorID(db.creator);
  out.SetDatabaseType(db.type);
  out.SetDatabaseFlags(db.flags);
  out.SetCreationDate(db.created);
  out.SetOpenMode(sya::dmModeWriteOnly);
  out.CreateDatabase();
  out.SetVersion(db.version);
  out.SetModificationDate(db.modified);
  out.SetAppInfoData(db.appInfo);
  out.SetSortInfoData(db.sortInfo);
  for (const auto& r : db.records) {
    out.SetRecordAttributes(r.attributes);
    out.SetRecordUniqueID(r.uniqueID);
    out.SetRecordData(r.data);
    out.AppendRecord();
  }
  out.Close();
}

ParsedPdb ParsePdb(const core::Bytes& file) {
  core::BigEndianReader r(file);
  ParsedPdb p;
  auto name = core::AsText(r.Take(32));
  p.name = std::string(name.substr(0, name.find('\0')));
  p.attributes = r.U16();
  p.version = r.U16();
  p.created = r.U32();
  p.modified = r.U32();
  p.backup = r.U32();
  p.modNumber = r.U32();
  p.appInfoOffset = r.U32();
  p.sortInfoOffset = r.U32();
  p.type = std::string(core::AsText(r.Take(4)));
  p.creator = std::string(core::AsText(r.Take(4)));
  p.seed = r.U32();
  r.U32();
  const std::uint16_t n = r.U16();
  for (int i = 0; i < n; ++i) {
    ParsedPdb::Rec rec;
    rec.offset = r.U32();
    rec.attrByte = r.U8();
    rec.uniqueID = (std::uint32_t{r.U8()} << 16) | r.U16();
    p.records.push_back(rec);
  }
  std::uint32_t firstData = static_cast<std::uint32_t>(file.size());
  for (const auto& rec : p.records)
    if (rec.offset != 0) {
      firstData = rec.offset;
      break;
    }
  const auto slice = [&](std::uint32_t from, std::uint32_t to) {
    if (from > to || to > file.size()) throw std::runtime_error("bad block bounds");
    return core::Bytes(file.begin() + from, file.begin() + to);
  };
  if (p.appInfoOffset) p.appInfo = slice(p.appInfoOffset, p.sortInfoOffset ? p.sortInfoOffset : firstData);
  if (p.sortInfoOffset) p.sortInfo = slice(p.sortInfoOffset, firstData);
  for (std::size_t i = 0; i < p.records.size(); ++i) {
    auto& rec = p.records[i];
    if (rec.offset == 0) continue;
    std::uint32_t end = static_cast<std::uint32_t>(file.size());
    for (std::size_t j = i + 1; j < p.records.size(); ++j)
      if (p.records[j].offset != 0) {
        end = p.records[j].offset;
        break;
      }
    rec.data = slice(rec.offset, end);
  }
  return p;
}

core::Bytes StreamOf(const ParsedPdb& container) {
  core::Bytes stream;
  for (const auto& rec : container.records) stream.insert(stream.end(), rec.data.begin(), rec.data.end());
  return stream;
}

void WriteContainer(const std::filesystem::path& dir, const std::string& fileName, const core::Bytes& stream,
                    std::size_t recordSize, bool trailers, const core::Bytes& appInfo) {
  TestDb db;
  db.name = "Kestor_Out";
  db.creator = "PDBP";
  db.type = "PKDT";
  db.appInfo = appInfo;
  for (std::size_t at = 0; at < stream.size(); at += recordSize) {
    const auto end = std::min(stream.size(), at + recordSize);
    TestRecord rec;
    rec.data.assign(stream.begin() + static_cast<std::ptrdiff_t>(at), stream.begin() + static_cast<std::ptrdiff_t>(end));
    if (trailers) {
      std::uint8_t digest[MD5_DIGEST_SIZE];
      md5_ctx ctx;
      md5_init(&ctx);
      md5_update(&ctx, rec.data.size(), rec.data.data());
      md5_digest(&ctx, sizeof digest, digest);
      rec.data.insert(rec.data.end(), digest + 12, digest + 16);
      const auto tag = Text("#CSUM#");
      rec.data.insert(rec.data.end(), tag.begin(), tag.end());
    }
    db.records.push_back(rec);
  }
  WriteTestDb(dir, fileName, db);
}

core::Bytes Marker() { return Text("#SyncAnywhereDB#"); }

core::Bytes Header(const std::string& name, std::uint16_t appInfoSize, std::uint16_t sortInfoSize,
                   std::uint16_t recordCount, std::uint16_t attributes, std::uint16_t version) {
  sya::TPackedHeader h;
  h.name = name;
  h.creator = {'P', 'm', 'O', 'r'};
  h.type = {'D', 'A', 'T', 'A'};
  h.attributes = attributes;
  h.version = version;
  h.creationDate = 2713996800u;
  h.modificationDate = 2713996800u;
  h.appInfoSize = appInfoSize;
  h.sortInfoSize = sortInfoSize;
  h.recordCount = recordCount;
  core::Bytes out;
  h.Encode(out);
  return out;
}

core::Bytes Block(const core::Bytes& content) {
  uLongf size = compressBound(static_cast<uLong>(content.size()));
  core::Bytes out(4 + size);
  if (compress2(out.data() + 4, &size, content.data(), static_cast<uLong>(content.size()), 6) != Z_OK)
    throw std::runtime_error("compress2 failed");
  out.resize(4 + size);
  core::StoreBE32(out.data(), static_cast<std::uint32_t>(size));
  return out;
}

core::Bytes Entry(std::uint16_t attributeWord, const core::Bytes& data) {
  core::Bytes out;
  core::BigEndianWriter w(out);
  w.U16(attributeWord);
  w.U16(static_cast<std::uint16_t>(data.size()));
  w.Append(data);
  return out;
}

core::Bytes Concat(std::initializer_list<core::Bytes> parts) {
  core::Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

core::Bytes Text(std::string_view text) { return core::Bytes(text.begin(), text.end()); }

core::Bytes Random(std::size_t size, std::uint32_t seed) {
  std::mt19937 gen(seed);
  core::Bytes out(size);
  for (auto& b : out) b = static_cast<std::uint8_t>(gen());
  return out;
}

core::Bytes Inflate(core::ByteSpan zlibStream) {
  core::Bytes out(1 << 20);
  uLongf size = out.size();
  if (uncompress(out.data(), &size, zlibStream.data(), static_cast<uLong>(zlibStream.size())) != Z_OK)
    throw std::runtime_error("uncompress failed");
  out.resize(size);
  return out;
}

}  // namespace synctest
