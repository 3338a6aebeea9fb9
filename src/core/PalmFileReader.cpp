#include "core/PalmFileReader.h"

#include <algorithm>
#include <array>
#include <system_error>

namespace core {
namespace fs = std::filesystem;

bool PalmFileReader::Open(const fs::path& path) {
  Close();
  // Every read seeks first; a stream buffer would be refilled at every seek, so reads go to the
  // file directly, small ones through the read-ahead window.
  in_.rdbuf()->pubsetbuf(nullptr, 0);
  in_.open(path, std::ios::binary);
  std::error_code ec;
  const auto size = in_ ? fs::file_size(path, ec) : 0;
  if (!in_ || ec) {
    Close();
    return false;
  }
  size_ = size;
  return true;
}

void PalmFileReader::Close() {
  in_ = std::ifstream();
  size_ = 0;
  window_.clear();
  window_.shrink_to_fit();
  windowStart_ = 0;
}

bool PalmFileReader::ReadFromFile(std::uint64_t offset, std::span<std::uint8_t> out) {
  in_.clear();
  in_.seekg(static_cast<std::streamoff>(offset));
  if (!in_) return false;
  if (!out.empty()) in_.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
  return static_cast<bool>(in_);
}

bool PalmFileReader::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) {
  constexpr std::size_t kWindow = 64 * 1024;
  if (offset > size_ || out.size() > size_ - offset) return false;
  if (out.size() >= kWindow) return ReadFromFile(offset, out);
  if (offset < windowStart_ || offset + out.size() > windowStart_ + window_.size()) {
    window_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kWindow, size_ - offset)));
    windowStart_ = offset;
    if (!ReadFromFile(offset, window_)) {
      window_.clear();
      return false;
    }
  }
  const auto from = window_.begin() + static_cast<std::ptrdiff_t>(offset - windowStart_);
  std::copy(from, from + static_cast<std::ptrdiff_t>(out.size()), out.begin());
  return true;
}

std::optional<PalmDatabaseHeader> PalmFileReader::ReadHeader() {
  std::array<std::uint8_t, kPalmHeaderSize> raw{};
  if (!ReadAt(0, raw)) return std::nullopt;
  BigEndianReader in(raw);
  return PalmDatabaseHeader::Read(in);
}

std::optional<Bytes> PalmFileReader::ReadBlock(std::uint64_t offset, std::uint64_t end) {
  if (offset > end || end > size_) return std::nullopt;
  Bytes block(static_cast<std::size_t>(end - offset));
  if (!ReadAt(offset, block)) return std::nullopt;
  return block;
}

}  // namespace core
