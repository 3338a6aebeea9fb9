// What the driver tells about itself and a directory's tables: SQLGetInfo answers, the type
// list, and the SQLTables/SQLColumns results (built as in-memory result sets).
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <filesystem>
#include <optional>
#include <string>
#include <variant>

#include "dbfdriver/Executor.h"

namespace dbf::odbc {

using InfoValue = std::variant<std::string, SQLUSMALLINT, SQLUINTEGER>;
// nullopt for an information type the driver does not know.
std::optional<InfoValue> GetInfoValue(SQLUSMALLINT infoType, const std::filesystem::path& directory,
                                      const std::string& dataSource);

ResultSet TypeInfo(SQLSMALLINT dataType);
// Tables and columns of the directory; patterns use % and _ (and \ to escape).
ResultSet TablesOf(Workspace& workspace, const std::filesystem::path& directory, const std::string& tablePattern,
                   const std::string& typeList);
ResultSet ColumnsOf(Workspace& workspace, const std::filesystem::path& directory, const std::string& tablePattern,
                    const std::string& columnPattern);

// The ODBC functions the driver implements (for SQLGetFunctions).
bool Implements(SQLUSMALLINT function);

}  // namespace dbf::odbc
