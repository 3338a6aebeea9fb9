// dBase III table files: reading a whole table and creating one through shapelib, and writing
// records into an open file so that its header always counts the records that are there.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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

// A table file open for writing. Records go in with pwrite at their place, the records of
// consecutive indexes in one call; the header's record count follows in a second, so that the
// count never names a record that is not in the file. shapelib writes a new file's header;
// the appends after it are plain fixed-size record bytes, written here to spare shapelib's
// seek, read-back and flush of the whole header for every statement.
class DbfFile {
 public:
  // Creates `path` (replacing a file of that name) with the schema of `table` and no records.
  static DbfFile Create(const std::filesystem::path& path, const TableData& table);
  // Opens an existing file whose records are laid out as `table` says.
  static DbfFile Open(const std::filesystem::path& path, const TableData& table);

  // Queues a whole record (deletion flag first) for `index`; index == the count appends.
  void WriteRecord(std::size_t index, std::string_view row);
  // Writes the queued records (the end-of-file byte after the last of `records`), then the
  // header's count of `records` and today's date.
  void Finish(std::size_t records);
  // Makes what was written durable.
  void Sync();
  // The stamp of the open file; an empty one when it no longer has a name in its directory
  // (removed, or replaced by another file of that name).
  FileStamp Stamp() const;
  // Bytes in the file as far as this handle wrote it: header, records, end-of-file byte.
  std::uint64_t EndOfRecords(std::size_t records) const { return RecordOffset(records) + 1; }

 private:
  class Descriptor {
   public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept;
    ~Descriptor();
    int Get() const { return fd_; }

   private:
    int fd_;
  };
  DbfFile(std::filesystem::path path, Descriptor fd, std::uint32_t headerLength, std::uint32_t recordLength)
      : path_(std::move(path)), fd_(std::move(fd)), headerLength_(headerLength), recordLength_(recordLength) {}
  std::uint64_t RecordOffset(std::size_t index) const {
    return headerLength_ + static_cast<std::uint64_t>(index) * recordLength_;
  }
  void FlushRun(std::size_t records);
  void WriteAt(std::uint64_t offset, std::string_view bytes);

  std::filesystem::path path_;
  Descriptor fd_;
  std::uint32_t headerLength_;
  std::uint32_t recordLength_;
  std::string run_;           // queued records of consecutive indexes
  std::size_t runStart_ = 0;  // index of the first of them
};

}  // namespace dbf
