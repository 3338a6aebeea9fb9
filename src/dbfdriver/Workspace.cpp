#include "dbfdriver/Workspace.h"

#include <fcntl.h>
#include <unistd.h>

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

std::filesystem::path Workspace::Resolve(const std::filesystem::path& directory, const std::string& name) {
  const auto key = std::make_pair(directory, name);
  const auto it = resolved_.find(key);
  if (it != resolved_.end()) return it->second;
  std::filesystem::path path = ResolveTablePath(directory, name);
  resolved_.emplace(key, path);
  return path;
}

Workspace::Entry* Workspace::Load(const std::filesystem::path& path) {
  auto it = entries_.find(path);
  if (it != entries_.end()) {
    Entry& entry = it->second;
    if (entry.Pending() || !entry.exists) return &entry;
    if (StampOf(path) == entry.stamp) return &entry;
    entries_.erase(it);  // changed by someone else since: read it again
  }
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) {
    resolved_.clear();  // the name may mean another file now
    return nullptr;
  }
  Entry entry;
  entry.table = ReadTable(path);
  entry.exists = true;
  entry.writtenRows = entry.table.rows.size();
  entry.stamp = StampOf(path);
  return &entries_.insert_or_assign(path, std::move(entry)).first->second;
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
  entry.table = std::move(table);
  entry.create = true;
  if (existing) {
    // Dropped and created again in one transaction: the old file goes at the next write.
    entry.exists = existing->exists;
    entry.drop = existing->exists;
  }
  return entries_.insert_or_assign(path, std::move(entry)).first->second.table;
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
    entries_.erase(path);  // created and dropped before it ever reached the disk
  }
}

void Workspace::MarkChanged(const std::filesystem::path& path, std::size_t row) {
  auto it = entries_.find(path);
  if (it != entries_.end() && row < it->second.writtenRows) it->second.changedRows.insert(row);
}

bool Workspace::HasPendingChanges() const {
  for (const auto& [path, entry] : entries_)
    if (entry.Pending()) return true;
  return false;
}

void Workspace::WriteEntry(const std::filesystem::path& path, Entry& entry) {
  if (entry.drop) {
    entry.file.reset();
    std::error_code error;
    std::filesystem::remove(path, error);
    if (error) throw DriverError("HY000", "Table file " + path.string() + " cannot be removed: " + error.message());
    entry.drop = false;
    entry.exists = false;
    SyncDirectory(path.parent_path());
  }
  if (entry.create) {
    entry.file = DbfFile::Create(path, entry.table);
    entry.create = false;
    entry.exists = true;
    entry.writtenRows = 0;
    entry.changedRows.clear();
    SyncDirectory(path.parent_path());
  }
  if (!entry.exists) return;
  if (!entry.Pending()) return;
  if (!entry.file) entry.file = DbfFile::Open(path);
  for (std::size_t row : entry.changedRows) entry.file->WriteRecord(static_cast<int>(row), entry.table.rows[row]);
  // New records go after the old ones; the header counts them only once they are written.
  for (std::size_t row = entry.writtenRows; row < entry.table.rows.size(); ++row)
    entry.file->WriteRecord(static_cast<int>(row), entry.table.rows[row]);
  entry.file->Finish();
  entry.changedRows.clear();
  entry.writtenRows = entry.table.rows.size();
  entry.unsynced = true;
  entry.stamp = StampOf(path);
}

void Workspace::Write() {
  for (auto it = entries_.begin(); it != entries_.end();) {
    try {
      WriteEntry(it->first, it->second);
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
