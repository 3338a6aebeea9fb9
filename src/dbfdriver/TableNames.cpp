#include "dbfdriver/TableNames.h"

#include <algorithm>
#include <system_error>

#include "dbfdriver/DriverError.h"

namespace dbf {

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

}  // namespace

bool HasDbfExtension(std::string_view fileName) {
  return fileName.size() > 4 && SameName(fileName.substr(fileName.size() - 4), ".dbf");
}

std::filesystem::path ResolveTablePath(const std::filesystem::path& directory, std::string_view name) {
  const std::size_t cut = name.find_last_of("\\/");
  std::string file(cut == std::string_view::npos ? name : name.substr(cut + 1));
  std::filesystem::path folder = directory;
  if (cut != std::string_view::npos) {
    std::string prefix(name.substr(0, cut));
    std::replace(prefix.begin(), prefix.end(), '\\', '/');
    if (prefix.empty()) prefix = "/";
    const std::filesystem::path given(prefix);
    folder = given.is_absolute() ? given : directory / given;
  }
  if (file.empty() || file == "." || file == "..") {
    throw DriverError("42000", "Invalid table name \"" + std::string(name) + "\"");
  }
  if (!HasDbfExtension(file)) file += ".dbf";

  std::error_code error;
  if (std::filesystem::exists(folder / file, error)) return folder / file;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string candidate = it->path().filename().string();
    if (SameName(candidate, file)) return it->path();
  }
  return folder / file;
}

std::string TableNameOf(const std::filesystem::path& file) {
  std::string name = file.filename().string();
  if (HasDbfExtension(name)) name.resize(name.size() - 4);
  return name;
}

}  // namespace dbf
