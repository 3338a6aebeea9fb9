// dBase III table files through shapelib: reading a whole table, creating one, and writing
// records into an open file so that its header always counts the records that are there.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <shapefil.h>

#include "dbfdriver/DbfValue.h"



namespace dbf {

// The code-page byte of a header for Windows-1251 text.
inline constexpr unsigned char kCodePageWindows1251 = 0xC9;

struct TableData {
  std::vector<FieldDef> fields;
  int recordLength = 1;
  std::vector<std::string> rows;  // whole records, the deletion flag ('*' or ' ') first

  int FieldIndex(std::string_view name) const;  // letter case ignored; -1 when absent
  static bool IsDeleted(const std::string& row) { return !row.empty() && row[0] == '*'; }
};

// Reads the schema and every record. A file whose header does not agree with its size, or that
// shapelib refuses, fails with HY000 naming the file and the reason.
TableData ReadTable(const std::filesystem::path& path);

// File identity used to notice changes made by others: size and modification time.
struct FileStamp {
  std::uintmax_t size = 0;
  long long seconds = 0;
  long long nanoseconds = 0;
  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};
FileStamp StampOf(const std::filesystem::path& path);

class DbfFile {
 public:
  // Creates `path` (replacing a file of that name) with the schema of `table` and no records.
  static DbfFile Create(const std::filesystem::path& path, const TableData& table);
  static DbfFile Open(const std::filesystem::path& path);

  // Writes a whole record (deletion flag first) at `index`; index == count appends.
  void WriteRecord(int index, const std::string& row);
  // Header with the record count and today's date, end-of-file byte, flushed to the system.
  void Finish();
  // Makes what was written durable.
  void Sync();

 private:
  struct Closer {
    void operator()(DBFInfo* handle) const noexcept;
  };
  DbfFile(std::filesystem::path path, DBFInfo* handle) : path_(std::move(path)), handle_(handle) {}
  std::filesystem::path path_;
  std::unique_ptr<DBFInfo, Closer> handle_;
};

}  // namespace dbf
