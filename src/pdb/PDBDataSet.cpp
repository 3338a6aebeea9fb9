#include "pdb/PDBDataSet.h"

#include <algorithm>
#include <string_view>
#include <system_error>

#include "core/Encoding.h"
#include "core/Files.h"
#include "core/Messages.h"
#include "pdb/PDBPropertyRules.h"

namespace pdb {
namespace {

namespace fs = std::filesystem;

constexpr core::MessageText kMessages[] = {
    {15020, "Database name longer than 31 characters!", "Nome do Banco de Dados tem mais de 31 caracteres!"},
    {15030, "Invalid Database name!", "Nome do Banco de Dados inválido!"},
    {15040, "Creator ID must have 4 characters!", "CreatorID deve ter 4 caracteres!"},
    {15050, "Invalid Creator ID!", "CreatorID inválido!"},
    {15060, "Database Type must have 4 characters!", "DatabaseType deve ter 4 caracteres!"},
    {15070, "Invalid DatabaseType!", "DatabaseType Inválido!"},
    {15080, "PDB Filename must have .PDB extension!", "Nome do Arquivo PDB deve ter a extensão .PDB!"},
    {15090, "Invalid Filename!", "Nome do Arquivo Inválido!"},
    {15100, "DataSet is already open", "DataSet já está aberto"},
    {15110, "Fields are not defined", "Campos não estão definidos"},
    {15120, "DataSet is not open", "DataSet não está aberto"},
    {15130, "Engine %s is not available!", "Engine %s não está disponível!"},
};
constexpr core::MessageTable kTable{kMessages};

[[noreturn]] void Raise(int id, std::uint16_t code) { RaisePDBError(kTable, id, code); }

}  // namespace

const char* EngineName(TEngine engine) {
  switch (engine) {
    case TEngine::PocketStudio: return "PocketStudio";
    case TEngine::NSBasic: return "NSBasic";
    case TEngine::AppForge: return "AppForge";
    case TEngine::Java: return "Java";
    case TEngine::SWSQLDriver: return "SWSQLDriver";
  }
  return "?";
}

TPDBDataSet::TPDBDataSet() {
  adapters_[static_cast<std::size_t>(TEngine::PocketStudio)] =
      std::make_unique<TPDBPocketStudioAdapter>(fieldsPocketStudio_);
  adapters_[static_cast<std::size_t>(TEngine::NSBasic)] = std::make_unique<TPDBNSBasicAdapter>(fieldsNSBasic_);
  adapters_[static_cast<std::size_t>(TEngine::AppForge)] = std::make_unique<TPDBAppForgeAdapter>(fieldsAppForge_);
  adapters_[static_cast<std::size_t>(TEngine::Java)] = std::make_unique<TPDBJavaAdapter>(fieldsJava_);
  adapters_[static_cast<std::size_t>(TEngine::SWSQLDriver)] =
      std::make_unique<TPDBSQLDriverAdapter>(fieldsSQLDriver_);
}

TPDBDataSet::~TPDBDataSet() {
  // Nothing is written: an engine left open by a failure is dropped, the records go with the
  // store.
  for (auto& adapter : adapters_)
    if (adapter) adapter->Engine().Discard();
}

// ---- properties ----------------------------------------------------------------------------

void TPDBDataSet::SetPDBFilename(std::string value) {
  CheckProperty(core::PalmProperty::FileName, pdbFilename_, value, kTable, {15080, 15090});
  pdbFilename_ = std::move(value);
}

void TPDBDataSet::SetDatabaseName(std::string value) {
  CheckProperty(core::PalmProperty::DatabaseName, databaseName_, value, kTable, {15020, 15030});
  databaseName_ = std::move(value);
}

void TPDBDataSet::SetCreatorID(std::string value) {
  CheckProperty(core::PalmProperty::CreatorID, creatorID_, value, kTable, {15040, 15050});
  creatorID_ = std::move(value);
}

void TPDBDataSet::SetDatabaseType(std::string value) {
  CheckProperty(core::PalmProperty::DatabaseType, databaseType_, value, kTable, {15060, 15070});
  databaseType_ = std::move(value);
}

std::string TPDBDataSet::FilePath() const {
  return core::JoinPath(core::TrimBlanks(directory_), core::TrimBlanks(pdbFilename_));
}

// ---- opening and closing -------------------------------------------------------------------

void TPDBDataSet::Open() {
  if (dataset::TDataSet::Active()) Raise(15100, 1);
  dataset::TDataSet::Open();
}

void TPDBDataSet::Close() {
  if (!dataset::TDataSet::Active()) Raise(15120, 1);
  dataset::TDataSet::Close();
}

TPDBEngineAdapter& TPDBDataSet::AdapterFor(TEngine engine) {
  const auto index = static_cast<std::size_t>(engine);
  if (index >= adapters_.size() || !adapters_[index]) {
    std::string text = LoadPDBMessage(kTable, 15130);
    const auto at = text.find("%s");
    text.replace(at, 2, EngineName(engine));
    throw EPDBException(text, 3);
  }
  return *adapters_[index];
}

std::optional<fs::path> TPDBDataSet::ExistingFile() const {
  const std::string_view dir = core::TrimBlanks(directory_);
  const std::string_view name = core::TrimBlanks(pdbFilename_);
  if (dir.empty() || name.empty()) return std::nullopt;
  auto found = core::FindNoCase(fs::path(std::string(dir)), name);
  std::error_code ec;
  if (!found || !fs::is_regular_file(*found, ec)) return std::nullopt;
  return found;
}

void TPDBDataSet::PrepareRead(TPDBBaseMgr& engine, const fs::path& file) const {
  // The engine is given the name the file has on disk.
  engine.SetDirectory(std::string(core::TrimBlanks(directory_)));
  engine.SetPDBFilename(file.filename().string());
  engine.SetOpenMode(dmModeReadOnly);
}

void TPDBDataSet::InternalOpen() {
  openAdapter_ = nullptr;
  TPDBEngineAdapter& adapter = AdapterFor(engine_);
  if (adapter.FieldsEmpty()) Raise(15110, 2);
  TPDBBaseMgr& engine = adapter.Engine();
  engine.Discard();  // nothing may be left over from an earlier failure

  FieldDefs.Clear();
  adapter.DefineFields(FieldDefs);
  SetUniDirectional(forwardOnly_);

  // Read forward, the file is opened for good in InternalLoad, within the same Open.
  if (adapter.CheckFileOnOpen() && !forwardOnly_) {
    if (const auto file = ExistingFile()) {
      try {
        PrepareRead(engine, *file);
        engine.Open();
        engine.Close();
      } catch (...) {
        engine.Discard();
        throw;
      }
    }
  }
  openAdapter_ = &adapter;
}

TPDBDataSet::FileProperties TPDBDataSet::CurrentFileProperties() const {
  return {directory_, pdbFilename_, databaseName_, creatorID_, databaseType_, creationDate_.Days(), attributes_};
}

bool TPDBDataSet::FileUnchangedSinceLoad() const {
  return keepsUnchangedFile_ && loadedState_ && loadedState_->first == CurrentFileProperties() &&
         loadedState_->second == ChangeCount() && ExistingFile().has_value();
}

void TPDBDataSet::InternalLoad() {
  loadedState_.reset();
  const auto file = ExistingFile();
  if (!file) return;  // a new database: the data set starts empty

  TPDBBaseMgr& engine = openAdapter_->Engine();
  try {
    PrepareRead(engine, *file);
    engine.Open();
    databaseName_ = engine.DatabaseName();
    databaseType_ = engine.DatabaseType();
    creatorID_ = engine.CreatorID();
    creationDate_ = engine.CreationDate();
    attributes_ = engine.DatabaseFlags().ToAttributes();

    // A record marked deleted has no data and is no row of the table: loading it would bring
    // it back as a blank live record on the next close.
    std::vector<std::int32_t> live = engine.LiveRecordIndexes();
    if (IsUniDirectional()) {
      // The engine stays open: records are read as the cursor reaches them.
      liveRecords_ = std::move(live);
      readPosition_ = -1;
      return;
    }
    // Records go straight into the store: a bulk load, not an edit the application makes.
    dataset::TRecordBuffer record(RecordLayout());
    for (const std::int32_t index : live) {
      record.Reset();
      openAdapter_->ReadRecord(index, record);
      InternalPostRecord(record, dataset::TPostKind::Append, 0);
    }
    engine.Close();
  } catch (...) {
    engine.Discard();
    throw;
  }
  loadedState_.emplace(CurrentFileProperties(), ChangeCount());
}

void TPDBDataSet::InternalSave() {
  TPDBBaseMgr& engine = openAdapter_->Engine();
  engine.Discard();
  if (IsUniDirectional() || FileUnchangedSinceLoad()) {
    loadedState_.reset();
    openAdapter_ = nullptr;
    return;
  }
  loadedState_.reset();
  openAdapter_->PrepareSave();

  // An existing file is rewritten under the name it has on disk; a new one gets the name as
  // given.
  std::string filename(core::TrimBlanks(pdbFilename_));
  if (const auto file = ExistingFile()) filename = file->filename().string();

  try {
    engine.SetDirectory(std::string(core::TrimBlanks(directory_)));
    engine.SetPDBFilename(filename);
    engine.SetDatabaseName(databaseName_);
    engine.SetOpenMode(dmModeWriteOnly);
    engine.SetDurability(durability_);
    engine.SetCreatorID(creatorID_);
    engine.SetDatabaseType(databaseType_);
    engine.SetCreationDate(creationDate_);
    engine.SetDatabaseFlags(DatabaseFlags());
    engine.CreateDatabase();
    // The engine writes each record to the file as it is posted: the records are not held a
    // second time while the store still holds them.
    engine.ExpectRecords(static_cast<std::size_t>(InternalRecordCount()));

    // Every stored record is written, whatever the filter and the cursor say.
    dataset::TRecordBuffer record(RecordLayout());
    for (int i = 0; i < InternalRecordCount(); ++i) {
      Records(i).CopyTo(record);
      openAdapter_->SaveRecord(record);
    }
    // Writes the file through a temporary one that takes the final name only when complete.
    engine.Close();
  } catch (...) {
    // The earlier file stays as it was; the data set stays open with its records.
    engine.Discard();
    throw;
  }
  openAdapter_ = nullptr;
}

// ---- reading forward -----------------------------------------------------------------------

void TPDBDataSet::InternalClose() {
  TPDBVirtualDataSet::InternalClose();
  if (IsUniDirectional() && openAdapter_) {
    // Also after a failed Open: the file is released, nothing is written.
    openAdapter_->Engine().Discard();
    openAdapter_ = nullptr;
  }
  liveRecords_.clear();
  liveRecords_.shrink_to_fit();
  readPosition_ = -1;
}

int TPDBDataSet::InternalRecordCount() const {
  return IsUniDirectional() ? static_cast<int>(liveRecords_.size()) : TPDBVirtualDataSet::InternalRecordCount();
}

void TPDBDataSet::InternalReadRecord(int position, dataset::TRecordBuffer& buffer) {
  if (!IsUniDirectional()) {
    TPDBVirtualDataSet::InternalReadRecord(position, buffer);
    return;
  }
  // A record that could not be decoded released the file; the record that was current then
  // is gone with it and reads as empty (reading any other fails as the engine is closed).
  if (position == readPosition_ && !openAdapter_->Engine().IsOpen()) {
    buffer.Reset();
    return;
  }
  openAdapter_->ReadRecord(liveRecords_.at(static_cast<std::size_t>(position)), buffer);
  readPosition_ = position;
}

}  // namespace pdb
