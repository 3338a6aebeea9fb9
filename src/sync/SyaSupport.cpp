#include "sync/SyaSupport.h"

#include <algorithm>
#include <exception>
#include <fstream>
#include <new>

#include "core/Encoding.h"
#include "core/PalmPropertyRules.h"
#include "sync/SyaGlobal.h"

namespace sya {
namespace fs = std::filesystem;
namespace {

std::string Trimmed(std::string_view text) { return std::string(core::TrimBlanks(text)); }

// Raises `wrongLengthId` (code 1) or `invalidCharactersId` (code 2) when changing the property
// from `current` to `value` breaks a rule.
void CheckProperty(core::PalmProperty property, std::string_view current, std::string_view value,
                   int wrongLengthId, int invalidCharactersId) {
  switch (core::CheckPalmProperty(property, current, value)) {
    case core::PalmPropertyFault::None:
      return;
    case core::PalmPropertyFault::WrongLength:
      RaisePDBError(wrongLengthId, 1);
    case core::PalmPropertyFault::InvalidCharacters:
      RaisePDBError(invalidCharactersId, 2);
  }
}

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
  CheckProperty(core::PalmProperty::FileName, pdbFilename_, fileName, 2080, 2090);
  pdbFilename_ = std::move(fileName);
}

void TPDBDataManager::SetDatabaseName(std::string name) {
  CheckProperty(core::PalmProperty::DatabaseName, header_.Name, name, 2020, 2030);
  header_.Name = std::move(name);
}

void TPDBDataManager::SetOpenMode(TOpenMode mode) {
  if (mode == openMode_) return;
  if (active_) RaisePDBError(2100, 1);
  if (mode == dmModeReadOnly || mode == dmModeWriteOnly) openMode_ = mode;
}

void TPDBDataManager::SetCreatorID(std::string creator) {
  CheckProperty(core::PalmProperty::CreatorID, header_.Creator, creator, 2040, 2050);
  header_.Creator = std::move(creator);
}

void TPDBDataManager::SetDatabaseType(std::string type) {
  CheckProperty(core::PalmProperty::DatabaseType, header_.Type, type, 2060, 2070);
  header_.Type = std::move(type);
}

fs::path TPDBDataManager::FilePath() const {
  return core::ResolveNoCase(fs::path(Trimmed(directory_)), pdbFilename_);
}

// ---- reading -----------------------------------------------------------------------------

void TPDBDataManager::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) {
  if (!file_.ReadAt(offset, out)) throw core::ShortReadError();
}

void TPDBDataManager::ReadHeader() {
  const std::optional<core::PalmDatabaseHeader> header = file_.ReadHeader();
  if (!header) throw core::ShortReadError();
  header_ = core::PalmHeaderValues::FromHeader(*header);
  headerRecordCount_ = header->RecordCount;
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
  auto block = file_.ReadBlock(offset, end);
  if (!block) RaisePDBError(failureId, 10);
  return std::move(*block);
}

void TPDBDataManager::Open() {
  if (openMode_ == dmModeWriteOnly) RaisePDBError(2510, 9);
  if (active_) RaisePDBError(2430, 1);
  if (core::IsBlankText(directory_)) RaisePDBError(2440, 2);
  if (core::IsBlankText(pdbFilename_)) RaisePDBError(2450, 3);
  const auto found = core::FindNoCase(fs::path(Trimmed(directory_)), pdbFilename_);
  std::error_code ec;
  if (!found || !fs::is_regular_file(*found, ec)) RaisePDBError(2460, 4);
  if (!file_.Open(*found)) RaisePDBError(2480, 6);
  fileSize_ = file_.Size();
  entries_.clear();
  entriesLoaded_ = false;
  try {
    ReadHeader();
  } catch (const std::exception&) {
    file_.Close();
    recordCount_ = 0;
    RaisePDBError(2490, 7);
  }
  // A block runs to the next one, to the first record's data or to the end of the file.
  try {
    appInfo_.clear();
    sortInfo_.clear();
    if (header_.AppInfoOffset != 0) {
      try {
        const std::uint64_t end = header_.SortInfoOffset != 0 ? header_.SortInfoOffset : FirstDataOffset();
        appInfo_ = ReadBlock(header_.AppInfoOffset, end, 2520);
      } catch (const EPDBException&) {
        throw;
      } catch (const std::exception&) {
        RaisePDBError(2520, 10);
      }
    }
    if (header_.SortInfoOffset != 0) {
      try {
        sortInfo_ = ReadBlock(header_.SortInfoOffset, FirstDataOffset(), 2530);
      } catch (const EPDBException&) {
        throw;
      } catch (const std::exception&) {
        RaisePDBError(2530, 10);
      }
    }
  } catch (...) {
    file_.Close();
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
  constexpr std::size_t kListStart = core::kPalmHeaderSize;
  const std::uint64_t available = fileSize_ > kListStart ? (fileSize_ - kListStart) / core::kPalmRecordEntrySize : 0;
  const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(headerRecordCount_, available));
  core::Bytes raw(count * core::kPalmRecordEntrySize);
  ReadAt(kListStart, raw);
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
  if (core::IsBlankText(directory_)) RaisePDBError(2560, 3);
  if (core::IsBlankText(pdbFilename_)) RaisePDBError(2570, 4);
  if (core::TrimBlanks(header_.Creator).size() != 4) RaisePDBError(2580, 5);
  if (core::TrimBlanks(header_.Type).size() != 4) RaisePDBError(2590, 6);
  if (core::IsBlankText(header_.Name)) RaisePDBError(2610, 8);
  try {
    out_ = std::make_unique<core::AtomicFileWriter>(FilePath(), durability_);
  } catch (const std::exception& e) {
    RaisePDBError(2600, 7, e.what());  // the file error names the path and the reason
  }
  streamed_.clear();
  headRoom_.reset();
  header_.Version = 0;
  header_.ModificationDate = core::TDateTime();
  header_.BackupDate = core::TDateTime();
  header_.ModificationNumber = 0;
  appInfo_.clear();
  sortInfo_.clear();
  records_.clear();
  recordCount_ = 0;
  categories_ = core::PalmCategoryBlock::Fresh();
  active_ = true;
}

core::Bytes TPDBDataManager::BuildFileHead(bool writeCategories, std::vector<core::PalmRecordToWrite> records) const {
  // The header values as held; the unique-ID seed and the next record list are written as 0.
  core::PalmFileHead head;
  head.Header = header_.HeaderToWrite();
  head.Header.UniqueIDSeed = 0;
  if (writeCategories) head.Categories = categories_;
  head.AppInfo = appInfo_;
  head.SortInfo = sortInfo_;
  head.Records = std::move(records);
  return head.Build();
}

void TPDBDataManager::WriteFileHead(core::AtomicFileWriter& out, bool writeCategories) {
  // A record flagged deleted is listed with offset 0 and without data.
  std::vector<core::PalmRecordToWrite> list;
  list.reserve(records_.size());
  for (const auto& r : records_) {
    const bool deleted = r.attributes & kRecordDelete;
    list.push_back({.Flags = r.attributes, .UniqueID = r.uniqueID, .Size = r.data.size(), .WithoutData = deleted});
  }
  out.Write(BuildFileHead(writeCategories, std::move(list)));
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
    if (headRoom_) {
      FinishStreamedFile(writeCategories_);
    } else {
      WriteDatabase(writeCategories_, *out_);
    }
    out_->Seal();
    staged = std::move(out_);
  }
  ReleaseAll();
  return staged;
}

void TPDBDataManager::CheckAppend() const {
  if (!active_) RaisePDBError(2190, 1);
  if (openMode_ != dmModeWriteOnly) RaisePDBError(2540, 1);
  if (recordCount_ >= core::kPalmMaxRecords) RaisePDBError(2620, 1);
}

void TPDBDataManager::AppendNode(RecordNode node) {
  if (streamRecords_) {
    AppendStreamed(node.attributes, node.uniqueID, node.data);
    return;
  }
  records_.push_back(std::move(node));
  recordCount_ = static_cast<std::uint16_t>(records_.size());
}

void TPDBDataManager::AppendStreamed(std::uint8_t attributes, std::uint32_t uniqueID, core::ByteSpan data) {
  if (!headRoom_) {
    // Room for the head with the expected number of list entries; Close writes its values.
    headRoom_ = BuildFileHead(writeCategories_, {}).size() + core::kPalmRecordEntrySize * expectedRecordCount_;
    out_->Write(core::Bytes(*headRoom_, 0));
    streamed_.reserve(expectedRecordCount_);
  }
  const bool deleted = attributes & kRecordDelete;
  streamed_.push_back({.Flags = attributes,
                       .UniqueID = uniqueID & 0xFFFFFF,
                       .Size = deleted ? 0 : data.size(),
                       .WithoutData = deleted});
  if (!deleted) out_->Write(data);
  ++recordCount_;
}

void TPDBDataManager::FinishStreamedFile(bool writeCategories) {
  const core::Bytes head = BuildFileHead(writeCategories, std::move(streamed_));
  if (head.size() == *headRoom_) {
    out_->WriteAt(0, head);
  } else {
    MoveStreamedData(head);
  }
}

// The room left in front of the data does not fit the head: the data are copied once behind
// the right head into a new temporary file, which replaces the first.
void TPDBDataManager::MoveStreamedData(core::ByteSpan head) {
  auto moved = std::make_unique<core::AtomicFileWriter>(out_->FinalPath(), durability_);
  moved->Write(head);
  out_->Seal();
  std::ifstream in(out_->TempPath(), std::ios::binary);
  in.seekg(static_cast<std::streamoff>(*headRoom_));
  constexpr std::size_t kCopyChunk = 256 * 1024;
  core::Bytes chunk(kCopyChunk);
  for (std::uint64_t left = out_->Size() - *headRoom_; left > 0;) {
    const auto take = static_cast<std::size_t>(std::min<std::uint64_t>(left, kCopyChunk));
    if (!in.read(reinterpret_cast<char*>(chunk.data()), static_cast<std::streamsize>(take)))
      throw core::FileError("cannot read back " + out_->TempPath().string());
    moved->Write(core::ByteSpan(chunk).first(take));
    left -= take;
  }
  out_ = std::move(moved);  // removes the first temporary file
}

void TPDBDataManager::WriteRecordData(core::AtomicFileWriter& out) {
  for (const auto& node : records_)
    if (!(node.attributes & kRecordDelete)) out.Write(node.data);
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
  file_.Close();
  out_.reset();  // removes an uncommitted temporary file
  streamed_.clear();
  streamed_.shrink_to_fit();
  headRoom_.reset();
  recordCount_ = 0;
  currentIndex_ = -1;
  bof_ = eof_ = true;
  active_ = false;
}

// ---- TPDBDataFields ----------------------------------------------------------------------

TPDBDataFields::~TPDBDataFields() { CloseOnDestroy(); }

void TPDBDataFields::AppendRecord() {
  CheckAppend();
  AppendNode(RecordNode{std::move(recordData_), recordCategory_, recordAttributes_, recordUniqueID_});
  recordData_ = core::Bytes();
}

void TPDBDataFields::AppendRecordCopy(core::ByteSpan data) {
  CheckAppend();
  if (StreamRecords()) {
    AppendStreamed(recordAttributes_, recordUniqueID_, data);  // no buffer of its own needed
  } else {
    AppendNode(RecordNode{core::Bytes(data.begin(), data.end()), recordCategory_, recordAttributes_, recordUniqueID_});
  }
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
