// Re-creates the Palm databases carried by a container database, each as a file of its own.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/ByteIO.h"
#include "core/DateTime.h"
#include "sync/SyaGlobal.h"

namespace sya {

// Unpacks the container `directory`/`fileName` into `outputDirectory` (created when missing):
// one "<database name>.pdb" per packed database, each written whole or not at all. Returns 0 or
// a SyaResult code. A damaged zlib stream raises EZDecompressionError; a header whose name,
// creator or type the database library refuses raises EPDBException. Databases finished before
// a failure stay on disk.
int SyaUnpack(std::string_view directory, std::string_view fileName, std::string_view outputDirectory);

// A date field of a database header: 0 when its first two bytes are 0; above 0x7FFFFFFF seconds
// since 1904 local time; otherwise seconds since 1970 UTC, moved to local standard time.
core::TDateTime DateFromPalmSeconds(std::uint32_t raw);
core::TDateTime DateFromPalmSeconds(core::ByteSpan fourBytes);

}  // namespace sya
