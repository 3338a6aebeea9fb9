// Re-creates the Palm databases carried by a container database, each as a file of its own.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/ByteIO.h"
#include "core/DateTime.h"
#include "sync/SyaGlobal.h"

namespace sya {

// Unpacks the container `directory`/`fileName` into `outputDirectory` (created when missing):
// one "<database name>.pdb" per packed database. Returns 0 or a SyaResult code. A damaged zlib
// stream raises EZDecompressionError; a header whose name, creator or type the database library
// refuses raises EPDBException; a file that cannot be written (a full disk) raises
// core::FileError naming it. The databases are put in place together once the whole container
// has been read: after any failure the output directory holds what it held before. Each
// database's records stream to disk as they are inflated, each record's bytes written once, so
// memory stays at a few buffers and one record list entry per record whatever the data's size.
int SyaUnpack(std::string_view directory, std::string_view fileName, std::string_view outputDirectory);

// A date field of a database header: 0 when its first two bytes are 0; above 0x7FFFFFFF seconds
// since 1904 local time; otherwise seconds since 1970 UTC, moved to local standard time.
core::TDateTime DateFromPalmSeconds(std::uint32_t raw);
core::TDateTime DateFromPalmSeconds(core::ByteSpan fourBytes);

}  // namespace sya
