// The tables one connection works on, and its transaction. Every table a statement touches is
// held here in memory, so a statement sees what its own connection wrote before it. With
// autocommit on, each statement's changes are written to the files when it ends; with it off,
// they are written at commit and a rollback forgets them, leaving the files as they were.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "dbfdriver/DbfTable.h"

namespace dbf {

class Workspace {
 public:
  // The file a statement's table name means (see ResolveTablePath), remembered per name so
  // that a statement run many times does not search the directory each time. The reference
  // stays valid as long as the workspace; it may name another file after a name led to no table.
  const std::filesystem::path& Resolve(const std::filesystem::path& directory, const std::string& name);

  // The table at `path`, read from its file on first use (or again after another program
  // changed the file); nullptr when there is none.
  TableData* Find(const std::filesystem::path& path);
  // Throws 42S01 if the table exists (on disk or in this transaction).
  TableData& Create(const std::filesystem::path& path, TableData table);
  // Throws 42S02 if there is no such table.
  void Drop(const std::filesystem::path& path);
  // Records that rows of a table changed: rows at `row` and after a count that was
  // already written are rewritten in place.
  void MarkChanged(const std::filesystem::path& path, std::size_t row);

  void SetAutocommit(bool on) { autocommit_ = on; }
  bool Autocommit() const { return autocommit_; }
  // The end of a statement: in autocommit mode its changes reach the files now.
  void StatementDone() {
    if (autocommit_) Write();
  }
  // Writes the pending changes and syncs every file written since the last sync.
  void Commit();
  // Forgets the pending changes.
  void Rollback();
  bool HasPendingChanges() const;

 private:
  struct Entry {
    std::filesystem::path path;
    TableData table;
    bool exists = false;        // the file holds this table
    bool create = false;        // the file is to be created at the next write
    bool drop = false;          // the file is to be removed at the next write
    std::size_t writtenRows = 0;  // records in the file
    std::set<std::size_t> changedRows;  // rows below writtenRows to rewrite
    std::optional<DbfFile> file;
    FileStamp stamp;
    // After this connection's own write only the size is known: the first look at the file
    // after it takes the modification time it finds for the one that write left.
    bool stampSizeOnly = false;
    bool unsynced = false;
    bool Pending() const { return create || drop || !changedRows.empty() || table.rows.size() != writtenRows; }
    // Whether the file is still the one this entry holds.
    bool Matches(const FileStamp& found);
  };
  struct ResolvedName {
    std::filesystem::path path;
    unsigned generation = 0;
  };
  Entry* Load(const std::filesystem::path& path);
  void Write();
  void WriteEntry(Entry& entry);

  // Keyed by the file's path; looked up on every statement, so without building a path.
  std::map<std::string, Entry, std::less<>> entries_;
  // Directory, then table name as written.
  std::map<std::string, std::map<std::string, ResolvedName, std::less<>>, std::less<>> resolved_;
  unsigned namesGeneration_ = 0;  // raised when a remembered name led to no table
  bool autocommit_ = true;
};

}  // namespace dbf
