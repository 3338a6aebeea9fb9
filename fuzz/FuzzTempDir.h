// A fresh directory under the system's temporary directory for one fuzz input, removed with
// everything in it when the object goes.
#pragma once

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <system_error>

namespace fuzzsupport {

class FuzzTempDir {
 public:
  FuzzTempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vestibo-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::system_error(errno, std::generic_category(), "mkdtemp");
    path_ = pattern;
  }
  ~FuzzTempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  FuzzTempDir(const FuzzTempDir&) = delete;
  FuzzTempDir& operator=(const FuzzTempDir&) = delete;
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// The input as a file (plainly written: the fuzz directory is thrown away anyway).
inline void WriteInput(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace fuzzsupport
