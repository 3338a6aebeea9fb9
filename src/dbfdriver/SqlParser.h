// A small SQL parser for the statements of a dBase directory. Errors are DriverError 42000
// naming the character position (1-based) and the word that was not expected.
#pragma once

#include <string_view>

#include "dbfdriver/SqlStatement.h"

namespace dbf::sql {

ParsedStatement Parse(std::string_view text);

}  // namespace dbf::sql
