// A Palm database file (PDB): a 78-byte header, a record list, an optional AppInfo block (with
// the standard category table), an optional SortInfo block and the record data.
//
// A database is either opened for reading (the header is read at once, records are read one by
// one as the cursor moves) or created for writing (records are collected in memory and the whole
// file is written on Close, or, when the owner announces how many records it posts, written to
// the file as they are posted and the head filled in on Close). The container knows nothing of
// what is inside a record: the record engines derive from it and plug into its virtual hooks.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/ByteArena.h"
#include "core/ByteIO.h"
#include "core/DateTime.h"
#include "core/Files.h"
#include "core/PalmDatabaseLayout.h"
#include "core/PalmFileReader.h"
#include "pdb/PDBDataGlobals.h"

namespace pdb {

// Record attribute flags, as held in memory (the high nibble of the entry's attribute byte).
inline constexpr std::uint8_t kRecAttrDelete = core::kPalmRecordDelete;
inline constexpr std::uint8_t kRecAttrDirty = core::kPalmRecordDirty;
inline constexpr std::uint8_t kRecAttrBusy = core::kPalmRecordBusy;
inline constexpr std::uint8_t kRecAttrSecret = core::kPalmRecordSecret;

// One record collected for writing. Handed to AppendRecordNode / InsertRecordNodeFront, its
// bytes are copied into the database's record store (or written to the file at once, see
// ExpectRecords), and the stored node's Data views them there until the database is closed or
// discarded.
struct RecordNode {
  std::uint8_t Category = 0;    // 0..15
  std::uint8_t Attributes = 0;  // 4 bits, kRecAttr*
  std::uint32_t UniqueID = 0;   // 24 bits used
  core::ByteSpan Data;
};

// A record read from the file by GetRecord.
struct TPDBRecordData {
  core::Bytes Data;  // empty for a record marked deleted
  std::uint8_t Category = 0;
  std::uint8_t Attributes = 0;
  std::uint32_t UniqueID = 0;
};

class TPDBDataManager {
 public:
  TPDBDataManager();
  virtual ~TPDBDataManager();
  TPDBDataManager(const TPDBDataManager&) = delete;
  TPDBDataManager& operator=(const TPDBDataManager&) = delete;

  // Properties. Setters validate only a value that differs from the current one; an empty or
  // all-blank value is accepted without checks.
  const std::string& Directory() const { return directory_; }
  void SetDirectory(std::string value) { directory_ = std::move(value); }
  const std::string& PDBFilename() const { return pdbFilename_; }
  void SetPDBFilename(std::string value);
  const std::string& DatabaseName() const { return header_.Name; }
  void SetDatabaseName(std::string value);
  TOpenMode OpenMode() const { return openMode_; }
  void SetOpenMode(TOpenMode value);
  // Whether a written file is synced to disk (core::Durability::Synced, the default).
  core::Durability Durability() const { return durability_; }
  void SetDurability(core::Durability value) { durability_ = value; }
  const std::string& CreatorID() const { return header_.Creator; }
  void SetCreatorID(std::string value);
  const std::string& DatabaseType() const { return header_.Type; }
  void SetDatabaseType(std::string value);
  core::TDateTime CreationDate() const { return header_.CreationDate; }
  void SetCreationDate(core::TDateTime value) { header_.CreationDate = value; }
  core::TDateTime ModificationDate() const { return header_.ModificationDate; }
  core::TDateTime BackupDate() const { return header_.BackupDate; }
  // The header attribute word as a set; setting it replaces the whole word.
  TDBFlags DatabaseFlags() const { return TDBFlags::FromAttributes(header_.Attributes); }
  void SetDatabaseFlags(TDBFlags flags) { header_.Attributes = flags.ToAttributes(); }

  std::uint16_t Attributes() const { return header_.Attributes; }
  std::uint16_t Version() const { return header_.Version; }
  std::uint32_t ModificationNumber() const { return header_.ModificationNumber; }
  std::uint32_t AppInfoOffset() const { return header_.AppInfoOffset; }
  std::uint32_t SortInfoOffset() const { return header_.SortInfoOffset; }
  std::uint32_t UniqueIDSeed() const { return header_.UniqueIDSeed; }
  std::uint32_t NextRecordListID() const { return header_.NextRecordListID; }
  // Read: the whole AppInfo block. Write: the bytes that follow the category block.
  const core::Bytes& AppInfoData() const { return appInfoData_; }
  void SetAppInfoData(core::Bytes data) { appInfoData_ = std::move(data); }
  const core::Bytes& SortInfoData() const { return sortInfoData_; }
  void SetSortInfoData(core::Bytes data) { sortInfoData_ = std::move(data); }
  // Write the standard category block at the start of AppInfo.
  bool WriteCategories() const { return writeCategories_; }
  void SetWriteCategories(bool value) { writeCategories_ = value; }
  TArrayCategories& CategoryNames() { return categories_.Names; }
  const TArrayCategories& CategoryNames() const { return categories_.Names; }
  TCategoryIDs& CategoryIDs() { return categories_.IDs; }
  const TCategoryIDs& CategoryIDs() const { return categories_.IDs; }

  std::uint16_t RecordCount() const { return recordCount_; }
  std::uint64_t FileSize() const { return fileSize_; }
  bool IsOpen() const { return open_; }
  std::int32_t CurrentIndex() const { return currentIndex_; }
  bool Bof() const { return bof_; }
  bool Eof();

  // The path of the file: trimmed Directory, a separator unless it ends with one, file name.
  std::string FilePath() const;

  void Open();
  void CreateDatabase();
  // Announces, right after CreateDatabase, that exactly `count` records will be posted before
  // Close. Unless the engine changes the head on Close (ChangesHeadOnClose), each record then
  // goes straight to the file as it is posted, behind room left for the head, and only its list
  // entry is kept: a database being written does not hold its records twice with an owner that
  // keeps them too. Close fills in the head; it fails with std::logic_error when a different
  // number of records was posted, and a failed Close releases the database (its records are
  // gone). Otherwise the record list is only made room for.
  void ExpectRecords(std::size_t count);
  void Close();
  // Releases the database without writing anything: a file being created is abandoned (its
  // temporary file removed, the earlier file untouched), a file being read is closed. Used by
  // an owner that gives up on a database after a failure; the object can be opened again.
  void Discard() noexcept;
  void First();
  void Next();
  // Makes record `index` (FirstRecordIndex .. LastRecordIndex) current and loads it, wherever
  // the cursor was: 11600 when not open, 11610 outside the records.
  void GoToRecord(std::int32_t index);
  // The indexes of the records of the file being read that are not marked deleted (those have
  // no data), in file order: taken from the record list Open holds, no record is read.
  std::vector<std::int32_t> LiveRecordIndexes();
  TPDBRecordData GetRecord(std::int32_t index);
  // The same into `record`, whose data buffer is reused (no allocation per record when the
  // records are read one after another). After a failure its contents are unspecified.
  void ReadRecord(std::int32_t index, TPDBRecordData& record);
  void ReadCategories();

 protected:
  // Moves the cursor onto record `index` without loading it (the checks of GoToRecord).
  void PositionAt(std::int32_t index);

  // Hooks for the record engines.
  virtual void LoadCurrentRecord() {}
  virtual void ReleaseRecordData() {}
  virtual void WriteDatabase(bool /*writeCategories*/) {}
  virtual void AfterOpen() {}
  virtual void BeforeCloseWrite() {}
  virtual void AfterReadHeader() {}
  virtual std::int32_t AdjustRecordCount(std::int32_t count) { return count; }
  virtual std::int32_t FirstRecordIndex() { return 0; }
  virtual std::int32_t LastRecordIndex() { return static_cast<std::int32_t>(recordCount_) - 1; }
  // Whether Close adds records or blocks to the head of the file, which then cannot be written
  // before the records (see ExpectRecords).
  virtual bool ChangesHeadOnClose() const { return false; }

  // The records collected for writing, in file order (none when they went to the file as
  // posted).
  const std::vector<RecordNode>& Records() const { return records_; }
  // Adds a record after the last one / before the first one; refuses a 65536th record. Records
  // written to the file as posted cannot be put in front.
  void AppendRecordNode(RecordNode node);
  void InsertRecordNodeFront(RecordNode node);
  // Writes the whole file (header, record list, AppInfo, SortInfo, data) to the output file, or
  // its head in front of the records already written there.
  void WriteFileImage(bool writeCategories);
  // The file being written between CreateDatabase and Close.
  core::AtomicFileWriter& OutputFile();
  // Sets the name as read or derived by an engine, without the setter's checks.
  void AssignDatabaseName(std::string value) { header_.Name = std::move(value); }
  // Releases the file of a read-only database after a record could not be decoded; the object
  // counts as closed, its memory stays until it is closed again or destroyed.
  void AbandonOpenFile();
  // Runs Close from a destructor when the database is still open, swallowing failures. Each
  // engine whose hooks take part in closing calls it from its own destructor, while its
  // overrides are still in place.
  void CloseOnDestroy() noexcept;

 private:
  // Everything of the file image before the record data, but the record list.
  core::PalmFileHead FileHead(bool writeCategories) const;
  // The same with the list of the collected records, built.
  core::Bytes BuildFileHead(bool writeCategories) const;
  void ReadHeader();
  // The AppInfo or SortInfo block from offset to end; one that cannot be read releases the
  // database and fails with failureId (code 10).
  core::Bytes ReadBlock(std::uint32_t offset, std::uint64_t end, int failureId);
  // Reads out.size() bytes at offset; false when they are not all there or cannot be read.
  bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) { return file_.ReadAt(offset, out); }
  std::uint32_t EntryOffset(std::uint32_t index);
  void ReleaseAll();
  void CheckRoomForRecord() const;

  std::string directory_;
  std::string pdbFilename_;
  TOpenMode openMode_ = dmModeReadOnly;
  core::PalmHeaderValues header_;  // as read, or to be written
  core::Bytes appInfoData_;
  core::Bytes sortInfoData_;
  std::uint16_t recordCount_ = 0;
  std::uint32_t fileRecordCount_ = 0;  // entries of the record list in the file being read
  core::Bytes recordList_;             // that record list, read whole at Open
  std::uint64_t fileSize_ = 0;
  bool open_ = false;
  bool bof_ = false;
  bool eof_ = false;
  std::int32_t currentIndex_ = -1;
  core::PalmCategoryBlock categories_;
  bool writeCategories_ = false;
  std::vector<RecordNode> records_;
  // The bytes of the collected records: no allocation per record, and little besides the bytes
  // themselves, since a database being written holds all its records until Close.
  core::TByteArena recordBytes_;
  // Records written to the file as posted (ExpectRecords): the room left for the head in front
  // of them, and their list entries.
  std::optional<std::uint64_t> streamedHeadRoom_;
  std::vector<core::PalmRecordToWrite> streamedRecords_;
  core::PalmFileReader file_;
  std::unique_ptr<core::AtomicFileWriter> output_;
  core::Durability durability_ = core::Durability::Synced;
};

}  // namespace pdb
