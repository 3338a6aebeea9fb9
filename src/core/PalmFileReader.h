// A Palm database file open for reading, as both Palm database libraries read one: its size taken
// once, its header, blocks and records read at any offset within that size.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <span>

#include "core/ByteIO.h"
#include "core/PalmDatabaseLayout.h"

namespace core {

class PalmFileReader {
 public:
  // Opens the file and takes its size; false when either fails (the reader is then closed).
  bool Open(const std::filesystem::path& path);
  void Close();
  std::uint64_t Size() const { return size_; }

  // Reads out.size() bytes at offset; false when they do not all lie within the file or cannot
  // be read. Small reads are served from a window of the file read ahead, since records are
  // read one after another in file order.
  bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out);
  // The 78-byte header; nothing when the file is shorter or cannot be read.
  std::optional<PalmDatabaseHeader> ReadHeader();
  // The bytes from offset to end; nothing when they do not lie within the file or cannot be read.
  std::optional<Bytes> ReadBlock(std::uint64_t offset, std::uint64_t end);

 private:
  bool ReadFromFile(std::uint64_t offset, std::span<std::uint8_t> out);

  std::ifstream in_;
  std::uint64_t size_ = 0;
  Bytes window_;  // bytes of the file from windowStart_ on
  std::uint64_t windowStart_ = 0;
};

}  // namespace core
