// The file side of the platform layer: paths in the exchange directories, names matched without
// regard to letter case, whole-file reads, and writes that never leave a half-written file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace core {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// A file operation that failed; the message names the file and the system's reason.
class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A path that names something other than a regular file (symbolic links followed): a folder, a
// named pipe, a device or a socket.
class NotRegularFileError : public FileError {
 public:
  enum class Kind { Directory, Pipe, Device, Socket, Other };
  NotRegularFileError(const std::filesystem::path& path, Kind kind);
  Kind kind() const { return kind_; }

 private:
  Kind kind_;
};

// directory + separator + name, the directory used as typed.
std::string JoinPath(std::string_view directory, std::string_view name);

// The existing entry of `directory` whose name equals `name` without regard to letter case
// (an exact match first), or nothing.
std::optional<std::filesystem::path> FindNoCase(const std::filesystem::path& directory, std::string_view name);
// FindNoCase, or directory/name when there is no such file (the spelling to create it with).
std::filesystem::path ResolveNoCase(const std::filesystem::path& directory, std::string_view name);
bool ExistsNoCase(const std::filesystem::path& directory, std::string_view name);
// Deletes every file of `directory` whose name equals `name` without regard to letter case.
void DeleteNoCase(const std::filesystem::path& directory, std::string_view name);

// The whole file; FileError when it cannot be read.
std::vector<std::uint8_t> ReadWholeFile(const std::filesystem::path& path);

// The whole content of the regular file `path` (symbolic links followed). Anything else raises
// NotRegularFileError without being read and without waiting on it (a named pipe with no writer
// would block a plain open or read for ever); FileError when the file cannot be read.
std::string ReadRegularFile(const std::filesystem::path& path);

// Makes the renames and new names of `directory` durable (fsync of the directory itself), so that
// a file reported as written survives a power loss. FileError when the sync fails; file systems
// that cannot sync a directory are taken as having nothing to sync.
void SyncDirectory(const std::filesystem::path& directory);

// This machine's short host name, kept to letters, digits, "-" and "_" so it can stand in a file
// name ("localhost" when it has none).
std::string HostNameForFiles();
// The hidden name a write of `finalName` by process `pid` on `host` goes to first:
// "." + finalName + ".tmp" + pid + "@" + host + "." + a number.
std::string TemporaryNamePrefix(std::string_view finalName, long pid, std::string_view host);
// Removes the temporary files of `finalName` in `directory` left by processes of this machine that
// no longer run (a run that was killed or lost its power half-way); those of running processes
// stay, and so do those of other machines sharing the directory, whose processes cannot be seen
// from here.
void SweepAbandonedTemporaries(const std::filesystem::path& directory, std::string_view finalName);

// Whether a committed file is made durable: synced before its rename and its directory after.
// A file the same run deletes again (an intermediate database) needs no sync. Deferred: the file
// is handed to the disk when sealed (write-back starts, nobody waits for it) and Commit neither
// syncs nor waits; the caller syncs the file (SyncFile) before it takes a name that must survive
// a power loss, and the directory after. Several files so reach the disk while the program goes
// on working, instead of one after another while it waits.
enum class Durability { Synced, Unsynced, Deferred };

// Waits until the content of the file `path` is on disk (fsync). FileError when it fails.
void SyncFile(const std::filesystem::path& path);

// Writes a file through a temporary file in the same directory that is flushed, synced and
// renamed over the final name by Commit, which then syncs the directory (both syncs left out for
// Durability::Unsynced). Destroyed without Commit, it removes the temporary file and the final
// name keeps what it had. Temporary files of the same final name left by killed runs are removed
// first. Write failures raise FileError.
class AtomicFileWriter {
 public:
  explicit AtomicFileWriter(std::filesystem::path finalPath, Durability durability = Durability::Synced);
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  void Write(std::span<const std::uint8_t> bytes);
  void Write(std::string_view text);
  // Overwrites bytes written earlier, from `offset` on (std::out_of_range when they would run
  // past Size()): a head whose values are known only once what follows it has been written.
  void WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
  // Bytes written so far.
  std::uint64_t Size() const { return size_; }
  // Writes out what is buffered and closes the temporary file (synced when durable, write-back
  // started when deferred): TempPath then holds every byte written. Only Commit or Abandon may follow. Several files can so be
  // completed first and put in place together afterwards.
  void Seal();
  // Seals when not yet sealed, then renames over the final name.
  void Commit();
  // Removes the temporary file now; the final name is left alone.
  void Abandon();
  const std::filesystem::path& FinalPath() const { return final_; }
  const std::filesystem::path& TempPath() const { return temp_; }

 private:
  std::filesystem::path final_;
  std::filesystem::path temp_;
  void Flush();
  // Writes every byte at the file's position, or at `offset` when one is given.
  void WriteAll(std::span<const std::uint8_t> bytes, std::optional<std::uint64_t> offset = std::nullopt);

  Durability durability_;
  bool sealed_ = false;
  int fd_ = -1;
  std::uint64_t size_ = 0;
  std::vector<std::uint8_t> buffer_;  // small writes are gathered into large ones
};

// Writes a whole file through AtomicFileWriter.
void WriteWholeFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes,
                    Durability durability = Durability::Synced);

}  // namespace core
