#include "pdb/PDBDataManager.h"

#include <algorithm>
#include <array>
#include <limits>
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

// Header field offsets.
constexpr std::size_t kOffRecordCount = 76;
static_assert(kOffRecordCount + 2 == kPDBHeaderSize);

// Bytes of the record list in a file of n records, with the gap behind it.
constexpr std::uint64_t RecordListEnd(std::uint64_t n) { return kPDBHeaderSize + kPDBRecordEntrySize * n; }

}  // namespace

TPDBDataManager::TPDBDataManager() { ResetCategories(); }

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
  CheckPDBFilename(pdbFilename_, value, kTable, {11000, 11010});
  pdbFilename_ = std::move(value);
}

void TPDBDataManager::SetDatabaseName(std::string value) {
  CheckDatabaseName(databaseName_, value, kTable, {10400, 10410});
  databaseName_ = std::move(value);
}

void TPDBDataManager::SetOpenMode(TOpenMode value) {
  if (value != openMode_ && open_) Raise(11200, 1);
  openMode_ = value;
}

void TPDBDataManager::SetCreatorID(std::string value) {
  CheckFourCharCode(creatorID_, value, kTable, {10600, 10610});
  creatorID_ = std::move(value);
}

void TPDBDataManager::SetDatabaseType(std::string value) {
  CheckFourCharCode(databaseType_, value, kTable, {10800, 10810});
  databaseType_ = std::move(value);
}

std::string TPDBDataManager::FilePath() const {
  std::string path(core::TrimBlanks(directory_));
  if (path.empty() || path.back() != core::kPathSeparator) path += core::kPathSeparator;
  return path + pdbFilename_;
}

// ---- reading -------------------------------------------------------------------------------

bool TPDBDataManager::ReadFromFile(std::uint64_t offset, std::span<std::uint8_t> out) {
  input_.clear();
  input_.seekg(static_cast<std::streamoff>(offset));
  if (!input_) return false;
  if (!out.empty()) input_.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
  return static_cast<bool>(input_);
}

bool TPDBDataManager::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) {
  constexpr std::size_t kReadWindow = 64 * 1024;
  if (offset > fileSize_ || out.size() > fileSize_ - offset) return false;
  if (out.size() >= kReadWindow) return ReadFromFile(offset, out);
  if (offset < readWindowStart_ || offset + out.size() > readWindowStart_ + readWindow_.size()) {
    readWindow_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kReadWindow, fileSize_ - offset)));
    readWindowStart_ = offset;
    if (!ReadFromFile(offset, readWindow_)) {
      readWindow_.clear();
      return false;
    }
  }
  const auto from = readWindow_.begin() + static_cast<std::ptrdiff_t>(offset - readWindowStart_);
  std::copy(from, from + static_cast<std::ptrdiff_t>(out.size()), out.begin());
  return true;
}

void TPDBDataManager::Open() {
  if (openMode_ == dmModeWriteOnly) Raise(14080, 9);
  if (open_) Raise(14000, 1);
  if (IsBlankText(directory_)) Raise(14010, 2);
  if (IsBlankText(pdbFilename_)) Raise(14020, 3);

  // The exact name first; names in the exchange directories match without regard to case.
  fs::path path = FilePath();
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) {
    auto found = core::FindNoCase(fs::path(std::string(core::TrimBlanks(directory_))), pdbFilename_);
    if (!found || !fs::is_regular_file(*found, ec)) Raise(14030, 4);
    path = *found;
  }

  input_ = std::ifstream();
  readWindow_.clear();
  readWindowStart_ = 0;
  // Every read seeks first; a stream buffer would be refilled at every seek, so reads go to the
  // file directly, small ones through the read-ahead window (ReadAt).
  input_.rdbuf()->pubsetbuf(nullptr, 0);
  input_.open(path, std::ios::binary);
  if (!input_) Raise(14050, 6);
  const auto size = fs::file_size(path, ec);
  if (ec) {
    input_.close();
    Raise(14050, 6);
  }
  fileSize_ = size;
  appInfoData_.clear();
  sortInfoData_.clear();
  records_.clear();
  currentIndex_ = -1;
  bof_ = eof_ = false;

  ReadHeader();

  if (appInfoOffset_ != 0) {
    try {
      const std::uint64_t end = sortInfoOffset_ != 0 ? sortInfoOffset_
                                : fileRecordCount_ != 0 ? EntryOffset(0)
                                                        : fileSize_;
      if (appInfoOffset_ > fileSize_) Raise(13800, 1);
      if (end < appInfoOffset_ || end > fileSize_) Raise(13810, 2);
      appInfoData_ = ReadBlock(appInfoOffset_, static_cast<std::uint32_t>(end));
    } catch (const std::exception&) {
      ReleaseAll();
      Raise(14090, 10);
    }
  }
  if (sortInfoOffset_ != 0) {
    try {
      const std::uint64_t end = fileRecordCount_ != 0 ? EntryOffset(0) : fileSize_;
      if (sortInfoOffset_ > fileSize_) Raise(13900, 1);
      if (end < sortInfoOffset_ || end > fileSize_) Raise(13910, 2);
      sortInfoData_ = ReadBlock(sortInfoOffset_, static_cast<std::uint32_t>(end));
    } catch (const std::exception&) {
      ReleaseAll();
      Raise(14100, 10);
    }
  }

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
  std::array<std::uint8_t, kPDBHeaderSize> header{};
  try {
    if (fileSize_ < kPDBHeaderSize || !ReadAt(0, header)) Raise(14060, 7);
    core::BigEndianReader in(header);
    core::PalmDatabaseHeader fields = core::PalmDatabaseHeader::Read(in);
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
    fileRecordCount_ = fields.RecordCount;
    // The record list must be there in full before any entry is trusted.
    if (RecordListEnd(fileRecordCount_) > fileSize_) Raise(14060, 7);
    // The list is read in one go: records are then read with one seek each.
    recordList_.assign(kPDBRecordEntrySize * fileRecordCount_, 0);
    if (!ReadAt(kPDBHeaderSize, recordList_)) Raise(14060, 7);
    const std::int32_t count = AdjustRecordCount(static_cast<std::int32_t>(fileRecordCount_));
    recordCount_ = static_cast<std::uint16_t>(std::clamp<std::int32_t>(count, 0, kPDBMaxRecords));
    AfterReadHeader();
  } catch (const std::exception&) {
    input_.close();
    recordCount_ = 0;
    fileRecordCount_ = 0;
    recordList_.clear();
    Raise(14060, 7);
  }
}

core::Bytes TPDBDataManager::ReadBlock(std::uint32_t offset, std::uint32_t end) {
  core::Bytes block(end - offset);
  if (!ReadAt(offset, block)) throw std::runtime_error("short read");
  return block;
}

std::uint32_t TPDBDataManager::EntryOffset(std::uint32_t index) {
  if (index >= fileRecordCount_) Raise(11650, 6);
  return core::LoadBE32(&recordList_[kPDBRecordEntrySize * index]);
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
  core::BigEndianReader in(recordList_, kPDBRecordEntrySize * at);
  const core::PalmRecordEntry entry = core::PalmRecordEntry::Read(in);
  const std::uint32_t offset = entry.Offset;
  record.Data.clear();
  record.Attributes = static_cast<std::uint8_t>(entry.Attributes >> 4);
  record.Category = static_cast<std::uint8_t>(entry.Attributes & 0x0F);
  record.UniqueID = entry.UniqueID;
  if (record.Attributes & kRecAttrDelete) return;

  const std::uint64_t end = last ? fileSize_ : EntryOffset(at + 1);
  if (offset > fileSize_ || end < offset || end > fileSize_) Raise(11650, 6);
  try {
    record.Data.resize(end - offset);
  } catch (const std::bad_alloc&) {
    Raise(11640, 5);
  }
  if (!ReadAt(offset, record.Data)) Raise(11650, 6);
}

void TPDBDataManager::ReadCategories() {
  categoryNames_ = {};
  categoryIDs_ = {};
  if (!open_) Raise(12000, 1);
  if (openMode_ == dmModeWriteOnly) Raise(12010, 2);
  if (appInfoOffset_ == 0) Raise(12020, 3);
  // Open reads the whole AppInfo block; an empty one cannot hold categories.
  if (appInfoData_.size() < kPDBCategoryBlockSize - 1) Raise(12040, 5);
  core::BigEndianReader in(appInfoData_);
  in.Skip(2);  // bit mask of changed names
  for (auto& name : categoryNames_) {
    const auto bytes = in.Take(16);
    name.assign(bytes.begin(), std::find(bytes.begin(), bytes.end(), std::uint8_t{0}));
  }
  const auto ids = in.Take(categoryIDs_.size());
  std::copy(ids.begin(), ids.end(), categoryIDs_.begin());
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

bool TPDBDataManager::Eof() {
  if (recordCount_ == 0) bof_ = eof_ = true;
  return eof_;
}

// ---- writing -------------------------------------------------------------------------------

void TPDBDataManager::CreateDatabase() {
  if (openMode_ == dmModeReadOnly) Raise(14200, 1);
  if (open_) Raise(14210, 2);
  if (IsBlankText(directory_)) Raise(14220, 3);
  if (IsBlankText(pdbFilename_)) Raise(14230, 4);
  if (core::TrimBlanks(creatorID_).size() != 4) Raise(14240, 5);
  if (core::TrimBlanks(databaseType_).size() != 4) Raise(14250, 6);
  if (IsBlankText(databaseName_)) Raise(14270, 8);

  // The file is written beside its final name and takes its place only when Close completes,
  // so an earlier file survives a failed write; creating the temporary file now shows at once
  // whether the file can be created at all.
  try {
    output_ = std::make_unique<core::AtomicFileWriter>(fs::path(FilePath()));
  } catch (const std::exception&) {
    Raise(14260, 7);
  }
  version_ = 0;
  modificationDate_ = core::TDateTime();
  modificationNumber_ = 0;
  backupDate_ = core::TDateTime();
  appInfoData_.clear();
  ResetCategories();
  records_.clear();
  storeBlocks_.clear();
  storeBlockUsed_ = storeBlockCapacity_ = 0;
  recordCount_ = 0;
  currentIndex_ = -1;
  bof_ = eof_ = false;
  open_ = true;
}

void TPDBDataManager::Close() {
  if (openMode_ == dmModeWriteOnly) BeforeCloseWrite();
  if (!open_) Raise(11800, 1);
  if (openMode_ == dmModeWriteOnly) {
    try {
      if (!output_) output_ = std::make_unique<core::AtomicFileWriter>(fs::path(FilePath()));
      WriteDatabase(writeCategories_);
      output_->Commit();
    } catch (...) {
      // Nothing reaches the final name; the next Close starts over with a fresh file.
      output_.reset();
      throw;
    }
  }
  ReleaseAll();
}

void TPDBDataManager::Discard() noexcept { ReleaseAll(); }

core::AtomicFileWriter& TPDBDataManager::OutputFile() {
  if (!output_) output_ = std::make_unique<core::AtomicFileWriter>(fs::path(FilePath()));
  return *output_;
}

void TPDBDataManager::CheckRoomForRecord() const {
  if (records_.size() >= kPDBMaxRecords) Raise(14300, 11);
}

core::ByteSpan TPDBDataManager::StoreRecordBytes(core::ByteSpan bytes) {
  if (bytes.empty()) return {};
  if (storeBlocks_.empty() || storeBlockCapacity_ - storeBlockUsed_ < bytes.size()) {
    const std::size_t capacity = std::max(kStoreBlockSize, bytes.size());
    storeBlocks_.push_back(std::make_unique_for_overwrite<std::uint8_t[]>(capacity));
    storeBlockCapacity_ = capacity;
    storeBlockUsed_ = 0;
  }
  std::uint8_t* const at = storeBlocks_.back().get() + storeBlockUsed_;
  std::copy(bytes.begin(), bytes.end(), at);
  storeBlockUsed_ += bytes.size();
  return {at, bytes.size()};
}

void TPDBDataManager::AppendRecordNode(RecordNode node) {
  CheckRoomForRecord();
  node.Data = StoreRecordBytes(node.Data);
  records_.push_back(node);
  recordCount_ = static_cast<std::uint16_t>(records_.size());
}

void TPDBDataManager::InsertRecordNodeFront(RecordNode node) {
  CheckRoomForRecord();
  node.Data = StoreRecordBytes(node.Data);
  records_.insert(records_.begin(), node);
  recordCount_ = static_cast<std::uint16_t>(records_.size());
}

core::Bytes TPDBDataManager::BuildFileImage(bool writeCategories) const {
  core::Bytes image = BuildFileHead(writeCategories);
  for (const auto& node : records_) image.insert(image.end(), node.Data.begin(), node.Data.end());
  return image;
}

void TPDBDataManager::WriteFileImage(bool writeCategories) {
  core::AtomicFileWriter& out = OutputFile();
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

core::Bytes TPDBDataManager::BuildFileHead(bool writeCategories) const {
  const std::uint64_t n = records_.size();
  const std::uint64_t listEnd = RecordListEnd(n) + kPDBRecordListGap;
  const std::uint64_t appInfoSize = (writeCategories ? kPDBCategoryBlockSize : 0) + appInfoData_.size();
  const std::uint64_t appInfoOffset = appInfoSize != 0 ? listEnd : 0;
  // The SortInfo block follows the AppInfo block, or the record list when there is no AppInfo.
  const std::uint64_t sortInfoOffset = sortInfoData_.empty() ? 0 : listEnd + appInfoSize;
  std::uint64_t dataSize = 0;
  for (const auto& node : records_) dataSize += node.Data.size();
  const std::uint64_t total = listEnd + appInfoSize + sortInfoData_.size() + dataSize;
  if (total > std::numeric_limits<std::uint32_t>::max()) throw std::length_error("database larger than 4 GB");

  const core::TDateTime earliest = core::TDateTime::FromDate(1990, 1, 1).value();
  const std::uint32_t created = (creationDate_ >= earliest ? creationDate_ : core::TDateTime::Now()).ToPalmSeconds();

  core::Bytes image;
  image.reserve(static_cast<std::size_t>(total - dataSize));
  core::BigEndianWriter out(image);
  // Version, backup date, modification number and next record list are written as 0, the
  // modification date as the creation date.
  core::PalmDatabaseHeader header;
  header.Name = databaseName_;
  header.Attributes = attributes_;
  header.CreationSeconds = created;
  header.ModificationSeconds = created;
  header.AppInfoOffset = static_cast<std::uint32_t>(appInfoOffset);
  header.SortInfoOffset = static_cast<std::uint32_t>(sortInfoOffset);
  header.Type = databaseType_;
  header.Creator = creatorID_;
  header.UniqueIDSeed = uniqueIDSeed_;
  header.RecordCount = static_cast<std::uint16_t>(n);
  header.Write(out);

  std::uint64_t dataOffset = listEnd + appInfoSize + sortInfoData_.size();
  for (const auto& node : records_) {
    // The category is written as 0.
    core::PalmRecordEntry{.Offset = static_cast<std::uint32_t>(dataOffset),
                          .Attributes = static_cast<std::uint8_t>((node.Attributes & 0x0F) << 4),
                          .UniqueID = node.UniqueID}
        .Write(out);
    dataOffset += node.Data.size();
  }
  out.Zeros(kPDBRecordListGap);

  if (writeCategories) {
    out.U16(0);  // bit mask of changed names
    for (const auto& name : categoryNames_) out.FixedText(name, 16);
    out.Append(core::ByteSpan(categoryIDs_));
    out.U8(0);  // padding
  }
  out.Append(appInfoData_);
  out.Append(sortInfoData_);
  return image;
}

// ---- releasing -----------------------------------------------------------------------------

void TPDBDataManager::ResetCategories() {
  categoryNames_ = {};
  for (std::size_t i = 0; i < 16; ++i) categoryIDs_[i] = static_cast<std::uint8_t>(i);
  categoryIDs_[16] = 15;
}

void TPDBDataManager::AbandonOpenFile() {
  input_.close();
  open_ = false;
}

void TPDBDataManager::ReleaseAll() {
  ReleaseRecordData();
  categoryNames_ = {};
  categoryIDs_ = {};
  appInfoData_.clear();
  sortInfoData_.clear();
  records_.clear();
  records_.shrink_to_fit();
  storeBlocks_.clear();
  storeBlocks_.shrink_to_fit();
  storeBlockUsed_ = storeBlockCapacity_ = 0;
  input_.close();
  output_.reset();
  recordCount_ = 0;
  fileRecordCount_ = 0;
  recordList_.clear();
  recordList_.shrink_to_fit();
  readWindow_.clear();
  readWindow_.shrink_to_fit();
  readWindowStart_ = 0;
  currentIndex_ = -1;
  bof_ = eof_ = false;
  open_ = false;
}

}  // namespace pdb
