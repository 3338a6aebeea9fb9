#include "dbfdriver/DbfTable.h"

#include <shapefil.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <limits>
#include <memory>
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
  tl_lastError.clear();
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
constexpr char kEndOfFile = 0x1A;

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

namespace {
FileStamp StampOfStatus(const struct stat& status) {
  return FileStamp{static_cast<std::uintmax_t>(status.st_size), status.st_mtim.tv_sec, status.st_mtim.tv_nsec};
}
}  // namespace

FileStamp StampOf(const std::filesystem::path& path) {
  // One system call: this runs before every statement on a table.
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return FileStamp{};
  return StampOfStatus(status);
}

DbfFile::Descriptor& DbfFile::Descriptor::operator=(Descriptor&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

DbfFile::Descriptor::~Descriptor() {
  if (fd_ >= 0) ::close(fd_);
}

DbfFile DbfFile::Create(const std::filesystem::path& path, const TableData& table) {
  // The header is written under a temporary name and the file renamed into place, so that the
  // table's name never shows a file without a whole header.
  std::filesystem::path temporary = path;
  temporary += ".new";
  const std::string name = temporary.string();
  std::error_code error;
  try {
    {
      DBFHandle raw =
          OpenThrough(name, Hooks(), [](const char* n, SAHooks* h) { return DBFCreateLL(n, "LDID/201", h); });
      if (!raw) FailOn(path, "it cannot be created");
      const std::unique_ptr<DBFInfo, void (*)(DBFInfo*)> handle(raw, [](DBFInfo* h) { DBFClose(h); });
      for (const FieldDef& field : table.fields) {
        if (DBFAddNativeFieldType(raw, field.name.c_str(), field.type, field.width, field.decimals) < 0)
          FailOn(path, "field " + field.name + " cannot be added");
      }
      DBFSetWriteEndOfFileChar(raw, 1);
      const std::time_t now = std::time(nullptr);
      std::tm local{};
      localtime_r(&now, &local);
      DBFSetLastModifiedDate(raw, local.tm_year, local.tm_mon + 1, local.tm_mday);
      DBFUpdateHeader(raw);
    }
    // Read back as any reader would: a header that did not reach the file fails here.
    DbfFile file = Open(temporary, table);
    file.path_ = path;
    std::filesystem::rename(temporary, path, error);
    if (error) FailOn(path, error.message());
    return file;
  } catch (...) {
    std::filesystem::remove(temporary, error);
    throw;
  }
}

DbfFile DbfFile::Open(const std::filesystem::path& path, const TableData& table) {
  const HeaderCounts counts = CheckHeader(path);
  if (counts.recordLength != table.recordLength) FailOn(path, "its record length is no longer the one read before");
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) FailOn(path, std::string("it cannot be opened for writing: ") + std::strerror(errno));
  return DbfFile(path, Descriptor(fd), counts.headerLength, counts.recordLength);
}

void DbfFile::WriteAt(std::uint64_t offset, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::pwrite(fd_.Get(), bytes.data(), bytes.size(), static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) FailOn(path_, std::string("it cannot be written: ") + std::strerror(n < 0 ? errno : ENOSPC));
    bytes.remove_prefix(static_cast<std::size_t>(n));
    offset += static_cast<std::uint64_t>(n);
  }
}

void DbfFile::WriteRecord(std::size_t index, std::string_view row) {
  if (row.size() != recordLength_) FailOn(path_, "a record of the wrong length");
  // A run ends at a gap or at 1 MiB, so that a whole table written at commit needs no copy of it.
  constexpr std::size_t kRunBytes = std::size_t{1} << 20;
  if (!run_.empty() && (index != runStart_ + run_.size() / recordLength_ || run_.size() >= kRunBytes))
    FlushRun(std::numeric_limits<std::size_t>::max());
  if (run_.empty()) runStart_ = index;
  run_.append(row);
}

void DbfFile::FlushRun(std::size_t records) {
  if (run_.empty()) return;
  if (runStart_ + run_.size() / recordLength_ == records) run_.push_back(kEndOfFile);
  WriteAt(RecordOffset(runStart_), run_);
  run_.clear();
}

void DbfFile::Finish(std::size_t records) {
  FlushRun(records);
  if (records > std::numeric_limits<std::uint32_t>::max()) FailOn(path_, "it cannot count more records");
  // Bytes 1-3 hold the date of the last change (years since 1900, month, day), 4-7 the count.
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const auto count = static_cast<std::uint32_t>(records);
  const char header[7] = {static_cast<char>(local.tm_year % 256), static_cast<char>(local.tm_mon + 1),
                          static_cast<char>(local.tm_mday), static_cast<char>(count & 0xFF),
                          static_cast<char>((count >> 8) & 0xFF), static_cast<char>((count >> 16) & 0xFF),
                          static_cast<char>(count >> 24)};
  WriteAt(1, std::string_view(header, sizeof header));
}

FileStamp DbfFile::Stamp() const {
  struct stat status {};
  if (::fstat(fd_.Get(), &status) != 0 || status.st_nlink == 0) return FileStamp{};
  return StampOfStatus(status);
}

void DbfFile::Sync() {
  if (::fsync(fd_.Get()) != 0) FailOn(path_, "it cannot be synced");
}

}  // namespace dbf
