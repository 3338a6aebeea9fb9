// Writing and reading a database through any record engine in the tests, and a Portuguese
// message environment.
#pragma once

#include <string>

#include "PDBTestFiles.h"
#include "core/ByteIO.h"
#include "support/TempDir.h"

namespace pdbtest {

template <class Engine>
void PrepareWrite(Engine& db, const testsupport::TempDir& dir, const std::string& file = "db.pdb",
                  const std::string& name = "TestDB") {
  db.SetDirectory(dir.Str());
  db.SetPDBFilename(file);
  db.SetDatabaseName(name);
  db.SetCreatorID("PmOr");
  db.SetDatabaseType("DATA");
  db.SetOpenMode(pdb::dmModeWriteOnly);
  db.CreateDatabase();
}

template <class Engine>
void PrepareRead(Engine& db, const testsupport::TempDir& dir, const std::string& file = "db.pdb") {
  db.SetOpenMode(pdb::dmModeReadOnly);
  db.SetDirectory(dir.Str());
  db.SetPDBFilename(file);
  db.Open();
}

// The data of record `index` of a file written by an engine (no SortInfo).
inline core::Bytes RecordOf(const core::Bytes& file, std::size_t index) {
  const std::size_t count = core::LoadBE16(&file[76]);
  const std::size_t start = core::LoadBE32(&file[78 + 8 * index]);
  const std::size_t end = index + 1 < count ? core::LoadBE32(&file[78 + 8 * (index + 1)]) : file.size();
  return core::Bytes(file.begin() + static_cast<std::ptrdiff_t>(start), file.begin() + static_cast<std::ptrdiff_t>(end));
}

// The AppInfo block of a file written by an engine: from its offset to the first record.
inline core::Bytes AppInfoOf(const core::Bytes& file) {
  const std::size_t start = core::LoadBE32(&file[52]);
  if (start == 0) return {};
  const std::size_t count = core::LoadBE16(&file[76]);
  const std::size_t end = count ? core::LoadBE32(&file[78]) : file.size();
  return core::Bytes(file.begin() + static_cast<std::ptrdiff_t>(start), file.begin() + static_cast<std::ptrdiff_t>(end));
}

// Messages in Portuguese for the scope.
struct PortugueseMessages {
  testsupport::ScopedEnv all{"LC_ALL", ""};
  testsupport::ScopedEnv messages{"LC_MESSAGES", ""};
  testsupport::ScopedEnv lang{"LANG", "pt_BR.UTF-8"};
};

}  // namespace pdbtest
