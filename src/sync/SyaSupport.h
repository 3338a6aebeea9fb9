// The packer's own Palm database library: a database read record by record from its file or
// collected in memory and written whole on Close, with raw access to the header values, the
// AppInfo and SortInfo blocks and each record's bytes and attributes.
//
// File layout (big-endian): a 78-byte header, 8-byte record entries (data offset, attribute
// byte with the flags in the high nibble and the category in the low one, 24-bit unique ID),
// two zero bytes, the AppInfo block, the SortInfo block, the record data.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/ByteIO.h"
#include "core/DateTime.h"
#include "core/Files.h"
#include "core/PalmDatabaseLayout.h"
#include "core/PalmFileReader.h"
#include "sync/SyaException.h"
#include "sync/SyaFields.h"

namespace sya {

enum TOpenMode : std::uint8_t { dmModeReadOnly = 0, dmModeWriteOnly = 1 };

using TArrayCategories = core::PalmCategoryNames;

// Record attribute flags as held in memory (the high nibble of the entry's attribute byte).
inline constexpr std::uint8_t kRecordDelete = core::kPalmRecordDelete;
inline constexpr std::uint8_t kRecordDirty = core::kPalmRecordDirty;
inline constexpr std::uint8_t kRecordBusy = core::kPalmRecordBusy;
inline constexpr std::uint8_t kRecordSecret = core::kPalmRecordSecret;

// One record: what GetRecord returns and what the write list holds.
struct RecordNode {
  core::Bytes data;            // empty for a record flagged deleted when read
  std::uint8_t category = 0;   // 0..15
  std::uint8_t attributes = 0; // 4 bits, see kRecordDelete...
  std::uint32_t uniqueID = 0;  // 24 bits are stored
};

class TPDBDataManager {
 public:
  TPDBDataManager();
  virtual ~TPDBDataManager();
  TPDBDataManager(const TPDBDataManager&) = delete;
  TPDBDataManager& operator=(const TPDBDataManager&) = delete;

  // Properties. Setters check a new value only when it differs from the current one; a blank
  // value is taken without checks (CreateDatabase refuses what it cannot use).
  const std::string& Directory() const { return directory_; }
  void SetDirectory(std::string directory) { directory_ = std::move(directory); }
  const std::string& PDBFilename() const { return pdbFilename_; }
  void SetPDBFilename(std::string fileName);       // 2080, 2090
  const std::string& DatabaseName() const { return header_.Name; }
  void SetDatabaseName(std::string name);          // 2020, 2030
  TOpenMode OpenMode() const { return openMode_; }
  void SetOpenMode(TOpenMode mode);                // 2100; other values than 0 and 1 are ignored
  const std::string& CreatorID() const { return header_.Creator; }
  void SetCreatorID(std::string creator);          // 2040, 2050
  const std::string& DatabaseType() const { return header_.Type; }
  void SetDatabaseType(std::string type);          // 2060, 2070
  core::TDateTime CreationDate() const { return header_.CreationDate; }
  void SetCreationDate(core::TDateTime date) { header_.CreationDate = date; }
  // The raw header attribute word.
  std::uint16_t DatabaseFlags() const { return header_.Attributes; }
  void SetDatabaseFlags(std::uint16_t flags) { header_.Attributes = flags; }
  std::uint16_t Version() const { return header_.Version; }
  void SetVersion(std::uint16_t version) { header_.Version = version; }
  core::TDateTime ModificationDate() const { return header_.ModificationDate; }
  void SetModificationDate(core::TDateTime date) { header_.ModificationDate = date; }
  core::TDateTime BackupDate() const { return header_.BackupDate; }
  // The header's modification number; the unpacker hands it the 32-bit value it carries for it.
  std::uint32_t ModificationNumber() const { return header_.ModificationNumber; }
  void SetModificationNumber(std::uint32_t value) { header_.ModificationNumber = value; }
  std::uint32_t UniqueIDSeed() const { return header_.UniqueIDSeed; }
  std::uint32_t AppInfoOffset() const { return header_.AppInfoOffset; }
  std::uint32_t SortInfoOffset() const { return header_.SortInfoOffset; }
  // AppInfo and SortInfo bytes (read: the whole blocks; write: the bytes to write).
  const core::Bytes& AppInfoData() const { return appInfo_; }
  void SetAppInfoData(core::Bytes data) { appInfo_ = std::move(data); }
  const core::Bytes& SortInfoData() const { return sortInfo_; }
  void SetSortInfoData(core::Bytes data) { sortInfo_ = std::move(data); }
  // Write the standard 276-byte category block in front of the AppInfo bytes.
  bool WriteCategories() const { return writeCategories_; }
  void SetWriteCategories(bool write) { writeCategories_ = write; }
  // Whether the written file is synced to disk (see core::Durability); a database the same run
  // deletes again need not be. Synced unless set otherwise before CreateDatabase.
  core::Durability FileDurability() const { return durability_; }
  void SetFileDurability(core::Durability durability) { durability_ = durability; }
  // Write-only, set before CreateDatabase: appended records' bytes go at once into the database's
  // temporary file, behind room left for the header, the record list and the AppInfo and SortInfo
  // blocks, which Close writes into that room. Memory then stays at one list entry per record
  // whatever the data's size, and every record's bytes are written once. The room is measured at
  // the first record, for ExpectedRecordCount records and the blocks set by then; when it does not
  // fit at Close (another record count, a block set later) the data are copied once behind the
  // right head, so a wrong guess costs time, never a different file.
  bool StreamRecords() const { return streamRecords_; }
  void SetStreamRecords(bool stream) { streamRecords_ = stream; }
  std::uint16_t ExpectedRecordCount() const { return expectedRecordCount_; }
  void SetExpectedRecordCount(std::uint16_t count) { expectedRecordCount_ = count; }

  std::uint16_t RecordCount() const { return recordCount_; }
  std::uint64_t FileSize() const { return fileSize_; }
  bool Active() const { return active_; }
  bool Bof() const { return bof_; }
  bool Eof() const { return eof_; }
  std::int32_t CurrentIndex() const { return currentIndex_; }

  // Opens the file for reading: the header and the AppInfo and SortInfo blocks are read now,
  // records when the cursor reaches them.
  void Open();
  // Starts a database for writing. The file is written through a temporary file that Close
  // renames over the name, so an earlier file of that name stays whole until then.
  void CreateDatabase();
  // Write-only: writes the file. Then releases everything.
  void Close();
  // Write-only: writes the file into its temporary file and seals it, releases everything and
  // hands over the writer, whose Commit puts the file in place (destroying it drops the file).
  // Lets a caller finish several databases before any of them replaces an earlier file.
  std::unique_ptr<core::AtomicFileWriter> CloseStaged();
  // Releases everything without writing; an unfinished file's temporary file is removed.
  void Abandon();

  void First();
  void Next();

  // A record of a database open for reading; no data for a record flagged deleted.
  RecordNode GetRecord(std::int32_t index);

 protected:
  virtual void LoadCurrentRecord() {}
  virtual void ReleaseRecordData() {}
  // Writes the whole file to `out` (Close in write-only mode).
  virtual void WriteDatabase(bool /*writeCategories*/, core::AtomicFileWriter& /*out*/) {}
  virtual void AfterOpen() {}
  virtual void BeforeCloseWrite() {}
  virtual void AfterReadHeader() {}
  virtual std::uint16_t AdjustRecordCount(std::uint16_t count) { return count; }
  virtual std::int32_t FirstRecordIndex() { return 0; }
  virtual std::int32_t LastRecordIndex() { return static_cast<std::int32_t>(recordCount_) - 1; }

  // Writes the header, entries, category block and AppInfo/SortInfo blocks of the file, for the
  // appended records in list order; the record data follow them.
  void WriteFileHead(core::AtomicFileWriter& out, bool writeCategories);
  // Write-only: refuses an append to a closed database, to one open for reading (2540) and a
  // 65536th record (2620).
  void CheckAppend() const;
  // Write-only: the list takes `node`; with StreamRecords its data go to the file.
  void AppendNode(RecordNode node);
  // StreamRecords: lists a record and writes its data (none when flagged deleted) to the file.
  void AppendStreamed(std::uint8_t attributes, std::uint32_t uniqueID, core::ByteSpan data);
  // Writes the data of the records not flagged deleted, in list order.
  void WriteRecordData(core::AtomicFileWriter& out);

  // For destructors: an open database is closed (a write-only one written) unless an exception
  // is unwinding the stack, in which case it is abandoned so that no half-built file lands
  // under its name. Never throws.
  void CloseOnDestroy() noexcept;

  std::vector<RecordNode> records_;  // write-only: the records collected for writing
  std::uint16_t recordCount_ = 0;

 private:
  struct Entry {
    std::uint32_t offset = 0;
    std::uint32_t end = 0;  // where its data end: the next entry's data or the end of the file
    std::uint8_t attributes = 0;
    std::uint32_t uniqueID = 0;
  };
  std::filesystem::path FilePath() const;
  // Header, record list, category block, AppInfo and SortInfo for `records` in file order.
  core::Bytes BuildFileHead(bool writeCategories, std::vector<core::PalmRecordToWrite> records) const;
  // StreamRecords: writes the head into the room left for it, or moves the data behind it.
  void FinishStreamedFile(bool writeCategories);
  void MoveStreamedData(core::ByteSpan head);
  void ReadAt(std::uint64_t offset, std::span<std::uint8_t> out);
  void ReadHeader();
  core::Bytes ReadBlock(std::uint32_t offset, std::uint64_t end, int failureId);
  std::uint64_t FirstDataOffset();
  void LoadEntries();
  void ReleaseAll();

  std::string directory_, pdbFilename_;
  TOpenMode openMode_ = dmModeReadOnly;
  core::PalmHeaderValues header_;  // as read, or to be written
  core::Bytes appInfo_, sortInfo_;
  bool writeCategories_ = false;
  std::uint64_t fileSize_ = 0;
  bool active_ = false, bof_ = true, eof_ = true;
  std::int32_t currentIndex_ = -1;
  core::PalmCategoryBlock categories_;
  int uncaughtAtCreation_ = 0;

  core::PalmFileReader file_;
  std::uint16_t headerRecordCount_ = 0;
  std::vector<Entry> entries_;
  bool entriesLoaded_ = false;
  std::unique_ptr<core::AtomicFileWriter> out_;
  core::Durability durability_ = core::Durability::Synced;
  bool streamRecords_ = false;
  std::uint16_t expectedRecordCount_ = 0;
  // StreamRecords: the appended records' list entries (their data are in out_ already) and the
  // bytes left in front of the data for the head, once the first record is written.
  std::vector<core::PalmRecordToWrite> streamed_;
  std::optional<std::size_t> headRoom_;
};

// A database with one current record held as raw bytes, an in-memory list that whole records are
// appended to for writing, and a field list the current record can be decoded into.
class TPDBDataFields : public TPDBDataManager {
 public:
  TPDBDataFields() = default;
  ~TPDBDataFields() override;

  TPDBFields& Fields() { return fields_; }

  // The current record. Read-only: replaced on every cursor move. Write-only: the record the
  // next AppendRecord appends.
  const core::Bytes& RecordData() const { return recordData_; }
  void SetRecordData(core::Bytes data) { recordData_ = std::move(data); }
  std::int32_t RecordSize() const { return static_cast<std::int32_t>(recordData_.size()); }
  std::uint8_t RecordCategory() const { return recordCategory_; }
  void SetRecordCategory(std::uint8_t category) { recordCategory_ = category & 0x0F; }
  std::uint8_t RecordAttributes() const { return recordAttributes_; }
  void SetRecordAttributes(std::uint8_t attributes) { recordAttributes_ = attributes & 0x0F; }
  std::uint32_t RecordUniqueID() const { return recordUniqueID_; }
  void SetRecordUniqueID(std::uint32_t id) { recordUniqueID_ = id; }

  // Write-only: moves the current record to the end of the record list (RecordData is empty
  // afterwards). Refuses a 65536th record (2620).
  void AppendRecord();
  // Write-only: appends a record of the current attributes, category and unique ID holding a copy
  // of `data`; RecordData is left alone. With StreamRecords the bytes go straight to the file.
  void AppendRecordCopy(core::ByteSpan data);
  // The bytes of the last appended record, which the caller may still fill or grow (not with
  // StreamRecords).
  core::Bytes& LastRecordData();
  // Gives the first listed record whose buffer is `oldBuffer` the new bytes; nothing happens when
  // no record holds that buffer.
  void ReplaceRecordData(const std::uint8_t* oldBuffer, core::Bytes newData);
  // Drops the appended records after the first `count` (to undo an unfinished append).
  void TruncateRecordList(std::size_t count);

  // Fills every field of Fields from the current record (2660 when they do not fit).
  void DecodeFields() { sya::DecodeFields(fields_, recordData_); }

 protected:
  void LoadCurrentRecord() override;
  void ReleaseRecordData() override;
  void WriteDatabase(bool writeCategories, core::AtomicFileWriter& out) override;

 private:
  TPDBFields fields_;
  core::Bytes recordData_;
  std::uint8_t recordCategory_ = 0;
  std::uint8_t recordAttributes_ = 0;
  std::uint32_t recordUniqueID_ = 0;
};

}  // namespace sya
