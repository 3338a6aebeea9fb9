// The common base of the record engines: the record under the cursor, the record being built,
// and the collecting and writing of posted records. An engine supplies its field list and the
// record codec (CalcRecordSize, EncodeRecord, DecodeRecord, ClearFieldValues).
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/ByteIO.h"
#include "core/Messages.h"
#include "pdb/PDBDataManager.h"

namespace pdb {

class TPDBBaseMgr : public TPDBDataManager {
 public:
  TPDBBaseMgr() = default;
  ~TPDBBaseMgr() override;

  // Appends the record built from the current field values (after the engine's BeginAppend).
  void Post();
  // Appends / inserts before the first record a copy of the current record buffer as it is,
  // with the current category, attributes and unique ID. Write-only mode only.
  void AppendRawRecord();
  void InsertRawRecord();

  // The current record: the one under the cursor when reading, the one being built when writing.
  const core::Bytes& CurrentRecord() const { return currentRecord_; }
  void SetCurrentRecord(core::Bytes bytes) { currentRecord_ = std::move(bytes); }
  std::uint8_t CurrentCategory() const { return currentCategory_; }
  void SetCurrentCategory(std::uint8_t category) { currentCategory_ = static_cast<std::uint8_t>(category & 0x0F); }
  std::uint8_t CurrentAttributes() const { return currentAttributes_; }
  void SetCurrentAttributes(std::uint8_t attributes) { currentAttributes_ = static_cast<std::uint8_t>(attributes & 0x0F); }
  std::uint32_t CurrentUniqueID() const { return currentUniqueID_; }
  void SetCurrentUniqueID(std::uint32_t id) { currentUniqueID_ = id & 0x00FFFFFFu; }
  bool Appending() const { return appending_; }

  void ReleaseCurrentRecord();

  // Makes record `index` current as GoToRecord does, but leaves its bytes undecoded in the
  // current record buffer (returned) for an owner that decodes them itself; the field values
  // keep what they held. A record marked deleted gives no bytes.
  const core::Bytes& GoToRecordBytes(std::int32_t index);

 protected:
  // Reads the record under the cursor and decodes it. A record marked deleted in the file has
  // no data: its fields are cleared instead of decoded.
  void LoadCurrentRecord() override;
  // Read-only mode: frees the current record buffer.
  void ReleaseRecordData() override;
  // BeforeWriteDatabase, then the whole file.
  void WriteDatabase(bool writeCategories) override;

  virtual std::size_t CalcRecordSize() { return 0; }
  // Writes the field values into the current record buffer, which has CalcRecordSize bytes.
  virtual void EncodeRecord() {}
  virtual void DecodeRecord() {}
  virtual void ClearFieldValues() {}
  virtual void BeforeWriteDatabase() {}
  virtual void BeforePost() {}

  // The shared part of every engine's BeginAppend, after its own checks.
  void StartAppend();
  // BeginAppend of an engine with a field list: the database must be open, write-only and have
  // fields (each failure raises the engine's own message, codes 1, 2 and 3), then StartAppend.
  void BeginFieldAppend(bool hasFields, const core::MessageTable& messages, int notOpenId, int notWriteOnlyId,
                        int noFieldsId);

  // The record codec of a field list: the fields one after the other, each through the
  // engine's field codec.
  template <class Fields, class SizeOf>
  static std::size_t SumFieldSizes(const Fields& fields, SizeOf sizeOf) {
    std::size_t size = 0;
    for (const auto& field : fields) size += sizeOf(field);
    return size;
  }
  template <class Fields, class Encode>
  void EncodeFields(const Fields& fields, Encode encode) {
    core::SpanWriter out(MutableCurrentRecord());
    for (const auto& field : fields) encode(field, out);
  }
  // False when the current record ends before its last field.
  template <class Fields, class Decode>
  [[nodiscard]] bool DecodeFields(Fields& fields, Decode decode) {
    core::BigEndianReader in(CurrentRecord());
    try {
      for (auto& field : fields) decode(field, in);
    } catch (const core::ShortReadError&) {
      return false;
    }
    return true;
  }
  // The buffer EncodeRecord fills and DecodeRecord reads.
  core::Bytes& MutableCurrentRecord() { return currentRecord_; }

 private:
  RecordNode CurrentAsNode(core::ByteSpan data) const;
  // Reads the record under the cursor into the current record buffer and takes its category,
  // attributes and unique ID.
  void ReadCurrentRecord();

  core::Bytes currentRecord_;
  std::uint8_t currentCategory_ = 0;
  std::uint8_t currentAttributes_ = 0;
  std::uint32_t currentUniqueID_ = 0;
  bool appending_ = false;
};

}  // namespace pdb
