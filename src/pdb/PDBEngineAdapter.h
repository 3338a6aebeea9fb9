// How TPDBDataSet talks to a record engine. The data set owns one adapter per engine kind; an
// adapter owns its engine and reads the engine's design field collection (owned by the data
// set). The data set does everything that is the same for every engine (file paths, header
// properties, opening, creating and closing the engine, walking the records) and leaves to the
// adapter what depends on the engine's field types.
#pragma once

#include "pdb/DataSet.h"
#include "pdb/PDBBaseMgr.h"
#include "pdb/PDBPSField.h"
#include "pdb/PDBPocketStudio.h"

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
  virtual void DefineFields(TFieldDefs& defs) = 0;

  // Whether opening the data set opens and closes the engine once on an existing file, so that
  // a file the engine cannot read fails the open.
  virtual bool CheckFileOnOpen() const { return false; }

  // Fills `record` (all fields null) from the engine's current record, which the engine has
  // decoded into its Fields.
  virtual void LoadRecord(TRecordBuffer& record) = 0;

  // Appends one record to the engine, which is open for writing: BeginAppend, the field values
  // taken from `record`, Post.
  virtual void SaveRecord(const TRecordBuffer& record) = 0;
};

// The data-set field kind of a PocketStudio type.
TFieldType PSDataSetFieldType(TPDBPSFieldType type);

class TPDBPocketStudioAdapter final : public TPDBEngineAdapter {
 public:
  explicit TPDBPocketStudioAdapter(const TPDBPSFields& design) : design_(design) {}

  TPDBPocketStudio& PocketStudio() { return engine_; }

  TPDBBaseMgr& Engine() override { return engine_; }
  bool FieldsEmpty() const override { return design_.Empty(); }
  // Engine fields get their type's defaults (strings of variable length); a string's
  // data-set field is as long as the item's InternalSize.
  void DefineFields(TFieldDefs& defs) override;
  bool CheckFileOnOpen() const override { return true; }
  void LoadRecord(TRecordBuffer& record) override;
  void SaveRecord(const TRecordBuffer& record) override;

 private:
  const TPDBPSFields& design_;
  TPDBPocketStudio engine_;
};

}  // namespace pdb
