// How TPDBDataSet talks to a record engine. The data set owns one adapter per engine kind; an
// adapter owns its engine and reads the engine's design field collection (owned by the data
// set). The data set does everything that is the same for every engine (file paths, header
// properties, opening, creating and closing the engine, walking the records) and leaves to the
// adapter what depends on the engine's field types.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "dataset/DataSet.h"
#include "pdb/PDBAppForge.h"
#include "pdb/PDBBaseMgr.h"
#include "pdb/PDBJava.h"
#include "pdb/PDBNSBasic.h"
#include "pdb/PDBPSField.h"
#include "pdb/PDBPocketStudio.h"
#include "pdb/PDBSQLDriver.h"

namespace pdb {

class TPDBEngineAdapter {
 public:
  virtual ~TPDBEngineAdapter() = default;

  // The engine as a Palm database: its properties, Open / CreateDatabase / Close / Discard and
  // its cursor (First, Next, Eof).
  virtual TPDBBaseMgr& Engine() = 0;

  // Whether the design field collection has no item (opening then fails).
  virtual bool FieldsEmpty() const = 0;

  // Clears the engine's Fields and rebuilds them from the design collection, in its order;
  // appends to `defs` one data-set field definition for every engine field that carries a value
  // (an engine's own bookkeeping fields get none), in the same order. Field k of the records
  // handed to LoadRecord and SaveRecord is the k-th definition added here.
  virtual void DefineFields(dataset::TFieldDefs& defs) = 0;

  // Whether opening the data set opens and closes the engine once on an existing file, so that
  // a file the engine cannot read fails the open.
  virtual bool CheckFileOnOpen() const { return false; }

  // Fills `record` (all fields null) from the engine's current record, which the engine has
  // decoded into its Fields.
  virtual void LoadRecord(dataset::TRecordBuffer& record) = 0;

  // Fills `record` from record `index` of the engine, which is open for reading; the record is
  // not marked deleted. The engine's cursor moves there. By default the engine decodes the
  // record into its Fields and LoadRecord takes them; an adapter may decode it more directly.
  virtual void ReadRecord(std::int32_t index, dataset::TRecordBuffer& record) {
    Engine().GoToRecord(index);
    record.Reset();
    LoadRecord(record);
  }

  // Appends one record to the engine, which is open for writing: BeginAppend, the field values
  // taken from `record`, Post.
  virtual void SaveRecord(const dataset::TRecordBuffer& record) = 0;

  // Called before the engine is created for writing, ahead of the first SaveRecord.
  virtual void PrepareSave() {}
};

// What every adapter shares: the design collection it reads, the engine it owns, and the walk
// over the engine's Fields that pairs engine field i with data-set field k. `FirstValueField`
// is the index of the first engine field that carries a data-set value.
template <class EngineT, class DesignT, std::size_t FirstValueField = 0>
class TPDBEngineAdapterOf : public TPDBEngineAdapter {
 public:
  explicit TPDBEngineAdapterOf(const DesignT& design) : design_(design) {}

  TPDBBaseMgr& Engine() override { return engine_; }
  bool FieldsEmpty() const override { return design_.Empty(); }

 protected:
  // Adds an engine field of the item's name and type, and its data-set definition: a string
  // holds `stringSize` characters, other kinds take no size.
  template <class Item>
  auto& AddDesignField(dataset::TFieldDefs& defs, const Item& item, dataset::TFieldType kind, int stringSize) {
    auto& field = engine_.Fields().Add();
    field.SetFieldName(item.FieldName());
    field.SetDataType(item.DataType());
    defs.Add(item.FieldName(), kind, kind == dataset::TFieldType::String ? stringSize : 0);
    return field;
  }

  // Calls load(engineField, k) for every value field of the engine's current record.
  template <class Load>
  void LoadFields(Load&& load) {
    const auto& fields = engine_.Fields();
    for (std::size_t i = FirstValueField; i < fields.Count(); ++i)
      load(fields[i], static_cast<int>(i - FirstValueField));
  }

  // Appends one record: BeginAppend, store(engineField, k) for every value field, Post.
  template <class Store>
  void AppendRecord(Store&& store) {
    engine_.BeginAppend();
    auto& fields = engine_.Fields();
    for (std::size_t i = FirstValueField; i < fields.Count(); ++i)
      store(fields[i], static_cast<int>(i - FirstValueField));
    engine_.Post();
  }

  const DesignT& design_;
  EngineT engine_;
};

// The data-set field kind of a PocketStudio type.
dataset::TFieldType PSDataSetFieldType(TPDBPSFieldType type);

class TPDBPocketStudioAdapter final : public TPDBEngineAdapterOf<TPDBPocketStudio, TPDBPSFields> {
 public:
  using TPDBEngineAdapterOf<TPDBPocketStudio, TPDBPSFields>::TPDBEngineAdapterOf;

  TPDBPocketStudio& PocketStudio() { return engine_; }

  // Engine fields get their type's defaults (strings of variable length); a string's
  // data-set field is as long as the item's InternalSize.
  void DefineFields(dataset::TFieldDefs& defs) override;
  bool CheckFileOnOpen() const override { return true; }
  // Both decode the record's bytes straight into `record`, field k of the engine's Fields into
  // field k, with the values the engine's accessors would give (the engine's own field values
  // are left alone): no value is built twice. A record that does not hold every field fails with
  // 65020 and releases the file, as the engine's own decoding does.
  void LoadRecord(dataset::TRecordBuffer& record) override;
  void ReadRecord(std::int32_t index, dataset::TRecordBuffer& record) override;
  void SaveRecord(const dataset::TRecordBuffer& record) override;

 private:
  void DecodeInto(core::ByteSpan bytes, dataset::TRecordBuffer& record);
};

// The data-set field kind of each engine type (strings of these engines hold 100 characters).
inline constexpr int kEngineStringFieldSize = 100;
dataset::TFieldType NSBDataSetFieldType(TPDBNSBFieldType type);
dataset::TFieldType AFDataSetFieldType(TPDBAFFieldType type);
dataset::TFieldType JavaDataSetFieldType(TPDBJavaFieldType type);
dataset::TFieldType SQLDriverDataSetFieldType(TPDBSQLDriverFieldType type);

class TPDBNSBasicAdapter final : public TPDBEngineAdapterOf<TPDBNSBasic, TPDBNSBFields> {
 public:
  using TPDBEngineAdapterOf<TPDBNSBasic, TPDBNSBFields>::TPDBEngineAdapterOf;
  TPDBNSBasic& NSBasic() { return engine_; }
  // Engine fields get their type's defaults (strings of variable length).
  void DefineFields(dataset::TFieldDefs& defs) override;
  void LoadRecord(dataset::TRecordBuffer& record) override;
  void SaveRecord(const dataset::TRecordBuffer& record) override;
};

// The AppForge engine rebuilds its Fields from the file it opens, so records are loaded into
// the data-set fields of the same names.
class TPDBAppForgeAdapter final : public TPDBEngineAdapterOf<TPDBAppForge, TPDBAFFields> {
 public:
  using TPDBEngineAdapterOf<TPDBAppForge, TPDBAFFields>::TPDBEngineAdapterOf;
  TPDBAppForge& AppForge() { return engine_; }
  void DefineFields(dataset::TFieldDefs& defs) override;
  // A field of the file that the data set does not define fails with "Field '...' not found";
  // one of another type is read through the accessor of the defined type (whose type rules
  // decide). Records are written with the fields as defined (PrepareSave puts them back).
  void LoadRecord(dataset::TRecordBuffer& record) override;
  void SaveRecord(const dataset::TRecordBuffer& record) override;
  void PrepareSave() override { RestoreDefinedFields(); }

 private:
  void RestoreDefinedFields();

  // The fields as defined at open, in data-set order; the engine's Fields are put back to them
  // before writing, since reading a file replaces them with the file's.
  std::vector<std::pair<std::string, TPDBAFFieldType>> defined_;
};

class TPDBJavaAdapter final : public TPDBEngineAdapterOf<TPDBJava, TPDBJavaFields> {
 public:
  using TPDBEngineAdapterOf<TPDBJava, TPDBJavaFields>::TPDBEngineAdapterOf;
  TPDBJava& Java() { return engine_; }
  void DefineFields(dataset::TFieldDefs& defs) override;
  void LoadRecord(dataset::TRecordBuffer& record) override;
  void SaveRecord(const dataset::TRecordBuffer& record) override;
};

// The engine's first field, "RowID", is numbered by the engine and gets no data-set field.
class TPDBSQLDriverAdapter final : public TPDBEngineAdapterOf<TPDBSQLDriver, TPDBSQLDriverFields, 1> {
 public:
  using TPDBEngineAdapterOf<TPDBSQLDriver, TPDBSQLDriverFields, 1>::TPDBEngineAdapterOf;
  TPDBSQLDriver& SQLDriver() { return engine_; }
  // A PDChar engine field takes the Size of its item.
  void DefineFields(dataset::TFieldDefs& defs) override;
  void LoadRecord(dataset::TRecordBuffer& record) override;
  void SaveRecord(const dataset::TRecordBuffer& record) override;
};

}  // namespace pdb
