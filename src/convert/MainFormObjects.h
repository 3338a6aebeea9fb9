// The objects of the main window that the conversions work with besides its plain state: the
// Palm database data set `pt`, the category tree and the packer. They live as long as the
// window (or the console start-up that stands in for it), so that one conversion after another
// reuses them exactly as the window's buttons do.
#pragma once

#include <memory>

#include "convert/CategoryTree.h"
#include "pdb/PDBDataSet.h"
#include "sync/SyaPack.h"

namespace convert {

class MainFormObjects {
 public:
  MainFormObjects() : pt_(std::make_unique<pdb::TPDBDataSet>()) {}
  MainFormObjects(const MainFormObjects&) = delete;
  MainFormObjects& operator=(const MainFormObjects&) = delete;

  // The one data set (engine PocketStudio) through which every conversion reads and writes the
  // handheld databases.
  pdb::TPDBDataSet& pt() { return *pt_; }
  // Drops a data set that a stopped conversion left open, without writing its file: closing it
  // would write a half-filled database, and an open data set refuses the next Open.
  void DropOpenDataSet() {
    if (pt_->Active()) pt_ = std::make_unique<pdb::TPDBDataSet>();
  }

  // Built by each "TXT -> PDB" run, kept until the next one.
  convert::CategoryTree CategoryTree;
  // Builds the container of "TXT -> PDB".
  sya::TSyaPacker Packer;

 private:
  std::unique_ptr<pdb::TPDBDataSet> pt_;
};

// Drops the data set when a conversion leaves it open, whichever way the conversion ends.
class OpenDataSetGuard {
 public:
  explicit OpenDataSetGuard(MainFormObjects& objects) : objects_(objects) {}
  ~OpenDataSetGuard() { objects_.DropOpenDataSet(); }
  OpenDataSetGuard(const OpenDataSetGuard&) = delete;
  OpenDataSetGuard& operator=(const OpenDataSetGuard&) = delete;

 private:
  MainFormObjects& objects_;
};

}  // namespace convert
