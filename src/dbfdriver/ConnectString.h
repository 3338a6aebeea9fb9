// Connection strings: "KEY=value;KEY={value with ;};..." as ODBC writes them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace dbf {

using Attributes = std::vector<std::pair<std::string, std::string>>;

// Keys keep their spelling; braces around a value are removed. Pairs without "=" are skipped.
Attributes ParseConnectString(std::string_view text);
// The value of `key` (letter case ignored), the first one given.
std::optional<std::string> FindAttribute(const Attributes& attributes, std::string_view key);
// Joins the pairs again; values holding ";" or braces get braces.
std::string BuildConnectString(const Attributes& attributes);

// The data directory: the first of DefaultDir, SourceDB, DBQ that is given.
std::optional<std::string> DataDirectory(const Attributes& attributes);

}  // namespace dbf
