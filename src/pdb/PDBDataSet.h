// TPDBDataSet: an in-memory data set whose records are loaded from a Palm database file when it
// opens and written back to that file, through a record engine, when it closes. Posting only
// changes the records in memory; the file is read at Open and written at Close.
//
// Use: set PDBFilename, DatabaseName, Directory, CreatorID, DatabaseType; fill the field list
// of the engine (FieldsPocketStudio for the default engine) with names and data types; Open;
// append or read records through FieldByName; Close.
//
// The engine is reached through one TPDBEngineAdapter per engine kind (PDBEngineAdapter.h); the
// data set only picks the adapter of Engine. An engine whose adapter is not built in fails at
// Open with "Engine ... is not available!".
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/DateTime.h"
#include "core/Files.h"
#include "pdb/PDBDataGlobals.h"
#include "pdb/PDBEngineAdapter.h"
#include "pdb/PDBPSField.h"
#include "dataset/PDBVirtualDataSet.h"

namespace pdb {

// The record engines, in ordinal order.
enum class TEngine : std::uint8_t { PocketStudio, NSBasic, AppForge, Java, SWSQLDriver };
inline constexpr std::size_t kEngineCount = 5;

// The engine's name as it appears in messages ("PocketStudio").
const char* EngineName(TEngine engine);

class TPDBDataSet : public dataset::TPDBVirtualDataSet {
 public:
  TPDBDataSet();
  // An open data set is dropped without writing its file.
  ~TPDBDataSet() override;

  // Open fails with 15100 when the data set is open already, 15110 when the selected engine's
  // field list is empty; Close fails with 15120 when it is not open. A failed Open leaves the
  // data set closed; a failed Close leaves it open with its records and the file as it was.
  void Open();
  void Close();
  bool Active() const { return dataset::TDataSet::Active(); }
  void Active(bool value) { value ? Open() : Close(); }

  // Properties. The setters check a value that differs from the current one (letter case
  // counts) and accept an empty or all-blank one without checks.
  const std::string& Directory() const { return directory_; }
  void SetDirectory(std::string value) { directory_ = std::move(value); }
  // Extension ".PDB" in any case (15080), characters 32..126 (15090).
  const std::string& PDBFilename() const { return pdbFilename_; }
  void SetPDBFilename(std::string value);
  // At most 31 characters after trimming (15020), characters 32..126 (15030).
  const std::string& DatabaseName() const { return databaseName_; }
  void SetDatabaseName(std::string value);
  // 4 characters after trimming (15040), letters and digits only (15050).
  const std::string& CreatorID() const { return creatorID_; }
  void SetCreatorID(std::string value);
  // 4 characters after trimming (15060), letters and digits only (15070).
  const std::string& DatabaseType() const { return databaseType_; }
  void SetDatabaseType(std::string value);
  // Written as the header's creation date; a date before 1990 (0 included) writes the time of
  // closing.
  core::TDateTime CreationDate() const { return creationDate_; }
  void SetCreationDate(core::TDateTime value) { creationDate_ = value; }
  // The header attribute word, as a set.
  TDBFlags DatabaseFlags() const { return TDBFlags::FromAttributes(attributes_); }
  void SetDatabaseFlags(TDBFlags flags) { attributes_ = flags.ToAttributes(); }
  // The engine used by the next Open and the Close that follows it (the engine an open data
  // set was opened with stays in use until it closes).
  TEngine Engine() const { return engine_; }
  void SetEngine(TEngine engine) { engine_ = engine; }

  // Off (the default): Close always writes the file anew. On: Close leaves a file that Open read
  // untouched when no record was posted or deleted and no file or header property changed in
  // between, for readers that only walk a database (no re-encoding, no sync for nothing). The
  // file then keeps what a rewrite would drop: records marked deleted, fields beyond the list.
  bool KeepsUnchangedFile() const { return keepsUnchangedFile_; }
  void SetKeepsUnchangedFile(bool value) { keepsUnchangedFile_ = value; }
  // Off (the default): Open loads every record into memory. On, for readers that walk a
  // database once from the first record to the last: Open reads only the header and the record
  // list and decodes the first live record; each Next decodes the next one straight into the
  // current record, and nothing is kept behind it. Eof, RecordCount (records not marked
  // deleted), FieldByName and the field reads work as usual; going back or changing records
  // fails (see TDataSet::IsUniDirectional). Close writes nothing and releases the file. Read by
  // Open; an open data set keeps the mode it was opened with.
  bool ForwardOnly() const { return forwardOnly_; }
  void SetForwardOnly(bool value) { forwardOnly_ = value; }
  // Whether Close syncs the file it writes (the default); a file the caller deletes again soon
  // needs no sync.
  core::Durability Durability() const { return durability_; }
  void SetDurability(core::Durability value) { durability_ = value; }

  // The field lists of the engines: one item per field, in record order.
  TPDBPSFields& FieldsPocketStudio() { return fieldsPocketStudio_; }
  const TPDBPSFields& FieldsPocketStudio() const { return fieldsPocketStudio_; }
  TPDBNSBFields& FieldsNSBasic() { return fieldsNSBasic_; }
  const TPDBNSBFields& FieldsNSBasic() const { return fieldsNSBasic_; }
  TPDBAFFields& FieldsAppForge() { return fieldsAppForge_; }
  const TPDBAFFields& FieldsAppForge() const { return fieldsAppForge_; }
  TPDBJavaFields& FieldsJava() { return fieldsJava_; }
  const TPDBJavaFields& FieldsJava() const { return fieldsJava_; }
  // Without "RowID": the engine puts it in front of these fields itself.
  TPDBSQLDriverFields& FieldsSQLDriver() { return fieldsSQLDriver_; }
  const TPDBSQLDriverFields& FieldsSQLDriver() const { return fieldsSQLDriver_; }

  // The file the data set reads and writes: trimmed Directory + separator + trimmed
  // PDBFilename.
  std::string FilePath() const;

 protected:
  // Checks, field definitions, and for engines that ask for it a trial open of the file.
  void InternalOpen() override;
  // Loads the header properties and every record of the file, when it exists.
  void InternalLoad() override;
  // Writes every record to the file through the engine.
  void InternalSave() override;
  bool PostsPendingEditOnClose() const override { return true; }
  // Forward only, the records are read from the file as the cursor reaches them.
  void InternalClose() override;
  int InternalRecordCount() const override;
  void InternalReadRecord(int position, dataset::TRecordBuffer& buffer) override;
  std::string Describe() const override { return "database " + FilePath(); }

 private:
  TPDBEngineAdapter& AdapterFor(TEngine engine);
  // The existing file whose name matches PDBFilename without regard to letter case.
  std::optional<std::filesystem::path> ExistingFile() const;
  // Points the engine at the existing file for reading.
  void PrepareRead(TPDBBaseMgr& engine, const std::filesystem::path& file) const;

  // What decides the file written at Close besides the records.
  struct FileProperties {
    std::string directory, pdbFilename, databaseName, creatorID, databaseType;
    double creationDays = 0;
    std::uint16_t attributes = 0;
    bool operator==(const FileProperties&) const = default;
  };
  FileProperties CurrentFileProperties() const;
  // Whether Close may leave the file as Open read it (KeepsUnchangedFile).
  bool FileUnchangedSinceLoad() const;

  std::string directory_;
  std::string pdbFilename_;
  std::string databaseName_;
  std::string creatorID_;
  std::string databaseType_;
  core::TDateTime creationDate_;
  std::uint16_t attributes_ = 0;
  TEngine engine_ = TEngine::PocketStudio;
  bool keepsUnchangedFile_ = false;
  bool forwardOnly_ = false;
  // Forward only: the file indexes of the records not marked deleted (position k of the data
  // set is record liveRecords_[k]) and the position read last.
  std::vector<std::int32_t> liveRecords_;
  int readPosition_ = -1;
  core::Durability durability_ = core::Durability::Synced;
  // Set by a load from an existing file: the properties and the store's change count right after.
  std::optional<std::pair<FileProperties, std::uint64_t>> loadedState_;

  // The field lists outlive the adapters that read them.
  TPDBPSFields fieldsPocketStudio_;
  TPDBNSBFields fieldsNSBasic_;
  TPDBAFFields fieldsAppForge_;
  TPDBJavaFields fieldsJava_;
  TPDBSQLDriverFields fieldsSQLDriver_;
  std::array<std::unique_ptr<TPDBEngineAdapter>, kEngineCount> adapters_;
  // The adapter the data set was opened with; null while closed.
  TPDBEngineAdapter* openAdapter_ = nullptr;
};

}  // namespace pdb
