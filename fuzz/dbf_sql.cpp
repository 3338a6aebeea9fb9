// Fuzzes the dBase driver's SQL parser: every input is a statement text. A statement the parser
// refuses is a DriverError; anything else (a crash, a hang, another exception) is a finding.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "dbfdriver/DriverError.h"
#include "dbfdriver/SqlParser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view sql(reinterpret_cast<const char*>(data), size);
  try {
    const auto parsed = dbf::sql::Parse(sql);
    (void)parsed;
  } catch (const dbf::DriverError&) {
  }
  return 0;
}
