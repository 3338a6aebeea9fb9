#include "dbfdriver/Workspace.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

#include "dbfdriver/DriverError.h"
#include "dbfdriver/TableNames.h"

namespace dbf {

namespace {

void SyncDirectory(const std::filesystem::path& directory) {
  const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

const std::filesystem::path& Workspace::Resolve(const std::filesystem::path& directory, const std::string& name) {
  auto& names = resolved_[directory.native()];
  auto it = names.find(name);
  if (it == names.end()) {
    it = names.emplace(name, ResolvedName{ResolveTablePath(directory, name), namesGeneration_}).first;
  } else if (it->second.generation != namesGeneration_) {
    it->second = ResolvedName{ResolveTablePath(directory, name), namesGeneration_};
  }
  return it->second.path;
}

bool Workspace::Entry::Matches(const FileStamp& found) {
  if (!stampSizeOnly) return found == stamp;
  if (found.size != stamp.size) return false;
  stamp = found;
  stampSizeOnly = false;
  return true;
}

Workspace::Entry* Workspace::Load(const std::filesystem::path& path) {
  auto it = entries_.find(path.native());
  if (it != entries_.end()) {
    Entry& entry = it->second;
    if (entry.Pending() || !entry.exists) return &entry;
    // A file held open is looked at through its descriptor, which spares the path lookup.
    if (entry.Matches(entry.file ? entry.file->Stamp() : StampOf(path))) return &entry;
    entries_.erase(it);  // changed by someone else since: read it again
  }
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) {
    ++namesGeneration_;  // the name may mean another file now
    return nullptr;
  }
  Entry entry;
  entry.path = path;
  entry.table = ReadTable(path);
  entry.exists = true;
  entry.writtenRows = entry.table.rows.size();
  entry.stamp = StampOf(path);
  return &entries_.insert_or_assign(path.native(), std::move(entry)).first->second;
}

TableData* Workspace::Find(const std::filesystem::path& path) {
  Entry* entry = Load(path);
  if (!entry || entry->drop) return nullptr;
  return &entry->table;
}

TableData& Workspace::Create(const std::filesystem::path& path, TableData table) {
  Entry* existing = Load(path);
  if (existing && !existing->drop) {
    throw DriverError("42S01", "Table " + TableNameOf(path) + " already exists: " + path.string());
  }
  std::error_code error;
  if (!std::filesystem::is_directory(path.parent_path(), error)) {
    throw DriverError("HY000", "Table " + TableNameOf(path) + " cannot be created: no directory " +
                                   path.parent_path().string());
  }
  Entry entry;
  entry.path = path;
  entry.table = std::move(table);
  entry.create = true;
  if (existing) {
    // Dropped and created again in one transaction: the old file goes at the next write.
    entry.exists = existing->exists;
    entry.drop = existing->exists;
  }
  return entries_.insert_or_assign(path.native(), std::move(entry)).first->second.table;
}

void Workspace::Drop(const std::filesystem::path& path) {
  Entry* entry = Load(path);
  if (!entry || entry->drop) throw DriverError("42S02", "Table " + TableNameOf(path) + " not found: " + path.string());
  entry->file.reset();
  entry->table = TableData{};
  entry->changedRows.clear();
  entry->writtenRows = 0;
  if (entry->exists) {
    entry->drop = true;
    entry->create = false;
  } else {
    entries_.erase(path.native());  // created and dropped before it ever reached the disk
  }
}

void Workspace::MarkChanged(const std::filesystem::path& path, std::size_t row) {
  auto it = entries_.find(path.native());
  if (it != entries_.end() && row < it->second.writtenRows) it->second.changedRows.insert(row);
}

bool Workspace::HasPendingChanges() const {
  for (const auto& [path, entry] : entries_)
    if (entry.Pending()) return true;
  return false;
}

void Workspace::WriteEntry(Entry& entry) {
  const std::filesystem::path& path = entry.path;
  if (entry.drop) {
    entry.file.reset();
    std::error_code error;
    std::filesystem::remove(path, error);
    if (error) throw DriverError("HY000", "Table file " + path.string() + " cannot be removed: " + error.message());
    entry.drop = false;
    entry.exists = false;
    SyncDirectory(path.parent_path());
  }
  bool opened = false;  // a file opened now is looked at again; one kept open knows its size
  if (entry.create) {
    entry.file = DbfFile::Create(path, entry.table);
    entry.create = false;
    entry.exists = true;
    entry.writtenRows = 0;
    entry.changedRows.clear();
    opened = true;
    SyncDirectory(path.parent_path());
  }
  if (entry.exists && entry.Pending()) {
    if (!entry.file) {
      entry.file = DbfFile::Open(path, entry.table);
      opened = true;
    }
    for (std::size_t row : entry.changedRows) entry.file->WriteRecord(row, entry.table.rows[row]);
    // New records go after the old ones; the header counts them only once they are written.
    for (std::size_t row = entry.writtenRows; row < entry.table.rows.size(); ++row)
      entry.file->WriteRecord(row, entry.table.rows[row]);
    entry.file->Finish(entry.table.rows.size());
    entry.changedRows.clear();
    entry.writtenRows = entry.table.rows.size();
    entry.unsynced = true;
    if (!opened) {
      entry.stamp.size = std::max<std::uintmax_t>(entry.stamp.size, entry.file->EndOfRecords(entry.writtenRows));
      entry.stampSizeOnly = true;
    }
  }
  if (opened) {
    entry.stamp = entry.file->Stamp();
    entry.stampSizeOnly = false;
  }
}

void Workspace::Write() {
  for (auto it = entries_.begin(); it != entries_.end();) {
    try {
      WriteEntry(it->second);
    } catch (...) {
      // What the file holds is unknown now: read it again next time.
      entries_.erase(it);
      throw;
    }
    if (!it->second.exists) {
      it = entries_.erase(it);
    } else {
      ++it;
    }
  }
}

void Workspace::Commit() {
  Write();
  for (auto& [path, entry] : entries_) {
    if (entry.unsynced && entry.file) entry.file->Sync();
    entry.unsynced = false;
  }
}

void Workspace::Rollback() {
  for (auto it = entries_.begin(); it != entries_.end();) {
    if (it->second.Pending()) {
      it = entries_.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace dbf
