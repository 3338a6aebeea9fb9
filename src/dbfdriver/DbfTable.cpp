#include "dbfdriver/DbfTable.h"

#include <shapefil.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <fstream>

#include "dbfdriver/DriverError.h"

namespace dbf {

namespace {

// shapelib reports through hooks without a context pointer; these two are per thread and only
// live across one shapelib call made by this unit.
thread_local const char* tl_openTarget = nullptr;  // the file a DBFOpenLL/DBFCreateLL call means
thread_local std::string tl_lastError;

FILE* AsFile(SAFile file) { return reinterpret_cast<FILE*>(file); }

bool EndsWithNoCase(std::string_view text, std::string_view end) {
  if (text.size() < end.size()) return false;
  return std::equal(end.begin(), end.end(), text.end() - static_cast<std::ptrdiff_t>(end.size()),
                    [](char a, char b) { return a == ((b >= 'A' && b <= 'Z') ? static_cast<char>(b - 'A' + 'a') : b); });
}

SAFile HookOpen(const char* name, const char* access) {
  // The code page lives in the header byte; no ".cpg" side file is read or written.
  if (EndsWithNoCase(name, ".cpg")) return nullptr;
  // shapelib rebuilds the name from its base; the file resolved by the driver is meant.
  return reinterpret_cast<SAFile>(std::fopen(tl_openTarget ? tl_openTarget : name, access));
}
SAOffset HookRead(void* p, SAOffset size, SAOffset count, SAFile file) { return std::fread(p, size, count, AsFile(file)); }
SAOffset HookWrite(void* p, SAOffset size, SAOffset count, SAFile file) { return std::fwrite(p, size, count, AsFile(file)); }
SAOffset HookSeek(SAFile file, SAOffset offset, int whence) {
  return static_cast<SAOffset>(std::fseek(AsFile(file), static_cast<long>(offset), whence));
}
SAOffset HookTell(SAFile file) { return static_cast<SAOffset>(std::ftell(AsFile(file))); }
int HookFlush(SAFile file) { return std::fflush(AsFile(file)); }
int HookClose(SAFile file) { return std::fclose(AsFile(file)); }
int HookRemove(const char* name) { return std::remove(name); }
void HookError(const char* message) { tl_lastError = message ? message : ""; }
double HookAtof(const char* text) {
  double value = 0;
  ParseNumber(text ? std::string_view(text) : std::string_view(), value);
  return value;
}

// Files written by the driver: each read and write is one pread/pwrite at a position kept
// here, so shapelib's seeks cost no system call and nothing waits in a buffer when a statement
// ends (a statement's records and header count reach the system at once).
struct PositionedFile {
  int fd = -1;
  std::uint64_t position = 0;
  bool failed = false;
};
PositionedFile& AsPositioned(SAFile file) { return *reinterpret_cast<PositionedFile*>(file); }

SAFile PositionedOpen(const char* name, const char* access) {
  if (EndsWithNoCase(name, ".cpg")) return nullptr;
  const std::string_view mode(access);
  const int flags = mode.find('w') != std::string_view::npos ? O_RDWR | O_CREAT | O_TRUNC : O_RDWR;
  const int fd = ::open(tl_openTarget ? tl_openTarget : name, flags | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  // Owned by shapelib's handle from here; PositionedClose takes it back.
  auto file = std::make_unique<PositionedFile>();
  file->fd = fd;
  return reinterpret_cast<SAFile>(file.release());
}
SAOffset PositionedRead(void* p, SAOffset size, SAOffset count, SAFile handle) {
  PositionedFile& file = AsPositioned(handle);
  const std::size_t wanted = static_cast<std::size_t>(size) * count;
  std::size_t done = 0;
  while (done < wanted) {
    const ssize_t n = ::pread(file.fd, static_cast<char*>(p) + done, wanted - done,
                              static_cast<off_t>(file.position + done));
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  file.position += done;
  return size == 0 ? 0 : done / size;
}
SAOffset PositionedWrite(void* p, SAOffset size, SAOffset count, SAFile handle) {
  PositionedFile& file = AsPositioned(handle);
  const std::size_t wanted = static_cast<std::size_t>(size) * count;
  std::size_t done = 0;
  while (done < wanted) {
    const ssize_t n = ::pwrite(file.fd, static_cast<const char*>(p) + done, wanted - done,
                               static_cast<off_t>(file.position + done));
    if (n <= 0) {
      file.failed = true;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  file.position += done;
  return size == 0 ? 0 : done / size;
}
SAOffset PositionedSeek(SAFile handle, SAOffset offset, int whence) {
  PositionedFile& file = AsPositioned(handle);
  if (whence == SEEK_SET) {
    file.position = offset;
  } else if (whence == SEEK_CUR) {
    file.position += offset;
  } else {
    struct stat status {};
    if (::fstat(file.fd, &status) != 0) return static_cast<SAOffset>(-1);
    file.position = static_cast<std::uint64_t>(status.st_size) + offset;
  }
  return 0;
}
SAOffset PositionedTell(SAFile handle) { return static_cast<SAOffset>(AsPositioned(handle).position); }
int PositionedFlush(SAFile handle) { return AsPositioned(handle).failed ? -1 : 0; }
int PositionedClose(SAFile handle) {
  const std::unique_ptr<PositionedFile> file(&AsPositioned(handle));
  return ::close(file->fd);
}

SAHooks Hooks() {
  SAHooks hooks{};
  hooks.FOpen = HookOpen;
  hooks.FRead = HookRead;
  hooks.FWrite = HookWrite;
  hooks.FSeek = HookSeek;
  hooks.FTell = HookTell;
  hooks.FFlush = HookFlush;
  hooks.FClose = HookClose;
  hooks.Remove = HookRemove;
  hooks.Error = HookError;
  hooks.Atof = HookAtof;
  return hooks;
}

SAHooks PositionedHooks() {
  SAHooks hooks = Hooks();
  hooks.FOpen = PositionedOpen;
  hooks.FRead = PositionedRead;
  hooks.FWrite = PositionedWrite;
  hooks.FSeek = PositionedSeek;
  hooks.FTell = PositionedTell;
  hooks.FFlush = PositionedFlush;
  hooks.FClose = PositionedClose;
  return hooks;
}

// Sets the file shapelib is to open for the duration of one call.
class OpenTarget {
 public:
  explicit OpenTarget(const std::string& path) {
    tl_openTarget = path.c_str();
    tl_lastError.clear();
  }
  ~OpenTarget() { tl_openTarget = nullptr; }
  OpenTarget(const OpenTarget&) = delete;
  OpenTarget& operator=(const OpenTarget&) = delete;
};

// One shapelib open or create call on `name` through `hooks` (shapelib keeps a copy of them).
template <typename Call>
DBFHandle OpenThrough(const std::string& name, SAHooks hooks, Call call) {
  OpenTarget target(name);
  return call(name.c_str(), &hooks);
}

[[noreturn]] void FailOn(const std::filesystem::path& path, const std::string& why) {
  std::string message = "Table file " + path.string() + " cannot be used: " + why;
  if (!tl_lastError.empty()) message += " (" + tl_lastError + ")";
  throw DriverError("HY000", message);
}

// The three numbers of a dBase header that say how large the file must be.
struct HeaderCounts {
  std::uint32_t records = 0;
  std::uint16_t headerLength = 0;
  std::uint16_t recordLength = 0;
};

std::uint32_t LittleEndian(const unsigned char* p, int bytes) {
  std::uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | p[i];
  return value;
}

constexpr std::size_t kFileHeaderSize = 32;

HeaderCounts CheckHeader(const std::filesystem::path& path) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error) FailOn(path, error.message());
  std::array<unsigned char, kFileHeaderSize> header{};
  std::ifstream in(path, std::ios::binary);
  if (!in.read(reinterpret_cast<char*>(header.data()), header.size())) FailOn(path, "the file is shorter than a header");
  HeaderCounts counts;
  counts.records = LittleEndian(&header[4], 4);
  counts.headerLength = static_cast<std::uint16_t>(LittleEndian(&header[8], 2));
  counts.recordLength = static_cast<std::uint16_t>(LittleEndian(&header[10], 2));
  if (counts.headerLength < kFileHeaderSize + 1 || counts.headerLength > size)
    FailOn(path, "its header length " + std::to_string(counts.headerLength) + " does not fit the file");
  if (counts.recordLength < 1) FailOn(path, "its record length is 0");
  const std::uintmax_t needed =
      counts.headerLength + static_cast<std::uintmax_t>(counts.records) * counts.recordLength;
  if (needed > size) {
    FailOn(path, "its header counts " + std::to_string(counts.records) + " records of " +
                     std::to_string(counts.recordLength) + " bytes, the file holds " + std::to_string(size) +
                     " bytes");
  }
  return counts;
}

}  // namespace

int TableData::FieldIndex(std::string_view name) const {
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const std::string& field = fields[i].name;
    if (field.size() == name.size() &&
        std::equal(field.begin(), field.end(), name.begin(), [](char a, char b) {
          auto upper = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; };
          return upper(a) == upper(b);
        }))
      return static_cast<int>(i);
  }
  return -1;
}

void DbfFile::Closer::operator()(DBFInfo* handle) const noexcept { DBFClose(handle); }

TableData ReadTable(const std::filesystem::path& path) {
  const HeaderCounts counts = CheckHeader(path);
  const std::string name = path.string();
  DBFHandle raw = OpenThrough(name, Hooks(), [](const char* n, SAHooks* h) { return DBFOpenLL(n, "rb", h); });
  if (!raw) FailOn(path, "it is no dBase table");
  const std::unique_ptr<DBFInfo, void (*)(DBFInfo*)> handle(raw, [](DBFInfo* h) { DBFClose(h); });

  TableData table;
  table.recordLength = raw->nRecordLength;
  if (raw->nRecordLength != counts.recordLength || DBFGetRecordCount(raw) != static_cast<int>(counts.records))
    FailOn(path, "its header cannot be read");
  const int fieldCount = DBFGetFieldCount(raw);
  int end = 1;
  for (int i = 0; i < fieldCount; ++i) {
    char fieldName[XBASE_FLDNAME_LEN_READ + 1] = {};
    int width = 0, decimals = 0;
    DBFGetFieldInfo(raw, i, fieldName, &width, &decimals);
    FieldDef field;
    field.name = fieldName;
    field.type = DBFGetNativeFieldType(raw, i);
    field.width = width;
    field.decimals = decimals;
    field.offset = raw->panFieldOffset[i];
    if (width < 1 || field.offset < 1 || field.offset + width > raw->nRecordLength)
      FailOn(path, "field " + field.name + " lies outside the record");
    end = std::max(end, field.offset + width);
    table.fields.push_back(std::move(field));
  }
  const auto length = static_cast<std::size_t>(raw->nRecordLength);
  table.rows.reserve(counts.records);
  for (std::uint32_t i = 0; i < counts.records; ++i) {
    const char* record = DBFReadTuple(raw, static_cast<int>(i));
    if (!record) FailOn(path, "record " + std::to_string(i + 1) + " cannot be read");
    table.rows.emplace_back(record, length);
  }
  return table;
}

FileStamp StampOf(const std::filesystem::path& path) {
  // One system call: this runs before every statement on a table.
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return FileStamp{};
  return FileStamp{static_cast<std::uintmax_t>(status.st_size), status.st_mtim.tv_sec, status.st_mtim.tv_nsec};
}

DbfFile DbfFile::Create(const std::filesystem::path& path, const TableData& table) {
  // The header is written under a temporary name and the file renamed into place, so that the
  // table's name never shows a file without a whole header.
  std::filesystem::path temporary = path;
  temporary += ".new";
  const std::string name = temporary.string();
  DBFHandle raw =
      OpenThrough(name, PositionedHooks(), [](const char* n, SAHooks* h) { return DBFCreateLL(n, "LDID/201", h); });
  if (!raw) FailOn(path, "it cannot be created");
  DbfFile file(path, raw);
  std::error_code error;
  try {
    for (const FieldDef& field : table.fields) {
      if (DBFAddNativeFieldType(raw, field.name.c_str(), field.type, field.width, field.decimals) < 0)
        FailOn(path, "field " + field.name + " cannot be added");
    }
    DBFSetWriteEndOfFileChar(raw, 1);
    file.Finish();
    std::filesystem::rename(temporary, path, error);
    if (error) FailOn(path, error.message());
  } catch (...) {
    file.handle_.reset();
    std::filesystem::remove(temporary, error);
    throw;
  }
  return file;
}

DbfFile DbfFile::Open(const std::filesystem::path& path) {
  const std::string name = path.string();
  DBFHandle raw = OpenThrough(name, PositionedHooks(), [](const char* n, SAHooks* h) { return DBFOpenLL(n, "rb+", h); });
  if (!raw) FailOn(path, "it cannot be opened for writing");
  DBFSetWriteEndOfFileChar(raw, 1);
  return DbfFile(path, raw);
}

void DbfFile::WriteRecord(int index, const std::string& row) {
  DBFInfo* raw = handle_.get();
  if (static_cast<int>(row.size()) != raw->nRecordLength) FailOn(path_, "a record of the wrong length");
  tl_lastError.clear();
  if (!DBFWriteTuple(raw, index, const_cast<char*>(row.data()))) FailOn(path_, "record " + std::to_string(index + 1) + " cannot be written");
}

void DbfFile::Finish() {
  DBFInfo* raw = handle_.get();
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  DBFSetLastModifiedDate(raw, local.tm_year, local.tm_mon + 1, local.tm_mday);
  tl_lastError.clear();
  DBFUpdateHeader(raw);
  if (!tl_lastError.empty() || AsPositioned(raw->fp).failed) FailOn(path_, "its header cannot be written");
}

void DbfFile::Sync() {
  if (::fsync(AsPositioned(handle_->fp).fd) != 0) FailOn(path_, "it cannot be synced");
}

}  // namespace dbf
