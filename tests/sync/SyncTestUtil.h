// Builders and readers shared by the packager tests: source databases written through the
// packer's own library, containers assembled from hand-made streams, and a small independent
// reader of PDB files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/ByteIO.h"
#include "core/DateTime.h"

namespace synctest {

struct TestRecord {
  core::Bytes data;
  std::uint8_t attributes = 0;
  std::uint32_t uniqueID = 0;
};

struct TestDb {
  std::string name = "Demo";
  std::string creator = "PmOr";
  std::string type = "DATA";
  std::uint16_t flags = 0;
  std::uint16_t version = 0;
  core::TDateTime created = *core::TDateTime::FromDate(1990, 1, 1);
  core::TDateTime modified;
  core::Bytes appInfo, sortInfo;
  std::vector<TestRecord> records;
};

// Writes `db` as `dir`/`fileName` through sya::TPDBDataFields.
void WriteTestDb(const std::filesystem::path& dir, const std::string& fileName, const TestDb& db);

// A PDB file taken apart without the library under test.
struct ParsedPdb {
  std::string name;
  std::uint16_t attributes = 0, version = 0;
  std::uint32_t created = 0, modified = 0, backup = 0, modNumber = 0;
  std::uint32_t appInfoOffset = 0, sortInfoOffset = 0;
  std::string type, creator;
  std::uint32_t seed = 0;
  core::Bytes appInfo, sortInfo;
  struct Rec {
    std::uint32_t offset = 0;
    std::uint8_t attrByte = 0;
    std::uint32_t uniqueID = 0;
    core::Bytes data;
  };
  std::vector<Rec> records;
};
ParsedPdb ParsePdb(const core::Bytes& file);

// The container stream: every record's bytes, one after the other.
core::Bytes StreamOf(const ParsedPdb& container);

// Writes a container PDB whose records are `stream` cut into pieces of `recordSize`, each with a
// checksum trailer when asked, and with `appInfo` as its directory.
void WriteContainer(const std::filesystem::path& dir, const std::string& fileName, const core::Bytes& stream,
                    std::size_t recordSize, bool trailers = false, const core::Bytes& appInfo = {});

// Pieces of a hand-made stream.
core::Bytes Marker();
core::Bytes Header(const std::string& name, std::uint16_t appInfoSize, std::uint16_t sortInfoSize,
                   std::uint16_t recordCount, std::uint16_t attributes = 0, std::uint16_t version = 0);
// A block: 4-byte length and the zlib stream of `content`.
core::Bytes Block(const core::Bytes& content);
core::Bytes Entry(std::uint16_t attributeWord, const core::Bytes& data);
core::Bytes Concat(std::initializer_list<core::Bytes> parts);
core::Bytes Text(std::string_view text);
core::Bytes Random(std::size_t size, std::uint32_t seed);

// Inflates a zlib stream with plain zlib.
core::Bytes Inflate(core::ByteSpan zlibStream);

}  // namespace synctest
