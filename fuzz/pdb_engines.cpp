// Opens arbitrary bytes as a Palm database with the NSBasic, AppForge, Java or SQLDriver engine
// and walks every record, reading every field. The first input byte picks the engine and a
// field list; the rest is the file. Any failure must be a library exception: no crash, no read
// past a buffer, no unbounded allocation, no hang.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/NumberFormat.h"
#include "pdb/PDBAppForge.h"
#include "pdb/PDBJava.h"
#include "pdb/PDBNSBasic.h"
#include "pdb/PDBSQLDriver.h"

namespace {

// The input file of this process, removed when the process ends.
struct InputFile {
  std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("fuzz_pdb_engines_" + std::to_string(::getpid()) + ".pdb");
  ~InputFile() {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
  }
};

const std::filesystem::path& InputPath() {
  static const InputFile file;
  return file.path;
}

template <class F>
void Guarded(F&& step) {
  try {
    step();
  } catch (const pdb::EPDBException&) {
  } catch (const core::EConvertError&) {
  }
}

// Two field lists per engine: every type in order, and a short list that ends in a string.
void DefineFields(pdb::TPDBNSBasic& db, bool full) {
  using namespace pdb;
  const std::vector<TPDBNSBFieldType> types =
      full ? std::vector<TPDBNSBFieldType>{NSBByte,   NSBShort, NSBInteger, NSBFloat, NSBSingle,
                                           NSBDouble, NSBDate,  NSBTime,    NSBString}
           : std::vector<TPDBNSBFieldType>{NSBShort, NSBString, NSBString};
  for (auto type : types) db.Fields().Add().SetDataType(type);
  if (!full) db.Fields()[1].SetSize(6);
}

void DefineFields(pdb::TPDBAppForge&, bool) {}  // read from the AppInfo block

void DefineFields(pdb::TPDBJava& db, bool full) {
  using namespace pdb;
  const std::vector<TPDBJavaFieldType> types =
      full ? std::vector<TPDBJavaFieldType>{JByte, JBoolean, JChar, JInt, JLong, JShort, JString, JDate}
           : std::vector<TPDBJavaFieldType>{JDate, JString};
  for (auto type : types) db.Fields().Add().SetDataType(type);
}

void DefineFields(pdb::TPDBSQLDriver& db, bool full) {
  using namespace pdb;
  const std::vector<TPDBSQLDriverFieldType> types =
      full ? std::vector<TPDBSQLDriverFieldType>{PDChar, PDShort, PDInt, PDLong, PDFloat, PDDouble}
           : std::vector<TPDBSQLDriverFieldType>{PDChar};
  for (auto type : types) {
    auto& field = db.Fields().Add();
    field.SetDataType(type);
    field.SetSize(full ? 4 : 30);
  }
}

void ReadAll(const pdb::TPDBNSBField& f) {
  (void)f.AsString();
  if (f.DataType() == pdb::NSBDate) (void)f.AsDate();
  if (f.DataType() == pdb::NSBTime) (void)f.AsTime();
  if (f.DataType() != pdb::NSBString) (void)f.AsFloat();
}

void ReadAll(const pdb::TPDBAFField& f) {
  (void)f.AsString();
  switch (f.DataType()) {
    case pdb::AFDate: (void)f.AsDate(); break;
    case pdb::AFBoolean: (void)f.AsBoolean(); break;
    case pdb::AFString: break;
    default: (void)f.AsDouble(), (void)f.AsCurrency(); break;
  }
}

void ReadAll(const pdb::TPDBJavaField& f) {
  (void)f.AsString();
  switch (f.DataType()) {
    case pdb::JChar: (void)f.AsChar(); break;
    case pdb::JLong: (void)f.AsLong(); break;
    case pdb::JDate: (void)f.AsDate(); break;
    default: break;
  }
}

void ReadAll(const pdb::TPDBSQLDriverField& f) {
  if (f.DataType() == pdb::PDChar)
    (void)f.AsString();
  else
    (void)f.AsDouble();
  if (f.DataType() == pdb::PDLong) (void)f.AsLong();
}

template <class Engine>
void Walk(bool full) {
  Engine db;
  DefineFields(db, full);
  db.SetDirectory(InputPath().parent_path().string());
  db.SetPDBFilename(InputPath().filename().string());
  Guarded([&] { db.Open(); });
  if (db.IsOpen()) {
    // A record that cannot be decoded fails the move onto it; the walk goes on past it.
    for (int steps = 0; db.IsOpen() && !db.Eof() && steps <= 65536; ++steps) {
      Guarded([&] {
        for (const auto& field : db.Fields()) ReadAll(field);
      });
      Guarded([&] { db.Next(); });
    }
  }
  Guarded([&] {
    if (db.IsOpen()) db.Close();
  });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  {
    std::ofstream out(InputPath(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
  }
  const bool full = (data[0] & 0x10) == 0;
  switch (data[0] & 0x03) {
    case 0: Walk<pdb::TPDBNSBasic>(full); break;
    case 1: Walk<pdb::TPDBAppForge>(full); break;
    case 2: Walk<pdb::TPDBJava>(full); break;
    default: Walk<pdb::TPDBSQLDriver>(full); break;
  }
  return 0;
}
