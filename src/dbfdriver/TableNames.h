// Where a table named in a statement lives: the connection's directory, or the directory the
// name begins with ("\" or "/" separated), and the file in it whose name matches without regard
// to letter case; a table not there yet gets the name as written, with ".dbf" added.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace dbf {

std::filesystem::path ResolveTablePath(const std::filesystem::path& directory, std::string_view name);

// The table name shown for a file ("orders" for "orders.dbf").
std::string TableNameOf(const std::filesystem::path& file);

bool HasDbfExtension(std::string_view fileName);

}  // namespace dbf
