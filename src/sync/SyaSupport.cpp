#include "sync/SyaSupport.h"

#include <algorithm>
#include <exception>
#include <new>

#include "core/Encoding.h"
#include "sync/SyaGlobal.h"

namespace sya {
namespace fs = std::filesystem;
namespace {

std::string Trimmed(std::string_view text) { return std::string(core::TrimBlanks(text)); }

bool IsBlank(std::string_view text) { return core::TrimBlanks(text).empty(); }

bool AllPrintable(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 32 && u <= 126;
  });
}

bool AllAlphanumeric(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
  });
}

const core::TDateTime kEarliestCreationDate = *core::TDateTime::FromDate(1990, 1, 1);

}  // namespace

TPDBDataManager::TPDBDataManager() : uncaughtAtCreation_(std::uncaught_exceptions()) {}

TPDBDataManager::~TPDBDataManager() { CloseOnDestroy(); }

void TPDBDataManager::CloseOnDestroy() noexcept {
  if (!active_) return;
  if (openMode_ == dmModeWriteOnly && std::uncaught_exceptions() <= uncaughtAtCreation_) {
    try {
      Close();
      return;
    } catch (...) {
    }
  }
  Abandon();
}

void TPDBDataManager::SetPDBFilename(std::string fileName) {
  if (fileName == pdbFilename_) return;
  if (!IsBlank(fileName)) {
    const auto dot = fileName.rfind('.');
    if (dot == std::string::npos || core::UpperAscii(std::string_view(fileName).substr(dot)) != ".PDB")
      RaisePDBError(2080, 1);
    if (!AllPrintable(fileName)) RaisePDBError(2090, 2);
  }
  pdbFilename_ = std::move(fileName);
}

void TPDBDataManager::SetDatabaseName(std::string name) {
  if (name == databaseName_) return;
  if (!IsBlank(name)) {
    if (core::TrimBlanks(name).size() > 31) RaisePDBError(2020, 1);
    if (!AllPrintable(name)) RaisePDBError(2030, 2);
  }
  databaseName_ = std::move(name);
}

void TPDBDataManager::SetOpenMode(TOpenMode mode) {
  if (mode == openMode_) return;
  if (active_) RaisePDBError(2100, 1);
  if (mode == dmModeReadOnly || mode == dmModeWriteOnly) openMode_ = mode;
}

void TPDBDataManager::SetCreatorID(std::string creator) {
  if (creator == creatorID_) return;
  if (!IsBlank(creator)) {
    if (core::TrimBlanks(creator).size() != 4) RaisePDBError(2040, 1);
    if (!AllAlphanumeric(creator)) RaisePDBError(2050, 2);
  }
  creatorID_ = std::move(creator);
}

void TPDBDataManager::SetDatabaseType(std::string type) {
  if (type == databaseType_) return;
  if (!IsBlank(type)) {
    if (core::TrimBlanks(type).size() != 4) RaisePDBError(2060, 1);
    if (!AllAlphanumeric(type)) RaisePDBError(2070, 2);
  }
  databaseType_ = std::move(type);
}

fs::path TPDBDataManager::FilePath() const {
  return core::ResolveNoCase(fs::path(Trimmed(directory_)), pdbFilename_);
}

// ---- reading -----------------------------------------------------------------------------

void TPDBDataManager::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) {
  if (offset > fileSize_ || out.size() > fileSize_ - offset) throw core::ShortReadError();
  if (out.empty()) return;
  if (offset != inPos_) {
    in_.clear();
    in_.seekg(static_cast<std::streamoff>(offset));
  }
  in_.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
  if (!in_) {
    inPos_ = ~std::uint64_t{0};
    throw core::ShortReadError();
  }
  inPos_ = offset + out.size();
}

void TPDBDataManager::ReadHeader() {
  std::array<std::uint8_t, kPDBHeaderSize> raw{};
  ReadAt(0, raw);
  core::BigEndianReader r(raw);
  core::PalmDatabaseHeader fields = core::PalmDatabaseHeader::Read(r);
  databaseName_ = std::move(fields.Name);
  attributes_ = fields.Attributes;
  version_ = fields.Version;
  const std::int32_t bias = core::StandardTimeZoneBiasMinutes();
  creationDate_ = core::TDateTime::FromHeaderSeconds(fields.CreationSeconds, bias);
  modificationDate_ = core::TDateTime::FromHeaderSeconds(fields.ModificationSeconds, bias);
  backupDate_ = core::TDateTime::FromHeaderSeconds(fields.BackupSeconds, bias);
  modificationNumber_ = fields.ModificationNumber;
  appInfoOffset_ = fields.AppInfoOffset;
  sortInfoOffset_ = fields.SortInfoOffset;
  databaseType_ = std::move(fields.Type);
  creatorID_ = std::move(fields.Creator);
  uniqueIDSeed_ = fields.UniqueIDSeed;
  nextRecordListID_ = fields.NextRecordListID;
  headerRecordCount_ = fields.RecordCount;
  recordCount_ = AdjustRecordCount(headerRecordCount_);
  AfterReadHeader();
}

// Where the record data begin: the first entry with data (deleted records written without
// data carry offset 0), or the end of the file.
std::uint64_t TPDBDataManager::FirstDataOffset() {
  if (!entriesLoaded_) LoadEntries();
  for (const auto& e : entries_)
    if (e.offset != 0) return e.offset;
  return fileSize_;
}

// The bytes from `offset` to `end`; a block that does not lie within the file is refused.
core::Bytes TPDBDataManager::ReadBlock(std::uint32_t offset, std::uint64_t end, int failureId) {
  if (end > fileSize_ || offset > end) RaisePDBError(failureId, 10);
  core::Bytes block(static_cast<std::size_t>(end - offset));
  ReadAt(offset, block);
  return block;
}

void TPDBDataManager::Open() {
  if (openMode_ == dmModeWriteOnly) RaisePDBError(2510, 9);
  if (active_) RaisePDBError(2430, 1);
  if (IsBlank(directory_)) RaisePDBError(2440, 2);
  if (IsBlank(pdbFilename_)) RaisePDBError(2450, 3);
  const auto found = core::FindNoCase(fs::path(Trimmed(directory_)), pdbFilename_);
  std::error_code ec;
  if (!found || !fs::is_regular_file(*found, ec)) RaisePDBError(2460, 4);
  in_ = std::ifstream(*found, std::ios::binary);
  const auto size = fs::file_size(*found, ec);
  if (!in_ || ec) {
    in_ = std::ifstream();
    RaisePDBError(2480, 6);
  }
  fileSize_ = size;
  inPos_ = 0;
  entries_.clear();
  entriesLoaded_ = false;
  try {
    ReadHeader();
  } catch (const std::exception&) {
    in_ = std::ifstream();
    recordCount_ = 0;
    RaisePDBError(2490, 7);
  }
  // A block runs to the next one, to the first record's data or to the end of the file.
  try {
    appInfo_.clear();
    sortInfo_.clear();
    if (appInfoOffset_ != 0) {
      try {
        const std::uint64_t end = sortInfoOffset_ != 0 ? sortInfoOffset_ : FirstDataOffset();
        appInfo_ = ReadBlock(appInfoOffset_, end, 2520);
      } catch (const EPDBException&) {
        throw;
      } catch (const std::exception&) {
        RaisePDBError(2520, 10);
      }
    }
    if (sortInfoOffset_ != 0) {
      try {
        sortInfo_ = ReadBlock(sortInfoOffset_, FirstDataOffset(), 2530);
      } catch (const EPDBException&) {
        throw;
      } catch (const std::exception&) {
        RaisePDBError(2530, 10);
      }
    }
  } catch (...) {
    in_ = std::ifstream();
    appInfo_.clear();
    sortInfo_.clear();
    entries_.clear();
    entriesLoaded_ = false;
    recordCount_ = 0;
    throw;
  }
  active_ = true;
  bof_ = eof_ = true;
  currentIndex_ = -1;
  AfterOpen();
  First();
}

// The record list, read once on first use: at most the entries the file actually holds.
void TPDBDataManager::LoadEntries() {
  const std::uint64_t available = fileSize_ > kPDBHeaderSize ? (fileSize_ - kPDBHeaderSize) / kRecordEntrySize : 0;
  const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(headerRecordCount_, available));
  core::Bytes raw(count * kRecordEntrySize);
  ReadAt(kPDBHeaderSize, raw);
  entries_.resize(count);
  core::BigEndianReader r(raw);
  for (auto& e : entries_) {
    const core::PalmRecordEntry entry = core::PalmRecordEntry::Read(r);
    e.offset = entry.Offset;
    e.attributes = entry.Attributes;
    e.uniqueID = entry.UniqueID;
  }
  // A record's data end where the next record's begin. Entries with offset 0 (deleted records
  // without data) are passed over, so they do not cut their neighbour short.
  std::uint64_t end = fileSize_;
  for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
    it->end = static_cast<std::uint32_t>(std::min<std::uint64_t>(end, 0xFFFFFFFFu));
    if (it->offset != 0) end = it->offset;
  }
  entriesLoaded_ = true;
}

RecordNode TPDBDataManager::GetRecord(std::int32_t index) {
  if (!active_) RaisePDBError(2110, 1);
  if (openMode_ == dmModeWriteOnly) RaisePDBError(2170, 7);
  if (index < 0 || index > LastRecordIndex()) RaisePDBError(2120, 2);
  try {
    if (!entriesLoaded_) LoadEntries();
  } catch (const std::exception&) {
    RaisePDBError(2160, 6);
  }
  if (static_cast<std::size_t>(index) >= entries_.size()) RaisePDBError(2160, 6);
  const Entry& e = entries_[static_cast<std::size_t>(index)];
  RecordNode node;
  node.attributes = e.attributes >> 4;
  node.category = e.attributes & 0x0F;
  node.uniqueID = e.uniqueID;
  if (node.attributes & kRecordDelete) return node;
  if (e.offset > e.end || e.end > fileSize_) RaisePDBError(2160, 6);
  try {
    node.data.resize(e.end - e.offset);
  } catch (const std::bad_alloc&) {
    RaisePDBError(2150, 5);
  }
  try {
    ReadAt(e.offset, node.data);
  } catch (const std::exception&) {
    RaisePDBError(2160, 6);
  }
  return node;
}

// ---- cursor ------------------------------------------------------------------------------

void TPDBDataManager::First() {
  if (recordCount_ == 0) return;
  currentIndex_ = FirstRecordIndex();
  bof_ = eof_ = false;
  LoadCurrentRecord();
}

void TPDBDataManager::Next() {
  if (recordCount_ == 0) return;
  if (eof_) RaisePDBError(bof_ ? 2340 : 2350, bof_ ? 1 : 2);
  if (currentIndex_ >= LastRecordIndex()) {
    bof_ = false;
    eof_ = true;
    return;
  }
  ++currentIndex_;
  LoadCurrentRecord();
}

// ---- writing -----------------------------------------------------------------------------

void TPDBDataManager::CreateDatabase() {
  if (openMode_ == dmModeReadOnly) RaisePDBError(2540, 1);
  if (active_) RaisePDBError(2550, 2);
  if (IsBlank(directory_)) RaisePDBError(2560, 3);
  if (IsBlank(pdbFilename_)) RaisePDBError(2570, 4);
  if (core::TrimBlanks(creatorID_).size() != 4) RaisePDBError(2580, 5);
  if (core::TrimBlanks(databaseType_).size() != 4) RaisePDBError(2590, 6);
  if (IsBlank(databaseName_)) RaisePDBError(2610, 8);
  try {
    out_ = std::make_unique<core::AtomicFileWriter>(FilePath(), durability_);
  } catch (const std::exception&) {
    RaisePDBError(2600, 7);
  }
  spool_.reset();
  entrySpool_.reset();
  streamedDataBytes_ = 0;
  version_ = 0;
  modificationDate_ = core::TDateTime();
  backupDate_ = core::TDateTime();
  modificationNumber_ = 0;
  appInfo_.clear();
  sortInfo_.clear();
  records_.clear();
  recordCount_ = 0;
  for (auto& name : categoryNames_) name.clear();
  for (std::uint8_t i = 0; i < 16; ++i) categoryIDs_[i] = i;
  categoryIDs_[16] = 15;
  active_ = true;
}

namespace {

// Reads back a sealed spool file in large pieces.
class TSpoolReader {
 public:
  explicit TSpoolReader(const core::AtomicFileWriter& spool) : in_(spool.TempPath(), std::ios::binary), spool_(spool) {}
  void Read(std::span<std::uint8_t> out) {
    if (!in_.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size())))
      throw core::FileError("cannot read back " + spool_.TempPath().string());
  }

 private:
  std::ifstream in_;
  const core::AtomicFileWriter& spool_;
};

constexpr std::size_t kCopyChunk = 256 * 1024;

}  // namespace

void TPDBDataManager::WriteFileHead(core::AtomicFileWriter& out, bool writeCategories) {
  const std::uint64_t n = recordCount_;
  const std::uint64_t listEnd = kPDBHeaderSize + kRecordEntrySize * n + 2;
  const std::uint64_t appInfoSize = (writeCategories ? kCategoryBlockSize : 0) + appInfo_.size();
  const std::uint64_t appInfoOffset = appInfoSize > 0 ? listEnd : 0;
  const std::uint64_t sortInfoOffset = sortInfo_.empty() ? 0 : listEnd + appInfoSize;
  std::uint64_t dataOffset = listEnd + appInfoSize + sortInfo_.size();
  std::uint64_t total = dataOffset + streamedDataBytes_;
  for (const auto& r : records_)
    if (!(r.attributes & kRecordDelete)) total += r.data.size();
  if (total > 0xFFFFFFFFu) throw std::length_error("database larger than 4 GiB");

  const core::TDateTime created = creationDate_ >= kEarliestCreationDate ? creationDate_ : core::TDateTime::Now();
  const std::uint32_t createdSeconds = PalmSecondsFromDate(created);

  core::Bytes head;
  head.reserve(kCopyChunk);
  core::BigEndianWriter w(head);
  // The unique-ID seed and the next record list are written as 0.
  core::PalmDatabaseHeader header;
  header.Name = databaseName_;
  header.Attributes = attributes_;
  header.Version = version_;
  header.CreationSeconds = createdSeconds;
  header.ModificationSeconds =
      modificationDate_.Days() > 0 ? PalmSecondsFromDate(modificationDate_) : createdSeconds;
  header.BackupSeconds = backupDate_.Days() > 0 ? PalmSecondsFromDate(backupDate_) : 0;
  header.ModificationNumber = modificationNumber_;
  header.AppInfoOffset = static_cast<std::uint32_t>(appInfoOffset);
  header.SortInfoOffset = static_cast<std::uint32_t>(sortInfoOffset);
  header.Type = databaseType_;
  header.Creator = creatorID_;
  header.RecordCount = static_cast<std::uint16_t>(n);
  header.Write(w);
  const auto entry = [&](std::uint8_t attributes, std::uint32_t uniqueID, std::uint32_t size) {
    const bool deleted = attributes & kRecordDelete;
    core::PalmRecordEntry{.Offset = deleted ? 0 : static_cast<std::uint32_t>(dataOffset),
                          .Attributes = static_cast<std::uint8_t>((attributes & 0x0F) << 4),
                          .UniqueID = uniqueID}
        .Write(w);
    if (!deleted) dataOffset += size;
    if (head.size() >= kCopyChunk) {
      out.Write(head);
      head.clear();
    }
  };
  if (entrySpool_) {
    entrySpool_->Seal();
    TSpoolReader in(*entrySpool_);
    std::array<std::uint8_t, kSpooledEntrySize> raw{};
    for (std::uint64_t i = 0; i < n; ++i) {
      in.Read(raw);
      entry(raw[0], core::LoadBE32(raw.data()) & 0xFFFFFF, core::LoadBE32(raw.data() + 4));
    }
  } else {
    for (const auto& r : records_) entry(r.attributes, r.uniqueID, static_cast<std::uint32_t>(r.data.size()));
  }
  w.U16(0);
  if (writeCategories) {
    w.U16(0);  // no category renamed
    for (const auto& name : categoryNames_) w.FixedText(std::string_view(name).substr(0, 15), 16);
    w.Append(core::ByteSpan(categoryIDs_));
    w.U8(0);
  }
  w.Append(appInfo_);
  w.Append(sortInfo_);
  out.Write(head);
}

void TPDBDataManager::Close() {
  if (openMode_ == dmModeWriteOnly) {
    if (auto staged = CloseStaged()) staged->Commit();
    return;
  }
  if (!active_) RaisePDBError(2190, 1);
  ReleaseAll();
}

std::unique_ptr<core::AtomicFileWriter> TPDBDataManager::CloseStaged() {
  if (openMode_ == dmModeWriteOnly) BeforeCloseWrite();
  if (!active_) RaisePDBError(2190, 1);
  std::unique_ptr<core::AtomicFileWriter> staged;
  if (openMode_ == dmModeWriteOnly) {
    WriteDatabase(writeCategories_, *out_);
    out_->Seal();
    staged = std::move(out_);
  }
  ReleaseAll();
  return staged;
}

void TPDBDataManager::AppendNode(RecordNode node) {
  if (!streamRecords_) {
    records_.push_back(std::move(node));
    recordCount_ = static_cast<std::uint16_t>(records_.size());
    return;
  }
  if (!spool_) {
    const std::string path = FilePath().string();
    entrySpool_ = std::make_unique<core::AtomicFileWriter>(path + ".entries", core::Durability::Unsynced);
    spool_ = std::make_unique<core::AtomicFileWriter>(path + ".records", core::Durability::Unsynced);
  }
  // Attribute byte, unique ID, data size.
  const bool deleted = node.attributes & kRecordDelete;
  const auto size = static_cast<std::uint32_t>(deleted ? 0 : node.data.size());
  std::array<std::uint8_t, kSpooledEntrySize> raw{};
  core::StoreBE32(raw.data(), (node.uniqueID & 0xFFFFFF) | (std::uint32_t{node.attributes} << 24));
  core::StoreBE32(raw.data() + 4, size);
  entrySpool_->Write(raw);
  if (!deleted) spool_->Write(node.data);
  streamedDataBytes_ += size;
  ++recordCount_;
}

void TPDBDataManager::WriteRecordData(core::AtomicFileWriter& out) {
  if (!spool_) {
    for (const auto& node : records_)
      if (!(node.attributes & kRecordDelete)) out.Write(node.data);
    return;
  }
  spool_->Seal();
  TSpoolReader in(*spool_);
  core::Bytes chunk(kCopyChunk);
  for (std::uint64_t left = spool_->Size(); left > 0;) {
    const auto take = static_cast<std::size_t>(std::min<std::uint64_t>(left, kCopyChunk));
    in.Read(std::span(chunk).first(take));
    out.Write(core::ByteSpan(chunk).first(take));
    left -= take;
  }
}

void TPDBDataManager::Abandon() {
  if (!active_) return;
  ReleaseAll();
}

void TPDBDataManager::ReleaseAll() {
  ReleaseRecordData();
  appInfo_.clear();
  sortInfo_.clear();
  records_.clear();
  records_.shrink_to_fit();
  entries_.clear();
  entries_.shrink_to_fit();
  entriesLoaded_ = false;
  in_ = std::ifstream();
  out_.reset();  // removes an uncommitted temporary file
  spool_.reset();
  entrySpool_.reset();
  streamedDataBytes_ = 0;
  recordCount_ = 0;
  currentIndex_ = -1;
  bof_ = eof_ = true;
  active_ = false;
}

// ---- TPDBDataFields ----------------------------------------------------------------------

TPDBDataFields::~TPDBDataFields() { CloseOnDestroy(); }

void TPDBDataFields::AppendRecord() {
  if (!Active()) RaisePDBError(2190, 1);
  if (OpenMode() != dmModeWriteOnly) RaisePDBError(2540, 1);
  if (RecordCount() >= kMaxPalmRecords) RaisePDBError(2620, 1);
  AppendNode(RecordNode{std::move(recordData_), recordCategory_, recordAttributes_, recordUniqueID_});
  recordData_ = core::Bytes();
}

core::Bytes& TPDBDataFields::LastRecordData() {
  if (StreamRecords()) throw std::logic_error("streamed records stay on disk");
  if (records_.empty()) throw std::logic_error("no record appended yet");
  return records_.back().data;
}

void TPDBDataFields::ReplaceRecordData(const std::uint8_t* oldBuffer, core::Bytes newData) {
  for (auto& node : records_) {
    if (node.data.data() == oldBuffer) {
      node.data = std::move(newData);
      return;
    }
  }
}

void TPDBDataFields::TruncateRecordList(std::size_t count) {
  if (StreamRecords()) throw std::logic_error("streamed records stay on disk");
  if (count < records_.size()) records_.resize(count);
  recordCount_ = static_cast<std::uint16_t>(records_.size());
}

void TPDBDataFields::LoadCurrentRecord() {
  if (OpenMode() == dmModeReadOnly) recordData_ = core::Bytes();
  RecordNode node = GetRecord(CurrentIndex());
  recordData_ = std::move(node.data);
  recordCategory_ = node.category;
  recordAttributes_ = node.attributes;
  recordUniqueID_ = node.uniqueID;
  DecodeFields();
}

void TPDBDataFields::ReleaseRecordData() {
  if (OpenMode() == dmModeReadOnly) recordData_ = core::Bytes();
  fields_.Clear();
}

void TPDBDataFields::WriteDatabase(bool writeCategories, core::AtomicFileWriter& out) {
  WriteFileHead(out, writeCategories);
  WriteRecordData(out);
}

}  // namespace sya
