#include "pdb/PDBDataManager.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <stdexcept>
#include <system_error>

#include "core/Encoding.h"
#include "pdb/PDBPropertyRules.h"

namespace pdb {
namespace {

namespace fs = std::filesystem;

constexpr core::MessageText kMessages[] = {
    {10400, "Database name longer than 31 characters!", "Nome do Banco de Dados tem mais de 31 caracteres!"},
    {10410, "Invalid Database name!", "Nome do Banco de Dados inválido!"},
    {10600, "Creator ID must have 4 characters!", "CreatorID deve ter 4 caracteres!"},
    {10610, "Invalid Creator ID!", "CreatorID inválido!"},
    {10800, "Database Type must have 4 characters!", "DatabaseType deve ter 4 caracteres!"},
    {10810, "Invalid DatabaseType!", "DatabaseType Inválido!"},
    {11000, "PDB Filename must have .PDB extension!", "Nome do Arquivo PDB deve ter a extensão .PDB!"},
    {11010, "Invalid Filename!", "Nome do Arquivo Inválido!"},
    {11200, "Can´t change Open Mode while Database is open!",
     "Não é possível mudar o tipo de abertura de um Banco de Dados aberto!"},
    {11600, "Database not Open!", "Banco de Dados não está aberto!"},
    {11610, "Record does not exist!", "Registro não existe!"},
    {11640, "Error allocating memory for Record!", "Não é possível alocar memória para o Registro!"},
    {11650, "Error reading Record!", "Não é possível ler o Registro!"},
    {11660, "Cannot get record from a Write-Only Database!",
     "Não é possível obter um registro de um Banco de Dados exclusivo para gravação!"},
    {11800, "Database not open!", "Banco de Dados não está aberto!"},
    {12000, "Database not open!", "Banco de Dados não está aberto!"},
    {12010, "Cannot read Categories from a Write-Only Database!",
     "Não é possível ler as Categories de um Banco de dados exclusivo para gravação!"},
    {12020, "Database does not have Categories!", "Banco de Dados não tem Categories!"},
    {12030, "Could not read AppInfo Block!", "Não é possível ler AppInfo Block!"},
    {12040, "Invalid Categories List!", "Lista de Categories inválida!"},
    {13000, "Database is empty!", "Banco de Dados está vazio!"},
    {13010, "Cursor is already positioned beyond the last Record!",
     "Cursor já está posicionado depois do último Registro!"},
    {13800, "Error locating AppInfo Block!", "Não é possível localizar AppInfo Block!"},
    {13810, "Could not allocate memory for AppInfo Block!", "Não é possível alocar memória para o AppInfo Block!"},
    {13820, "Could not read AppInfo Block!", "Não é possível ler o AppInfo Block!"},
    {13900, "Error locating SortInfo Block!", "Não é possível localizar SortInfo Block!"},
    {13910, "Could not allocate memory for SortInfo Block!", "Não é possível alocar memória para o SortInfo Block!"},
    {13920, "Could not read SortInfo Block!", "Não é possível ler o SortInfo Block!"},
    {14000, "Database already open!", "Banco de Dados já está aberto!"},
    {14010, "Directory was not informed!", "Diretório não foi informado!"},
    {14020, "Filename was not informed!", "Nome do Arquivo PDB não foi informado!"},
    {14030, "PDB File does not exist!", "Arquivo PDB não existe!"},
    {14040, "Error assigning PDB File!", "Erro associando Arquivo PDB!"},
    {14050, "Error opening PDB File!", "Erro de abertura do Arquivo PDB!"},
    {14060, "File is not in Palm Database Format (PDB)!", "Arquivo não está no formato Palm Database (PDB)!"},
    {14080, "Cannot open a Write-Only Database!", "Não é possível abrir um Banco de Dados exclusivo para gravação!"},
    {14090, "Error reading AppInfo Block!", "Erro de leitura do AppInfo Block!"},
    {14100, "Error reading SortInfo Block!", "Erro de leitura do SortInfo Block!"},
    {14200, "Cannot write to a Read-Only Database!", "Não é possível criar um Banco de Dados exclusivo para leitura!"},
    {14210, "Database is open!", "Banco de Dados está aberto!"},
    {14220, "Directory was not informed!", "Diretório não foi informado!"},
    {14230, "Filename was not informed!", "Nome do Arquivo PDB não foi informado!"},
    {14240, "CreatorID was not properly informed!", "CreatorID não foi corretamente informado!"},
    {14250, "DatabaseType was not properly informed!", "DatabaseType não foi corretamente informado!"},
    {14260, "Error creating PDB File!", "Não é possível criar o arquivo PDB!"},
    {14270, "Database Name was not informed!", "Nome do Banco de Dados não foi informado!"},
    {14300, "A Palm database cannot hold more than 65535 records!",
     "Um Banco de Dados Palm não pode ter mais de 65535 registros!"},
};
constexpr core::MessageTable kTable{kMessages};

[[noreturn]] void Raise(int id, std::uint16_t code) { RaisePDBError(kTable, id, code); }

// Where the record list of a file of n records ends (without the gap behind it).
constexpr std::uint64_t RecordListEnd(std::uint64_t n) { return core::kPalmHeaderSize + core::kPalmRecordEntrySize * n; }

}  // namespace

TPDBDataManager::TPDBDataManager() : categories_(core::PalmCategoryBlock::Fresh()) {}

TPDBDataManager::~TPDBDataManager() { CloseOnDestroy(); }

void TPDBDataManager::CloseOnDestroy() noexcept {
  if (!open_) return;
  try {
    Close();
  } catch (...) {
    // A destructor cannot report; the earlier file stays as it was (the write is atomic).
  }
}

// ---- properties ----------------------------------------------------------------------------

void TPDBDataManager::SetPDBFilename(std::string value) {
  CheckProperty(core::PalmProperty::FileName, pdbFilename_, value, kTable, {11000, 11010});
  pdbFilename_ = std::move(value);
}

void TPDBDataManager::SetDatabaseName(std::string value) {
  CheckProperty(core::PalmProperty::DatabaseName, header_.Name, value, kTable, {10400, 10410});
  header_.Name = std::move(value);
}

void TPDBDataManager::SetOpenMode(TOpenMode value) {
  if (value != openMode_ && open_) Raise(11200, 1);
  openMode_ = value;
}

void TPDBDataManager::SetCreatorID(std::string value) {
  CheckProperty(core::PalmProperty::CreatorID, header_.Creator, value, kTable, {10600, 10610});
  header_.Creator = std::move(value);
}

void TPDBDataManager::SetDatabaseType(std::string value) {
  CheckProperty(core::PalmProperty::DatabaseType, header_.Type, value, kTable, {10800, 10810});
  header_.Type = std::move(value);
}

std::string TPDBDataManager::FilePath() const {
  std::string path(core::TrimBlanks(directory_));
  if (path.empty() || path.back() != core::kPathSeparator) path += core::kPathSeparator;
  return path + pdbFilename_;
}

// ---- reading -------------------------------------------------------------------------------

void TPDBDataManager::Open() {
  if (openMode_ == dmModeWriteOnly) Raise(14080, 9);
  if (open_) Raise(14000, 1);
  if (core::IsBlankText(directory_)) Raise(14010, 2);
  if (core::IsBlankText(pdbFilename_)) Raise(14020, 3);

  // The exact name first; names in the exchange directories match without regard to case.
  fs::path path = FilePath();
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) {
    auto found = core::FindNoCase(fs::path(std::string(core::TrimBlanks(directory_))), pdbFilename_);
    if (!found || !fs::is_regular_file(*found, ec)) RaisePDBError(kTable, 14030, 4, "database " + FilePath());
    path = *found;
  }

  if (!file_.Open(path)) RaisePDBError(kTable, 14050, 6, "database " + path.string() + ": " + std::strerror(errno));
  fileSize_ = file_.Size();
  appInfoData_.clear();
  sortInfoData_.clear();
  records_.clear();
  currentIndex_ = -1;
  bof_ = eof_ = false;

  ReadHeader();

  // A block runs to the next one, to the first record's data or to the end of the file.
  const std::uint64_t dataStart = fileRecordCount_ != 0 ? EntryOffset(0) : fileSize_;
  const std::uint32_t sortInfoOffset = header_.SortInfoOffset;
  if (header_.AppInfoOffset != 0)
    appInfoData_ = ReadBlock(header_.AppInfoOffset, sortInfoOffset != 0 ? sortInfoOffset : dataStart, 14090);
  if (sortInfoOffset != 0) sortInfoData_ = ReadBlock(sortInfoOffset, dataStart, 14100);

  open_ = true;
  try {
    AfterOpen();
    First();
  } catch (...) {
    // A database whose first record cannot be read is not left half open.
    ReleaseAll();
    throw;
  }
}

void TPDBDataManager::ReadHeader() {
  try {
    const std::optional<core::PalmDatabaseHeader> header = file_.ReadHeader();
    if (!header) Raise(14060, 7);
    header_ = core::PalmHeaderValues::FromHeader(*header);
    fileRecordCount_ = header->RecordCount;
    // The record list must be there in full before any entry is trusted.
    if (RecordListEnd(fileRecordCount_) > fileSize_) Raise(14060, 7);
    // The list is read in one go: records are then read with one seek each.
    recordList_.assign(core::kPalmRecordEntrySize * fileRecordCount_, 0);
    if (!ReadAt(core::kPalmHeaderSize, recordList_)) Raise(14060, 7);
    const std::int32_t count = AdjustRecordCount(static_cast<std::int32_t>(fileRecordCount_));
    recordCount_ = static_cast<std::uint16_t>(std::clamp<std::int32_t>(count, 0, core::kPalmMaxRecords));
    AfterReadHeader();
  } catch (const std::exception&) {
    file_.Close();
    recordCount_ = 0;
    fileRecordCount_ = 0;
    recordList_.clear();
    RaisePDBError(kTable, 14060, 7, "database " + FilePath());
  }
}

core::Bytes TPDBDataManager::ReadBlock(std::uint32_t offset, std::uint64_t end, int failureId) {
  try {
    if (auto block = file_.ReadBlock(offset, end)) return std::move(*block);
  } catch (const std::bad_alloc&) {
  }
  ReleaseAll();
  RaisePDBError(kTable, failureId, 10, "database " + FilePath());
}

std::uint32_t TPDBDataManager::EntryOffset(std::uint32_t index) {
  if (index >= fileRecordCount_) Raise(11650, 6);
  return core::LoadBE32(&recordList_[core::kPalmRecordEntrySize * index]);
}

TPDBRecordData TPDBDataManager::GetRecord(std::int32_t index) {
  TPDBRecordData record;
  ReadRecord(index, record);
  return record;
}

void TPDBDataManager::ReadRecord(std::int32_t index, TPDBRecordData& record) {
  if (!open_) Raise(11600, 1);
  if (openMode_ == dmModeWriteOnly) Raise(11660, 7);
  if (index < 0 || index > LastRecordIndex()) Raise(11610, 2);
  const auto at = static_cast<std::uint32_t>(index);
  if (at >= fileRecordCount_) Raise(11650, 6);

  // The entry and, unless it is the last one, the next entry's offset, which ends the record.
  const bool last = at + 1 == fileRecordCount_;
  core::BigEndianReader in(recordList_, core::kPalmRecordEntrySize * at);
  const core::PalmRecordEntry entry = core::PalmRecordEntry::Read(in);
  const std::uint32_t offset = entry.Offset;
  record.Attributes = static_cast<std::uint8_t>(entry.Attributes >> 4);
  record.Category = static_cast<std::uint8_t>(entry.Attributes & 0x0F);
  record.UniqueID = entry.UniqueID;
  if (record.Attributes & kRecAttrDelete) {
    record.Data.clear();
    return;
  }

  const std::uint64_t end = last ? fileSize_ : EntryOffset(at + 1);
  if (offset > fileSize_ || end < offset || end > fileSize_) Raise(11650, 6);
  try {
    // Resized, not cleared first: a buffer reused from record to record (records of a table are
    // about the same size) is then not zero-filled before the bytes are read over it.
    record.Data.resize(end - offset);
  } catch (const std::bad_alloc&) {
    Raise(11640, 5);
  }
  if (!ReadAt(offset, record.Data)) Raise(11650, 6);
}

void TPDBDataManager::ReadCategories() {
  categories_ = {};
  if (!open_) Raise(12000, 1);
  if (openMode_ == dmModeWriteOnly) Raise(12010, 2);
  if (header_.AppInfoOffset == 0) Raise(12020, 3);
  // Open reads the whole AppInfo block; an empty one cannot hold categories.
  if (appInfoData_.size() < core::kPalmCategoryBlockSize - 1) Raise(12040, 5);
  core::BigEndianReader in(appInfoData_);
  categories_ = core::PalmCategoryBlock::Read(in);
}

// ---- cursor --------------------------------------------------------------------------------

void TPDBDataManager::First() {
  if (recordCount_ == 0) return;
  currentIndex_ = FirstRecordIndex();
  bof_ = eof_ = false;
  LoadCurrentRecord();
}

void TPDBDataManager::Next() {
  if (recordCount_ == 0) {
    if (eof_ && bof_) Raise(13000, 1);
    bof_ = eof_ = true;
    return;
  }
  if (eof_) Raise(bof_ ? 13000 : 13010, bof_ ? 1 : 2);
  if (currentIndex_ == LastRecordIndex()) {
    bof_ = false;
    eof_ = true;
    return;
  }
  ++currentIndex_;
  LoadCurrentRecord();
}

void TPDBDataManager::PositionAt(std::int32_t index) {
  if (!open_) Raise(11600, 1);
  if (openMode_ == dmModeWriteOnly) Raise(11660, 7);
  if (index < FirstRecordIndex() || index > LastRecordIndex()) Raise(11610, 2);
  currentIndex_ = index;
  bof_ = eof_ = false;
}

void TPDBDataManager::GoToRecord(std::int32_t index) {
  PositionAt(index);
  LoadCurrentRecord();
}

std::vector<std::int32_t> TPDBDataManager::LiveRecordIndexes() {
  std::vector<std::int32_t> live;
  if (!open_ || openMode_ == dmModeWriteOnly) return live;
  const std::int32_t last = std::min<std::int32_t>(LastRecordIndex(), static_cast<std::int32_t>(fileRecordCount_) - 1);
  // Only the attribute byte of each entry is needed (after its 4-byte offset): decoding whole
  // entries was most of the cost of opening a database.
  constexpr std::size_t kAttributesAt = 4;
  for (std::int32_t index = std::max(FirstRecordIndex(), 0); index <= last; ++index) {
    const std::uint8_t attributes = recordList_[core::kPalmRecordEntrySize * static_cast<std::size_t>(index) + kAttributesAt];
    if (!((attributes >> 4) & kRecAttrDelete)) live.push_back(index);
  }
  return live;
}

bool TPDBDataManager::Eof() {
  if (recordCount_ == 0) bof_ = eof_ = true;
  return eof_;
}

// ---- writing -------------------------------------------------------------------------------

void TPDBDataManager::CreateDatabase() {
  if (openMode_ == dmModeReadOnly) Raise(14200, 1);
  if (open_) Raise(14210, 2);
  if (core::IsBlankText(directory_)) Raise(14220, 3);
  if (core::IsBlankText(pdbFilename_)) Raise(14230, 4);
  if (core::TrimBlanks(header_.Creator).size() != 4) Raise(14240, 5);
  if (core::TrimBlanks(header_.Type).size() != 4) Raise(14250, 6);
  if (core::IsBlankText(header_.Name)) Raise(14270, 8);

  // The file is written beside its final name and takes its place only when Close completes,
  // so an earlier file survives a failed write; creating the temporary file now shows at once
  // whether the file can be created at all.
  try {
    output_ = std::make_unique<core::AtomicFileWriter>(fs::path(FilePath()), durability_);
  } catch (const std::exception& e) {
    RaisePDBError(kTable, 14260, 7, e.what());  // the file error names the path and the reason
  }
  header_.Version = 0;
  header_.ModificationDate = core::TDateTime();
  header_.ModificationNumber = 0;
  header_.BackupDate = core::TDateTime();
  appInfoData_.clear();
  categories_ = core::PalmCategoryBlock::Fresh();
  records_.clear();
  recordBytes_.Clear();
  streamedHeadRoom_.reset();
  streamedRecords_.clear();
  recordCount_ = 0;
  currentIndex_ = -1;
  bof_ = eof_ = false;
  open_ = true;
}

void TPDBDataManager::ExpectRecords(std::size_t count) {
  const std::size_t listed = std::min<std::size_t>(count, core::kPalmMaxRecords);
  if (ChangesHeadOnClose() || !open_ || openMode_ != dmModeWriteOnly || recordCount_ != 0) {
    records_.reserve(listed);
    return;
  }
  // The head is written as zeros now and overwritten on Close; the records follow it. (More
  // than 65535 records fail on posting the one too many.)
  const std::uint64_t room = FileHead(writeCategories_).SizeFor(listed);
  OutputFile().Write(core::Bytes(static_cast<std::size_t>(room), 0));
  streamedRecords_.reserve(listed);
  streamedHeadRoom_ = room;
}

void TPDBDataManager::Close() {
  if (openMode_ == dmModeWriteOnly) BeforeCloseWrite();
  if (!open_) Raise(11800, 1);
  if (openMode_ == dmModeWriteOnly) {
    try {
      if (!output_) output_ = std::make_unique<core::AtomicFileWriter>(fs::path(FilePath()), durability_);
      WriteDatabase(writeCategories_);
      output_->Commit();
    } catch (...) {
      // Nothing reaches the final name; the next Close starts over with a fresh file, unless the
      // records went to the file that is now dropped: then nothing is left to write.
      output_.reset();
      if (streamedHeadRoom_) ReleaseAll();
      throw;
    }
  }
  ReleaseAll();
}

void TPDBDataManager::Discard() noexcept { ReleaseAll(); }

core::AtomicFileWriter& TPDBDataManager::OutputFile() {
  if (!output_) output_ = std::make_unique<core::AtomicFileWriter>(fs::path(FilePath()), durability_);
  return *output_;
}

void TPDBDataManager::CheckRoomForRecord() const {
  if (recordCount_ >= core::kPalmMaxRecords) Raise(14300, 11);
}

void TPDBDataManager::AppendRecordNode(RecordNode node) {
  CheckRoomForRecord();
  if (streamedHeadRoom_) {
    OutputFile().Write(node.Data);
    streamedRecords_.push_back({.Flags = node.Attributes, .UniqueID = node.UniqueID, .Size = node.Data.size()});
  } else {
    node.Data = recordBytes_.Copy(node.Data);
    records_.push_back(node);
  }
  ++recordCount_;
}

void TPDBDataManager::InsertRecordNodeFront(RecordNode node) {
  CheckRoomForRecord();
  if (streamedHeadRoom_) throw std::logic_error("no record can go in front of records written to " + FilePath());
  node.Data = recordBytes_.Copy(node.Data);
  records_.insert(records_.begin(), node);
  ++recordCount_;
}

void TPDBDataManager::WriteFileImage(bool writeCategories) {
  core::AtomicFileWriter& out = OutputFile();
  if (streamedHeadRoom_) {
    core::PalmFileHead head = FileHead(writeCategories);
    head.Records = std::move(streamedRecords_);
    const core::Bytes bytes = head.Build();
    if (bytes.size() != *streamedHeadRoom_)
      throw std::logic_error("the head of " + FilePath() + " does not fit the room left for it");
    out.WriteAt(0, bytes);
    return;
  }
  core::Bytes chunk = BuildFileHead(writeCategories);
  // Records go out in chunks of about this size: few writes, little memory.
  constexpr std::size_t kChunk = 64 * 1024;
  chunk.reserve(std::max(chunk.size(), kChunk));
  for (const auto& node : records_) {
    if (chunk.size() + node.Data.size() > kChunk && !chunk.empty()) {
      out.Write(chunk);
      chunk.clear();
    }
    if (node.Data.size() >= kChunk)
      out.Write(node.Data);
    else
      chunk.insert(chunk.end(), node.Data.begin(), node.Data.end());
  }
  if (!chunk.empty()) out.Write(chunk);
}

core::PalmFileHead TPDBDataManager::FileHead(bool writeCategories) const {
  // Version, backup date, modification number and next record list are written as 0 (they are
  // 0 after CreateDatabase), the modification date as the creation date; the unique-ID seed is
  // the one held.
  core::PalmFileHead head;
  head.Header = header_.HeaderToWrite();
  if (writeCategories) head.Categories = categories_;
  head.AppInfo = appInfoData_;
  head.SortInfo = sortInfoData_;
  return head;
}

core::Bytes TPDBDataManager::BuildFileHead(bool writeCategories) const {
  core::PalmFileHead head = FileHead(writeCategories);
  head.Records.reserve(records_.size());
  // The category is written as 0.
  for (const auto& node : records_)
    head.Records.push_back({.Flags = node.Attributes, .UniqueID = node.UniqueID, .Size = node.Data.size()});
  return head.Build();
}

// ---- releasing -----------------------------------------------------------------------------

void TPDBDataManager::AbandonOpenFile() {
  file_.Close();
  open_ = false;
}

void TPDBDataManager::ReleaseAll() {
  ReleaseRecordData();
  categories_ = {};
  appInfoData_.clear();
  sortInfoData_.clear();
  records_.clear();
  records_.shrink_to_fit();
  recordBytes_.Clear();
  streamedHeadRoom_.reset();
  streamedRecords_.clear();
  streamedRecords_.shrink_to_fit();
  file_.Close();
  output_.reset();
  recordCount_ = 0;
  fileRecordCount_ = 0;
  recordList_.clear();
  recordList_.shrink_to_fit();
  currentIndex_ = -1;
  bof_ = eof_ = false;
  open_ = false;
}

}  // namespace pdb
