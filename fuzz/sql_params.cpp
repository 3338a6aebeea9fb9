// Fuzzes the SQL parameter parser: every input is a statement text with ":name" parameters.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "odbc/TmParams.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view sql(reinterpret_cast<const char*>(data), size);
  const auto parsed = odbc::ParseSQLParams(sql);
  (void)parsed;
  return 0;
}
