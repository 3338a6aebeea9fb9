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
  if (OpenMode() == dmModeReadOnly) ReleaseCurrentRecord();
  TPDBRecordData record = GetRecord(CurrentIndex());
  currentRecord_ = std::move(record.Data);
  currentCategory_ = record.Category;
  currentAttributes_ = record.Attributes;
  currentUniqueID_ = record.UniqueID;
  if (currentAttributes_ & kRecAttrDelete)
    ClearFieldValues();
  else
    DecodeRecord();
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

RecordNode TPDBBaseMgr::CurrentAsNode(core::Bytes data) const {
  RecordNode node;
  node.Category = currentCategory_;
  node.Attributes = currentAttributes_;
  node.UniqueID = currentUniqueID_;
  node.Data = std::move(data);
  return node;
}

void TPDBBaseMgr::Post() {
  if (!appending_) RaisePDBError(kTable, 60010, 1);
  BeforePost();
  currentRecord_.assign(CalcRecordSize(), 0);
  EncodeRecord();
  // The node takes the buffer; the current record is empty afterwards.
  AppendRecordNode(CurrentAsNode(std::move(currentRecord_)));
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
