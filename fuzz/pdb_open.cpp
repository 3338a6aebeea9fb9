// Opens arbitrary bytes as a Palm database with the PocketStudio engine and walks every record.
// Any failure must be a library exception: no crash, no read past a buffer, no unbounded
// allocation, no hang.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/NumberFormat.h"
#include "pdb/PDBPocketStudio.h"

namespace {

// The input file of this process, removed when the process ends.
struct InputFile {
  std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("fuzz_pdb_open_" + std::to_string(::getpid()) + ".pdb");
  ~InputFile() {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
  }
};

const std::filesystem::path& InputPath() {
  static const InputFile file;
  return file.path;
}

void DefineFields(pdb::TPDBPocketStudio& db) {
  for (auto type : {pdb::PSInt16, pdb::PSString, pdb::PSDate, pdb::PSTime, pdb::PSDateTime, pdb::PSBinary,
                    pdb::PSUInt32, pdb::PSDouble, pdb::PSBoolean}) {
    auto& field = db.Fields().Add();
    field.SetDataType(type);
  }
  db.Fields()[1].SetFieldName("Name");
}

template <class F>
void Guarded(F&& step) {
  try {
    step();
  } catch (const pdb::EPDBException&) {
  } catch (const core::EConvertError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  {
    std::ofstream out(InputPath(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  pdb::TPDBPocketStudio db;
  DefineFields(db);
  db.SetDirectory(InputPath().parent_path().string());
  db.SetPDBFilename(InputPath().filename().string());
  Guarded([&] { db.Open(); });
  if (db.IsOpen()) {
    Guarded([&] { db.ReadCategories(); });
    Guarded([&] {
      for (std::int32_t i = 0; i < db.RecordCount(); ++i) (void)db.GetRecord(i);
    });
    Guarded([&] {
      while (db.IsOpen() && !db.Eof()) {
        for (const auto& field : db.Fields()) (void)field.AsString();
        db.Next();
      }
    });
  }
  Guarded([&] {
    if (db.IsOpen()) db.Close();
  });
  return 0;
}
