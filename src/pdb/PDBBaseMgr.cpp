#include "pdb/PDBBaseMgr.h"

#include "core/Messages.h"

namespace pdb {
namespace {

constexpr core::MessageText kMessages[] = {
    {60010, "Not in Append mode!", "Não está em modo Append!"},
    {60030, "Database is not in Creation mode (dmModeWriteOnly)!",
     "Banco de dados não está aberto para gravação (dmModeWriteOnly)!"},
};
constexpr core::MessageTable kTable{kMessages};

}  // namespace

TPDBBaseMgr::~TPDBBaseMgr() { CloseOnDestroy(); }

void TPDBBaseMgr::ReleaseCurrentRecord() {
  currentRecord_.clear();
  currentRecord_.shrink_to_fit();
}

void TPDBBaseMgr::ReleaseRecordData() {
  if (OpenMode() == dmModeReadOnly) ReleaseCurrentRecord();
}

void TPDBBaseMgr::LoadCurrentRecord() {
  ReadCurrentRecord();
  if (currentAttributes_ & kRecAttrDelete)
    ClearFieldValues();
  else
    DecodeRecord();
}

const core::Bytes& TPDBBaseMgr::GoToRecordBytes(std::int32_t index) {
  PositionAt(index);
  ReadCurrentRecord();
  return currentRecord_;
}

void TPDBBaseMgr::ReadCurrentRecord() {
  // The buffer of the previous record takes the next one.
  TPDBRecordData record;
  record.Data = std::move(currentRecord_);
  currentRecord_.clear();
  try {
    ReadRecord(CurrentIndex(), record);
  } catch (...) {
    if (OpenMode() == dmModeReadOnly) ReleaseCurrentRecord();
    throw;
  }
  currentRecord_ = std::move(record.Data);
  currentCategory_ = record.Category;
  currentAttributes_ = record.Attributes;
  currentUniqueID_ = record.UniqueID;
}

void TPDBBaseMgr::WriteDatabase(bool writeCategories) {
  BeforeWriteDatabase();
  WriteFileImage(writeCategories);
}

void TPDBBaseMgr::StartAppend() {
  currentCategory_ = 0;
  currentAttributes_ = 0;
  currentUniqueID_ = 0;
  ClearFieldValues();
  appending_ = true;
}

void TPDBBaseMgr::BeginFieldAppend(bool hasFields, const core::MessageTable& messages, int notOpenId,
                                   int notWriteOnlyId, int noFieldsId) {
  if (!IsOpen()) RaisePDBError(messages, notOpenId, 1);
  if (OpenMode() != dmModeWriteOnly) RaisePDBError(messages, notWriteOnlyId, 2);
  if (!hasFields) RaisePDBError(messages, noFieldsId, 3);
  StartAppend();
}

RecordNode TPDBBaseMgr::CurrentAsNode(core::ByteSpan data) const {
  RecordNode node;
  node.Category = currentCategory_;
  node.Attributes = currentAttributes_;
  node.UniqueID = currentUniqueID_;
  node.Data = data;
  return node;
}

void TPDBBaseMgr::Post() {
  if (!appending_) RaisePDBError(kTable, 60010, 1);
  BeforePost();
  currentRecord_.assign(CalcRecordSize(), 0);
  EncodeRecord();
  // The record store (or the file) takes a copy; the current record is empty afterwards (its
  // buffer is kept for the next record).
  AppendRecordNode(CurrentAsNode(currentRecord_));
  currentRecord_.clear();
  appending_ = false;
}

void TPDBBaseMgr::AppendRawRecord() {
  if (OpenMode() != dmModeWriteOnly || !IsOpen()) RaisePDBError(kTable, 60030, 1);
  AppendRecordNode(CurrentAsNode(currentRecord_));
}

void TPDBBaseMgr::InsertRawRecord() {
  if (OpenMode() != dmModeWriteOnly || !IsOpen()) RaisePDBError(kTable, 60030, 1);
  InsertRecordNodeFront(CurrentAsNode(currentRecord_));
}

}  // namespace pdb
