#include "sync/SyaUnpack.h"

#include <nettle/md5.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <vector>
#include <zlib.h>

#include "core/Encoding.h"
#include "core/Files.h"
#include "core/Messages.h"
#include "sync/SyaSupport.h"
#include "sync/SyaZlib.h"

namespace sya {
namespace fs = std::filesystem;
namespace {

// The window holds stream bytes read from container records but not yet consumed; the block
// buffer one inflated block. Both are fixed, whatever the container's size.
constexpr std::size_t kWindowSize = 65500;
constexpr std::size_t kBlockBufferSize = 65500;
// The window is refilled below these many pending bytes (at a marker, so that marker and header
// are whole).
constexpr std::size_t kRefillBelow = 1000;
constexpr std::size_t kMarkerRefillBelow = 100;

bool EndsWithChecksumTag(core::ByteSpan record) {
  return record.size() >= kChecksumTrailerSize &&
         std::memcmp(record.data() + record.size() - kChecksumTag.size(), kChecksumTag.data(), kChecksumTag.size()) == 0;
}

// A name that is usable as a file name inside the output directory and nowhere else.
bool IsPlainFileName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
         name.find('\\') == std::string_view::npos;
}

// The container's AppInfo block: database count, zero-terminated names, the container's record
// count. A block too short to hold the count is taken as it is.
int CheckDirectory(const core::Bytes& appInfo, std::uint16_t recordCount) {
  if (appInfo.size() <= 3) return syaOK;
  core::BigEndianReader r(appInfo);
  const std::uint16_t databases = r.U16();
  for (std::uint32_t i = 0; i < databases; ++i) {
    r.ZeroTerminated();
    if (r.Remaining() == 0) return syaOK;
  }
  if (r.Remaining() < 2) return syaOK;
  return r.U16() == recordCount ? syaOK : syaStreamTruncated;
}

// Records that end in a checksum trailer are checked until the first one that does not.
int CheckChecksums(TPDBDataFields& container) {
  try {
    container.First();
  } catch (const std::exception&) {
    return syaCannotOpen;
  }
  while (!container.Eof()) {
    const core::Bytes& record = container.RecordData();
    if (record.empty()) return syaChecksumMismatch;
    if (!EndsWithChecksumTag(record)) break;
    const std::size_t covered = record.size() - kChecksumTrailerSize;
    md5_ctx ctx;
    md5_init(&ctx);
    md5_update(&ctx, covered, record.data());
    std::array<std::uint8_t, MD5_DIGEST_SIZE> digest{};
    md5_digest(&ctx, digest.size(), digest.data());
    if (!std::equal(digest.begin() + 12, digest.end(), record.begin() + static_cast<std::ptrdiff_t>(covered)))
      return syaChecksumMismatch;
    try {
      container.Next();
    } catch (const std::exception&) {
      return syaCannotOpen;
    }
  }
  return syaOK;
}

class TUnpacker {
 public:
  TUnpacker(TPDBDataFields& container, fs::path containerPath, std::string outputDirectory)
      : container_(container), containerPath_(std::move(containerPath)),
        outputDirectory_(std::move(outputDirectory)), window_(kWindowSize), block_(kBlockBufferSize) {}
  // A database cut short by a failure is dropped, never written.
  ~TUnpacker() { output_.Abandon(); }

  int Run();
  // Puts every finished database in place.
  void CommitAll();

 private:
  void FinishDatabase();
  std::size_t Pending() const { return w_ - r_; }
  int ReadNextRecord(int failureCode);
  int Refill(std::size_t below, int failureCode);
  int StartDatabase();
  int ReadBlock();
  int AppendBlockRecords();

  TPDBDataFields& container_;
  fs::path containerPath_;
  std::string outputDirectory_;
  TPDBDataFields output_;
  // Databases written to their temporary files, waiting for the end of the container.
  std::vector<std::unique_ptr<core::AtomicFileWriter>> finished_;
  std::set<std::string> names_;  // upper-cased
  core::Bytes window_;
  core::Bytes block_;
  std::size_t r_ = 0, w_ = 0, blockLength_ = 0;
  bool recordsLeft_ = true;
  bool haveHeader_ = false;
  TPackedHeader header_;
  int phase_ = 1;
  TZInflater inflater_;
};

// Moves the current container record (without a checksum trailer) into the window.
int TUnpacker::ReadNextRecord(int failureCode) {
  if (!recordsLeft_) return syaOK;
  if (r_ > 0) {
    std::memmove(window_.data(), window_.data() + r_, w_ - r_);
    w_ -= r_;
    r_ = 0;
  }
  core::ByteSpan record = container_.RecordData();
  if (EndsWithChecksumTag(record)) record = record.first(record.size() - kChecksumTrailerSize);
  if (record.size() > kWindowSize - w_) return syaStreamMalformed;
  std::copy(record.begin(), record.end(), window_.begin() + static_cast<std::ptrdiff_t>(w_));
  w_ += record.size();
  try {
    container_.Next();
  } catch (const std::exception&) {
    return failureCode;
  }
  recordsLeft_ = !container_.Eof();
  return syaOK;
}

int TUnpacker::Refill(std::size_t below, int failureCode) {
  while (recordsLeft_ && Pending() < below) {
    if (int rc = ReadNextRecord(failureCode)) return rc;
  }
  return syaOK;
}

int TUnpacker::StartDatabase() {
  if (int rc = Refill(kMarkerRefillBelow, syaCannotOpen)) return rc;
  if (Pending() < kDatabaseLeadSize) return syaStreamTruncated;
  FinishDatabase();  // the previous database is complete
  header_ = TPackedHeader::Decode(core::ByteSpan(window_).subspan(r_ + kDatabaseMarker.size(), kPackedHeaderSize));
  r_ += kDatabaseLeadSize;
  haveHeader_ = true;
  if (!IsPlainFileName(header_.name)) return syaUnsafeDatabaseName;
  // Two databases of one name would leave only the last; file names match in any letter case.
  if (!names_.insert(core::UpperAscii(header_.name)).second) return syaStreamMalformed;
  std::error_code ec;
  if (fs::equivalent(core::ResolveNoCase(outputDirectory_, header_.name + ".pdb"), containerPath_, ec))
    return syaWouldReplaceContainer;

  output_.SetStreamRecords(true);
  // Each database starts on its way to the disk as soon as it is complete; CommitAll waits for
  // them all at once before any takes its name.
  output_.SetFileDurability(core::Durability::Deferred);
  // Entries without data are dropped, so the count is a good guess rather than a promise.
  output_.SetExpectedRecordCount(header_.recordCount);
  output_.SetDirectory(outputDirectory_);
  output_.SetPDBFilename(header_.name + ".pdb");
  output_.SetCreatorID(std::string(header_.creator.data(), header_.creator.size()));
  output_.SetDatabaseType(std::string(header_.type.data(), header_.type.size()));
  output_.SetDatabaseName(header_.name);
  output_.SetDatabaseFlags(header_.attributes);
  output_.SetOpenMode(dmModeWriteOnly);
  output_.CreateDatabase();
  output_.SetAppInfoData({});
  output_.SetSortInfoData({});
  output_.SetVersion(header_.version);
  output_.SetCreationDate(DateFromPalmSeconds(header_.creationDate));
  output_.SetModificationDate(DateFromPalmSeconds(header_.modificationDate));
  output_.SetModificationNumber(header_.reserved56);
  output_.SetRecordCategory(0);
  output_.SetRecordUniqueID(0);
  phase_ = 1;
  return syaOK;
}

// A block: its 4-byte length, then the zlib stream, inflated into the block buffer.
int TUnpacker::ReadBlock() {
  if (int rc = Refill(kBlockLengthSize, syaNextFailed)) return rc;
  if (Pending() < kBlockLengthSize) return syaStreamTruncated;
  const std::uint32_t length = core::LoadBE32(window_.data() + r_);
  r_ += kBlockLengthSize;
  if (length > kWindowSize) return syaStreamMalformed;
  while (Pending() < length && recordsLeft_) {
    const std::size_t before = Pending();
    if (int rc = ReadNextRecord(syaNextFailed)) return rc;
    if (Pending() == before) break;
  }
  if (Pending() < length) return syaStreamTruncated;
  try {
    blockLength_ = inflater_.Decompress(core::ByteSpan(window_).subspan(r_, length), block_);
  } catch (const EZDecompressionError& e) {
    if (e.ZlibCode() == Z_BUF_ERROR) return syaStreamMalformed;  // inflates past the block buffer
    throw;
  }
  r_ += length;
  return syaOK;
}

// Record entries: attribute word, size, bytes. Entries without data (deleted records) are dropped.
int TUnpacker::AppendBlockRecords() {
  core::BigEndianReader in(core::ByteSpan(block_).first(blockLength_));
  while (in.Remaining() > 0) {
    if (!in.Has(kEntryHeadSize)) return syaStreamMalformed;
    const std::uint16_t attributes = in.U16();
    const std::uint16_t size = in.U16();
    if (!in.Has(size)) return syaStreamMalformed;
    const core::ByteSpan data = in.Take(size);
    if (size == 0) continue;
    if (output_.RecordCount() >= core::kPalmMaxRecords) return syaStreamMalformed;
    output_.SetRecordAttributes(static_cast<std::uint8_t>((attributes / 16) % 16));
    output_.AppendRecordCopy(data);
  }
  return syaOK;
}

int TUnpacker::Run() {
  try {
    container_.First();
  } catch (const std::exception&) {
    return syaCannotOpen;
  }
  recordsLeft_ = container_.RecordCount() > 0;
  const auto starts = [&](std::string_view marker) {
    return Pending() >= marker.size() && std::memcmp(window_.data() + r_, marker.data(), marker.size()) == 0;
  };
  while (recordsLeft_ || r_ < w_) {
    if (int rc = Refill(kRefillBelow, syaCannotOpen)) return rc;
    if (starts(kDatabaseMarker)) {
      if (int rc = StartDatabase()) return rc;
    } else if (!haveHeader_ || header_.AnnouncesNothing()) {
      return syaStreamMalformed;  // bytes that belong to nothing announced
    }
    if (header_.AnnouncesNothing()) continue;
    if (int rc = ReadBlock()) return rc;
    if (phase_ == 1) {
      phase_ = 2;
      if (header_.appInfoSize != 0) {
        output_.SetAppInfoData(core::Bytes(block_.begin(), block_.begin() + static_cast<std::ptrdiff_t>(blockLength_)));
        continue;
      }
    }
    if (phase_ == 2) {
      phase_ = 3;
      if (header_.sortInfoSize != 0) {
        output_.SetSortInfoData(core::Bytes(block_.begin(), block_.begin() + static_cast<std::ptrdiff_t>(blockLength_)));
        continue;
      }
    }
    if (int rc = AppendBlockRecords()) return rc;
  }
  FinishDatabase();  // the last database
  return syaOK;
}

void TUnpacker::FinishDatabase() {
  if (output_.Active()) finished_.push_back(output_.CloseStaged());
}

void TUnpacker::CommitAll() {
  // Every database is on disk before the first takes its name (a sync that fails leaves all
  // under their hidden names), and one directory sync covers all the renames.
  for (const auto& file : finished_) core::SyncFile(file->TempPath());
  for (auto& file : finished_) file->Commit();
  if (!finished_.empty()) core::SyncDirectory(outputDirectory_);
  finished_.clear();
}

}  // namespace

core::TDateTime DateFromPalmSeconds(std::uint32_t raw) {
  return core::TDateTime::FromHeaderSeconds(raw, core::StandardTimeZoneBiasMinutes());
}

core::TDateTime DateFromPalmSeconds(core::ByteSpan fourBytes) {
  if (fourBytes.size() < 4) return core::TDateTime();
  return DateFromPalmSeconds(core::LoadBE32(fourBytes.data()));
}

int SyaUnpack(std::string_view directory, std::string_view fileName, std::string_view outputDirectory) {
  std::error_code ec;
  const fs::path folder{std::string(directory)};
  if (!fs::is_directory(folder, ec)) return syaDirectoryMissing;
  if (!core::ExistsNoCase(folder, fileName)) return syaFileMissing;
  const fs::path output{std::string(outputDirectory)};
  fs::create_directories(output, ec);
  if (!fs::is_directory(output, ec)) return syaOutputDirNotCreated;

  TPDBDataFields container;
  try {
    container.SetDirectory(std::string(directory));
    container.SetPDBFilename(std::string(fileName));
    container.SetOpenMode(dmModeReadOnly);
    container.Open();
  } catch (const std::exception&) {
    return syaCannotOpen;
  }
  if (container.RecordCount() == 0) return syaContainerEmpty;
  if (int rc = CheckDirectory(container.AppInfoData(), container.RecordCount())) return rc;
  if (int rc = CheckChecksums(container)) return rc;
  try {
    container.First();
  } catch (const std::exception&) {
    return syaCannotOpen;
  }
  const core::Bytes& first = container.RecordData();
  if (first.size() < kDatabaseMarker.size() ||
      std::memcmp(first.data(), kDatabaseMarker.data(), kDatabaseMarker.size()) != 0)
    return syaNoMarker;

  // On a failure the unpacker's databases, finished or not, go with it: nothing is put in place.
  const fs::path path = core::ResolveNoCase(folder, fileName);
  TUnpacker unpacker(container, path, std::string(outputDirectory));
  int rc;
  try {
    rc = unpacker.Run();
  } catch (const EZDecompressionError& e) {
    // zlib's text alone does not say which file is damaged.
    throw EZDecompressionError(e.ZlibCode(), core::WithContext(e.what(), "container " + path.string()));
  }
  if (rc == syaOK) unpacker.CommitAll();
  return rc;
}

}  // namespace sya
