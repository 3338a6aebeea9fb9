#include "support/TempDir.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace testsupport {
namespace fs = std::filesystem;

TempDir::TempDir() {
  std::string templ = (fs::temp_directory_path() / "vestibo-test-XXXXXX").string();
  if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
  path_ = templ;
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

void TempDir::WriteFile(std::string_view name, std::string_view bytes) const {
  std::ofstream out(path_ / std::string(name), std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write test file");
}

void TempDir::WriteFile(std::string_view name, const std::vector<std::uint8_t>& bytes) const {
  WriteFile(name, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::string TempDir::ReadFile(std::string_view name) const {
  std::ifstream in(path_ / std::string(name), std::ios::binary);
  if (!in) throw std::runtime_error("cannot read test file " + std::string(name));
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::uint8_t> TempDir::ReadBytes(std::string_view name) const {
  auto text = ReadFile(name);
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

bool TempDir::Exists(std::string_view name) const { return fs::exists(path_ / std::string(name)); }

std::vector<std::string> TempDir::List() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(path_)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
  if (const char* old = std::getenv(name)) {
    had_ = true;
    old_ = old;
  }
  if (value) setenv(name, value, 1);
  else unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
  if (had_) setenv(name_.c_str(), old_.c_str(), 1);
  else unsetenv(name_.c_str());
}

}  // namespace testsupport
