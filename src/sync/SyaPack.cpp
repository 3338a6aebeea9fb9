#include "sync/SyaPack.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <new>

#include "core/Files.h"

namespace sya {
namespace fs = std::filesystem;
namespace {

std::array<char, 4> Code4(std::string_view code) {
  std::array<char, 4> out{};
  std::copy_n(code.begin(), std::min<std::size_t>(4, code.size()), out.begin());
  return out;
}

TPackedHeader HeaderOf(TPDBDataFields& source) {
  TPackedHeader h;
  h.name = source.DatabaseName().substr(0, 32);
  h.creator = Code4(source.CreatorID());
  h.type = Code4(source.DatabaseType());
  h.attributes = source.DatabaseFlags();
  h.version = source.Version();
  h.creationDate = PalmSecondsFromDate(source.CreationDate());
  h.modificationDate = PalmSecondsFromDate(source.ModificationDate());
  h.appInfoSize = static_cast<std::uint16_t>(source.AppInfoData().size());
  h.sortInfoSize = static_cast<std::uint16_t>(source.SortInfoData().size());
  h.recordCount = source.RecordCount();
  return h;
}

}  // namespace

TSyaPacker::TSyaPacker(unsigned compressionThreads) : compressor_(compressionThreads) {}

TSyaPacker::~TSyaPacker() { AbandonPack(); }

int TSyaPacker::BeginPack(std::string_view directory, std::string_view fileName, std::string_view databaseName,
                          std::string_view creator, core::Durability durability) {
  if (container_) return syaAlreadyPacking;
  auto container = std::make_unique<TPDBDataFields>();
  container->SetDirectory(std::string(directory));
  container->SetPDBFilename(std::string(fileName));
  container->SetDatabaseName(std::string(databaseName));
  container->SetCreatorID(std::string(creator));
  container->SetDatabaseType(std::string(kContainerType));
  container->SetOpenMode(dmModeWriteOnly);
  container->SetFileDurability(durability);
  container->CreateDatabase();
  container->SetAppInfoData({});
  container->SetSortInfoData({});
  container_ = std::move(container);
  names_.clear();
  return syaOK;
}

TSyaPacker::StreamMark TSyaPacker::MarkStream() {
  const std::size_t records = container_->RecordCount();
  return {records, records > 0 ? container_->LastRecordData().size() : 0};
}

void TSyaPacker::RollBackTo(const StreamMark& mark) {
  container_->TruncateRecordList(mark.records);
  if (mark.records > 0) container_->LastRecordData().resize(mark.lastRecordSize);
}

int TSyaPacker::AllOrNothing(const StreamMark& mark, const std::function<int()>& step) {
  const auto takeBack = [&] {
    compressor_.DiscardAll();
    RollBackTo(mark);
  };
  int rc;
  try {
    rc = step();
  } catch (const std::bad_alloc&) {
    rc = syaNoBuffer;
  } catch (...) {
    takeBack();
    throw;
  }
  if (rc != syaOK) takeBack();
  return rc;
}

int TSyaPacker::SettlePending() {
  if (!pending_) return syaOK;
  const PendingDatabase pending = std::move(*pending_);
  pending_.reset();
  const int rc = AllOrNothing(pending.before, [&] {
    int blockRc = syaOK;
    while (blockRc == syaOK && !compressor_.Empty()) blockRc = AppendOldestBlock();
    return blockRc;
  });
  if (rc == syaOK) names_.push_back(pending.name);
  return rc;
}

int TSyaPacker::PackDatabase(std::string_view directory, std::string_view fileName, std::size_t maxRecordSize) {
  if (!container_) return syaNotPacking;
  if (int rc = SettlePending()) return rc;
  if (maxRecordSize < kMinContainerRecordSize || maxRecordSize > kMaxContainerRecordSize) return syaBadRecordSize;
  if (!container_->Active()) return syaContainerNotActive;
  if (container_->OpenMode() != dmModeWriteOnly) return syaContainerNotWritable;
  std::error_code ec;
  if (!fs::is_directory(fs::path(std::string(directory)), ec)) return syaDirectoryMissing;
  if (!core::ExistsNoCase(fs::path(std::string(directory)), fileName)) return syaFileMissing;

  TPDBDataFields source;
  try {
    source.SetDirectory(std::string(directory));
    source.SetPDBFilename(std::string(fileName));
    source.SetOpenMode(dmModeReadOnly);
    source.Open();
  } catch (const std::exception&) {
    return syaCannotOpen;
  }
  if (container_->RecordCount() > kContainerRecordsBeforePack || names_.size() >= core::kPalmMaxRecords) {
    return syaContainerFull;
  }

  // Whatever this database appends is taken back if it fails part-way, so that the container
  // never carries half a database.
  const StreamMark before = MarkStream();
  maxRecordSize_ = maxRecordSize;
  if (int rc = AllOrNothing(before, [&] { return PackOpenedSource(source); })) return rc;
  pending_ = PendingDatabase{before, HeaderOf(source).name};
  // Blocks that might take the container past its record limit join it now, so that the call
  // that packs too much is the one that says so.
  if (compressor_.QueuedBound() > StreamRoom()) return SettlePending();
  return syaOK;
}

std::size_t TSyaPacker::StreamRoom() {
  const std::size_t records = container_->RecordCount();
  const std::size_t last = records > 0 ? container_->LastRecordData().size() : maxRecordSize_;
  return (core::kPalmMaxRecords - records) * maxRecordSize_ + (last < maxRecordSize_ ? maxRecordSize_ - last : 0);
}

int TSyaPacker::PackOpenedSource(TPDBDataFields& source) {
  const TPackedHeader header = HeaderOf(source);
  // The AppInfo and SortInfo blocks are checked before anything is appended.
  if (header.appInfoSize != 0 && source.AppInfoData().empty()) return syaAppInfoMissing;
  if (source.AppInfoData().size() > MaxBlockSize) return syaAppInfoTooLarge;
  if (header.sortInfoSize != 0 && source.SortInfoData().empty()) return syaSortInfoMissing;
  if (source.SortInfoData().size() > MaxBlockSize) return syaSortInfoTooLarge;

  core::Bytes lead(kDatabaseMarker.begin(), kDatabaseMarker.end());
  header.Encode(lead);
  if (int rc = AppendToStream(lead)) return rc;
  if (header.appInfoSize != 0) {
    if (int rc = EmitBlock(source.AppInfoData())) return rc;
  }
  if (header.sortInfoSize != 0) {
    if (int rc = EmitBlock(source.SortInfoData())) return rc;
  }

  if (source.RecordCount() == 0) return syaOK;
  try {
    source.First();
  } catch (const std::exception&) {
    return syaCannotOpen;
  }
  // Record entries (attribute word, size, bytes) gathered into blocks of at most MaxBlockSize.
  core::Bytes block;
  block.reserve(MaxBlockSize);
  while (!source.Eof()) {
    const bool deleted = source.RecordAttributes() & kRecordDelete;
    const std::size_t size = deleted ? 0 : source.RecordData().size();
    if (size > MaxBlockSize) return syaRecordTooLarge;
    if (block.size() + size + 8 > MaxBlockSize) {
      if (int rc = EmitBlock(std::move(block))) return rc;
      block = core::Bytes();
      block.reserve(MaxBlockSize);
    }
    core::BigEndianWriter w(block);
    w.U16(static_cast<std::uint16_t>(source.RecordAttributes() * 16));
    w.U16(static_cast<std::uint16_t>(size));
    if (size > 0) w.Append(source.RecordData());
    try {
      source.Next();
    } catch (const std::exception&) {
      return syaNextFailed;
    }
  }
  if (!block.empty()) {
    if (int rc = EmitBlock(std::move(block))) return rc;
  }
  return syaOK;
}

// Hands the block to the compressor; the oldest ones join the stream once enough are in flight.
int TSyaPacker::EmitBlock(core::Bytes content) {
  if (compressor_.Full()) {
    if (int rc = AppendOldestBlock()) return rc;
  }
  compressor_.Push(std::move(content));
  return syaOK;
}

int TSyaPacker::AppendOldestBlock() {
  const core::Bytes block = compressor_.PopOldest();
  if (block.size() <= kBlockLengthSize) return syaNoCompressedOutput;
  return AppendToStream(block);
}

// The stream fills the last container record up to the maximum record size before a new
// record begins.
int TSyaPacker::AppendToStream(core::ByteSpan bytes) {
  const std::size_t limit = maxRecordSize_;
  while (!bytes.empty()) {
    if (container_->RecordCount() > 0 && container_->LastRecordData().size() < limit) {
      core::Bytes& last = container_->LastRecordData();
      const std::size_t take = std::min(bytes.size(), limit - last.size());
      last.insert(last.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(take));
      bytes = bytes.subspan(take);
      continue;
    }
    if (container_->RecordCount() >= core::kPalmMaxRecords) return syaContainerFull;
    core::Bytes record;
    record.reserve(limit);
    const std::size_t take = std::min(bytes.size(), limit);
    record.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(take));
    bytes = bytes.subspan(take);
    container_->SetRecordAttributes(0);
    container_->SetRecordCategory(0);
    container_->SetRecordUniqueID(0);
    container_->SetRecordData(std::move(record));
    container_->AppendRecord();
  }
  return syaOK;
}

int TSyaPacker::EndPack() {
  if (!container_) return syaNotPacking;
  if (int rc = SettlePending()) return rc;
  // The directory: the number of databases, their names each ending in a zero byte, and the
  // container's record count.
  core::Bytes directory;
  core::BigEndianWriter w(directory);
  w.U16(static_cast<std::uint16_t>(names_.size()));
  for (const auto& name : names_) {
    w.Append(name);
    w.U8(0);
  }
  w.U16(container_->RecordCount());
  container_->SetAppInfoData(std::move(directory));
  container_->Close();
  container_.reset();
  names_.clear();
  return syaOK;
}

int TSyaPacker::AbandonPack() {
  if (!container_) return syaNotPacking;
  compressor_.DiscardAll();
  pending_.reset();
  container_->Abandon();
  container_.reset();
  names_.clear();
  return syaOK;
}

TSyaPacker& DefaultPacker() {
  static TSyaPacker packer;
  return packer;
}

int SyaBeginPack(std::string_view directory, std::string_view fileName, std::string_view databaseName,
                 std::string_view creator, core::Durability durability) {
  return DefaultPacker().BeginPack(directory, fileName, databaseName, creator, durability);
}

int SyaPackDatabase(std::string_view directory, std::string_view fileName, std::size_t maxRecordSize) {
  return DefaultPacker().PackDatabase(directory, fileName, maxRecordSize);
}

int SyaEndPack() { return DefaultPacker().EndPack(); }

int SyaAbandonPack() { return DefaultPacker().AbandonPack(); }

}  // namespace sya
