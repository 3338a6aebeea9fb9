#include "core/Files.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "core/Encoding.h"

namespace core {
namespace fs = std::filesystem;
namespace {

std::string Describe(const fs::path& path, int error) { return path.string() + ": " + std::strerror(error); }

}  // namespace

std::string JoinPath(std::string_view directory, std::string_view name) {
  std::string path(directory);
  path += kPathSeparator;
  path += name;
  return path;
}

std::optional<fs::path> FindNoCase(const fs::path& directory, std::string_view name) {
  std::error_code ec;
  const fs::path exact = directory / std::string(name);
  if (fs::exists(exact, ec)) return exact;
  for (fs::directory_iterator it(directory, ec), end; !ec && it != end; it.increment(ec)) {
    if (AnsiSameText(it->path().filename().string(), name)) return it->path();
  }
  return std::nullopt;
}

fs::path ResolveNoCase(const fs::path& directory, std::string_view name) {
  if (auto found = FindNoCase(directory, name)) return *found;
  return directory / std::string(name);
}

bool ExistsNoCase(const fs::path& directory, std::string_view name) { return FindNoCase(directory, name).has_value(); }

void DeleteNoCase(const fs::path& directory, std::string_view name) {
  std::error_code ec;
  std::vector<fs::path> victims;
  for (fs::directory_iterator it(directory, ec), end; !ec && it != end; it.increment(ec)) {
    if (AnsiSameText(it->path().filename().string(), name) && !it->is_directory()) victims.push_back(it->path());
  }
  for (const auto& path : victims) {
    if (!fs::remove(path, ec) && ec) throw FileError("cannot delete " + Describe(path, ec.value()));
  }
}

std::vector<std::uint8_t> ReadWholeFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FileError("cannot open " + Describe(path, errno));
  std::vector<std::uint8_t> bytes;
  in.seekg(0, std::ios::end);
  const auto size = in.tellg();
  if (size > 0) {
    bytes.resize(static_cast<std::size_t>(size));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), size);
    if (!in) throw FileError("cannot read " + Describe(path, errno));
  }
  return bytes;
}

namespace {

NotRegularFileError::Kind KindOf(mode_t mode) {
  using Kind = NotRegularFileError::Kind;
  if (S_ISDIR(mode)) return Kind::Directory;
  if (S_ISFIFO(mode)) return Kind::Pipe;
  if (S_ISCHR(mode) || S_ISBLK(mode)) return Kind::Device;
  if (S_ISSOCK(mode)) return Kind::Socket;
  return Kind::Other;
}

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() { ::close(fd_); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

NotRegularFileError::NotRegularFileError(const fs::path& path, Kind kind)
    : FileError(path.string() + " is not a regular file"), kind_(kind) {}

std::string ReadRegularFile(const fs::path& path) {
  // Checked before opening, so that a device is never opened at all; the descriptor is checked
  // again because the entry may be swapped between the two calls, and it is opened without
  // blocking so that a pipe put there in between cannot hold the run either.
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) throw FileError("cannot open " + Describe(path, errno));
  if (!S_ISREG(st.st_mode)) throw NotRegularFileError(path, KindOf(st.st_mode));
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) throw FileError("cannot open " + Describe(path, errno));
  const Descriptor file(fd);
  if (::fstat(fd, &st) != 0) throw FileError("cannot read " + Describe(path, errno));
  if (!S_ISREG(st.st_mode)) throw NotRegularFileError(path, KindOf(st.st_mode));

  std::string bytes(static_cast<std::size_t>(st.st_size), '\0');
  std::size_t done = 0;
  std::array<char, 4096> probe{};  // reads past the size seen: the file may have grown
  for (;;) {
    const bool full = done == bytes.size();
    char* const into = full ? probe.data() : bytes.data() + done;
    const std::size_t room = full ? probe.size() : bytes.size() - done;
    const ssize_t n = ::read(fd, into, room);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw FileError("cannot read " + Describe(path, errno));
    }
    if (n == 0) break;
    if (full) bytes.append(probe.data(), static_cast<std::size_t>(n));
    done += static_cast<std::size_t>(n);
  }
  bytes.resize(done);
  return bytes;
}

void SyncFile(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw FileError("cannot sync " + Describe(path, errno));
  const int result = ::fsync(fd);
  const int error = errno;
  ::close(fd);
  if (result != 0) throw FileError("cannot sync " + Describe(path, error));
}

void SyncDirectory(const fs::path& directory) {
  const fs::path dir = directory.empty() ? fs::path(".") : directory;
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) throw FileError("cannot open directory " + Describe(dir, errno));
  const int result = ::fsync(fd);
  const int error = errno;
  ::close(fd);
  if (result != 0 && error != EINVAL && error != EROFS) throw FileError("cannot sync directory " + Describe(dir, error));
}

std::string HostNameForFiles() {
  std::array<char, 256> buffer{};
  if (::gethostname(buffer.data(), buffer.size() - 1) != 0) buffer[0] = '\0';
  std::string host(buffer.data());
  if (const auto dot = host.find('.'); dot != std::string::npos) host.resize(dot);
  const auto keep = [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
  };
  for (char& c : host)
    if (!keep(c)) c = '_';
  return host.empty() ? "localhost" : host;
}

std::string TemporaryNamePrefix(std::string_view finalName, long pid, std::string_view host) {
  std::string name = ".";
  name += finalName;
  name += ".tmp";
  name += std::to_string(pid);
  name += '@';
  name += host;
  name += '.';
  return name;
}

namespace {

// The writer's process id in a temporary name that starts with `prefix` ("." + final name +
// ".tmp") and was made on `host`, or nothing for other names.
std::optional<long> TemporaryOwner(std::string_view name, std::string_view prefix, std::string_view host) {
  if (!name.starts_with(prefix)) return std::nullopt;
  name.remove_prefix(prefix.size());
  long pid = 0;
  const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), pid);
  if (error != std::errc() || pid <= 0) return std::nullopt;
  name.remove_prefix(static_cast<std::size_t>(end - name.data()));
  if (!name.starts_with('@') || !name.substr(1).starts_with(host)) return std::nullopt;
  name.remove_prefix(1 + host.size());
  if (!name.starts_with('.')) return std::nullopt;
  const std::string_view number = name.substr(1);
  if (number.empty() || number.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
  return pid;
}

bool ProcessRuns(long pid) { return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM; }

// Removes the abandoned temporaries of `finalName` made on `host` (see SweepAbandonedTemporaries).
void SweepAbandonedTemporaries(const fs::path& directory, std::string_view finalName, std::string_view host) {
  std::error_code ec;
  std::vector<fs::path> abandoned;
  const fs::path dir = directory.empty() ? fs::path(".") : directory;
  std::string prefix = ".";
  prefix.append(finalName).append(".tmp");
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const auto owner = TemporaryOwner(it->path().filename().native(), prefix, host);
    if (owner && !ProcessRuns(*owner)) abandoned.push_back(it->path());
  }
  // Best effort: a temporary file that cannot be removed now is tried again by the next write.
  for (const auto& path : abandoned) fs::remove(path, ec);
}

}  // namespace

void SweepAbandonedTemporaries(const fs::path& directory, std::string_view finalName) {
  SweepAbandonedTemporaries(directory, finalName, HostNameForFiles());
}

AtomicFileWriter::AtomicFileWriter(fs::path finalPath, Durability durability)
    : final_(std::move(finalPath)), durability_(durability) {
  const fs::path directory = final_.has_parent_path() ? final_.parent_path() : fs::path(".");
  const std::string finalName = final_.filename().string();
  const std::string host = HostNameForFiles();
  SweepAbandonedTemporaries(directory, finalName, host);
  const std::string prefix = TemporaryNamePrefix(finalName, static_cast<long>(::getpid()), host);
  // The process id and host keep the name apart from other processes, also those of another
  // machine writing to a shared directory; within this one, the first free number (O_EXCL never
  // opens an existing file or follows a link planted under the name).
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    temp_ = directory / (prefix + std::to_string(attempt));
    fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0 && errno != EEXIST) break;
  }
  // Named by the file the person asked for; the temporary name would only puzzle.
  if (fd_ < 0) throw FileError("cannot create " + Describe(final_, errno));
}

AtomicFileWriter::~AtomicFileWriter() { Abandon(); }

namespace {
constexpr std::size_t kWriteBufferSize = 64 * 1024;
}  // namespace

void AtomicFileWriter::Write(std::span<const std::uint8_t> bytes) {
  if (fd_ < 0) throw FileError("write to a closed file " + final_.string());
  if (buffer_.size() + bytes.size() > kWriteBufferSize) Flush();
  if (bytes.size() >= kWriteBufferSize) {
    WriteAll(bytes);
  } else {
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
  }
  size_ += bytes.size();
}

void AtomicFileWriter::Flush() {
  // The buffer is dropped even when the write fails: the file is abandoned then anyway.
  std::vector<std::uint8_t> pending;
  pending.swap(buffer_);
  buffer_.reserve(kWriteBufferSize);
  WriteAll(pending);
}

void AtomicFileWriter::WriteAll(std::span<const std::uint8_t> bytes, std::optional<std::uint64_t> offset) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = offset ? ::pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(*offset + done))
                             : ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw FileError("cannot write " + Describe(final_, errno));
    }
    done += static_cast<std::size_t>(n);
  }
}

void AtomicFileWriter::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  if (fd_ < 0) throw FileError("write to a closed file " + final_.string());
  if (offset > size_ || bytes.size() > size_ - offset) throw std::out_of_range("overwrite past the end of " + final_.string());
  Flush();
  WriteAll(bytes, offset);
}

void AtomicFileWriter::Write(std::string_view text) {
  Write(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

void AtomicFileWriter::Seal() {
  if (fd_ < 0) throw FileError("seal of a closed file " + final_.string());
  Flush();
  if (durability_ == Durability::Synced && ::fsync(fd_) != 0) throw FileError("cannot sync " + Describe(final_, errno));
#ifdef __linux__
  // Only a start: whoever puts the file in place syncs it, by then mostly written.
  if (durability_ == Durability::Deferred) ::sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) {
    const int error = errno;
    ::unlink(temp_.c_str());
    temp_.clear();
    throw FileError("cannot close " + Describe(final_, error));
  }
  sealed_ = true;
}

void AtomicFileWriter::Commit() {
  if (!sealed_) Seal();
  if (temp_.empty()) throw FileError("commit of a closed file " + final_.string());
  if (::rename(temp_.c_str(), final_.c_str()) != 0) {
    const int error = errno;
    ::unlink(temp_.c_str());
    temp_.clear();
    throw FileError("cannot replace " + Describe(final_, error));
  }
  temp_.clear();
  if (durability_ == Durability::Synced)
    SyncDirectory(final_.has_parent_path() ? final_.parent_path() : fs::path("."));
}

void AtomicFileWriter::Abandon() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!temp_.empty()) {
    ::unlink(temp_.c_str());
    temp_.clear();
  }
}

void WriteWholeFile(const fs::path& path, std::span<const std::uint8_t> bytes, Durability durability) {
  AtomicFileWriter writer(path, durability);
  writer.Write(bytes);
  writer.Commit();
}

}  // namespace core
