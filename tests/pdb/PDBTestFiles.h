// Hand-built Palm database files for the tests: a header, a record list and raw bytes, each
// part settable so that broken files can be made on purpose.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/ByteIO.h"

namespace pdbtest {

struct Entry {
  std::uint32_t offset = 0;
  std::uint8_t attributes = 0;  // the byte as stored: flags in the high nibble, category low
  std::uint32_t uniqueID = 0;
};

struct FileSpec {
  std::string name = "TestDB";
  std::uint16_t attributes = 0;
  std::uint32_t created = 0xA1C44E00;  // 01/01/1990 00:00 in Palm seconds
  std::uint32_t modified = 0xA1C44E00;
  std::uint32_t backedUp = 0;
  std::uint32_t appInfoOffset = 0;
  std::uint32_t sortInfoOffset = 0;
  std::string type = "DATA";
  std::string creator = "PmOr";
  std::uint32_t seed = 0;
  // Entries as given; when `records` is set instead, entries are laid out for them.
  std::vector<Entry> entries;
  std::vector<core::Bytes> records;
  std::uint16_t countOverride = 0;
  bool useCountOverride = false;
  core::Bytes between;  // bytes after the record list gap, before the record data
};

inline core::Bytes BuildFile(FileSpec spec) {
  if (!spec.records.empty() && spec.entries.empty()) {
    std::uint32_t at = static_cast<std::uint32_t>(80 + 8 * spec.records.size() + spec.between.size());
    for (const auto& r : spec.records) {
      spec.entries.push_back({at, 0, 0});
      at += static_cast<std::uint32_t>(r.size());
    }
  }
  core::Bytes out;
  core::BigEndianWriter w(out);
  w.FixedText(spec.name, 32);
  w.U16(spec.attributes);
  w.U16(0);
  w.U32(spec.created);
  w.U32(spec.modified);
  w.U32(spec.backedUp);
  w.U32(0);
  w.U32(spec.appInfoOffset);
  w.U32(spec.sortInfoOffset);
  w.FixedText(spec.type, 4);
  w.FixedText(spec.creator, 4);
  w.U32(spec.seed);
  w.U32(0);
  w.U16(spec.useCountOverride ? spec.countOverride : static_cast<std::uint16_t>(spec.entries.size()));
  for (const auto& e : spec.entries) {
    w.U32(e.offset);
    w.U8(e.attributes);
    w.U8(static_cast<std::uint8_t>(e.uniqueID >> 16));
    w.U16(static_cast<std::uint16_t>(e.uniqueID));
  }
  w.Zeros(2);
  w.Append(spec.between);
  for (const auto& r : spec.records) w.Append(r);
  return out;
}

inline core::Bytes B(std::initializer_list<int> bytes) {
  core::Bytes out;
  for (int b : bytes) out.push_back(static_cast<std::uint8_t>(b));
  return out;
}

}  // namespace pdbtest

#include <gtest/gtest.h>

#include <string_view>

#include "pdb/PDBDataException.h"

namespace pdbtest {

// Runs f and expects an EPDBException with the given text and code.
template <class F>
void ExpectPDBError(F&& f, std::string_view text, std::uint16_t code) {
  try {
    f();
    ADD_FAILURE() << "no exception, expected \"" << text << "\"";
  } catch (const pdb::EPDBException& e) {
    // The first line is the library's message; a second one says where and why, compared when
    // `text` has one.
    const std::string message = e.what();
    EXPECT_EQ(text.find('\n') != std::string_view::npos ? message : message.substr(0, message.find('\n')), text);
    EXPECT_EQ(e.ErrorCode(), code) << text;
  }
}

}  // namespace pdbtest
