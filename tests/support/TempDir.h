// A fresh temporary directory per test, removed with everything in it afterwards.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::string Str() const { return path_.string(); }
  std::filesystem::path operator/(std::string_view name) const { return path_ / std::string(name); }

  void WriteFile(std::string_view name, std::string_view bytes) const;
  void WriteFile(std::string_view name, const std::vector<std::uint8_t>& bytes) const;
  std::string ReadFile(std::string_view name) const;
  std::vector<std::uint8_t> ReadBytes(std::string_view name) const;
  bool Exists(std::string_view name) const;
  // Names of the entries, sorted.
  std::vector<std::string> List() const;

 private:
  std::filesystem::path path_;
};

// Sets an environment variable for the lifetime of the object and restores it afterwards.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  bool had_ = false;
  std::string old_;
};

}  // namespace testsupport
