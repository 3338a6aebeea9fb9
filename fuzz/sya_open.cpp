// A Palm database file opened through the packer's library, every record walked and decoded
// into a field list chosen by the first input bytes:
//   byte 0: number of fields (0..7); then per field one type byte (mod 20) and, for the string
//   types, one size byte; the rest is the file.
#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "FuzzTempDir.h"
#include "core/NumberFormat.h"
#include "sync/SyaSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::span<const std::uint8_t> input(data, size);
  if (input.empty()) return 0;
  const std::size_t fieldCount = input[0] % 8;
  input = input.subspan(1);
  sya::TPDBFields fields;
  for (std::size_t i = 0; i < fieldCount; ++i) {
    if (input.empty()) return 0;
    const auto type = static_cast<sya::TPDBFieldType>(input[0] % sya::kFieldTypeCount);
    input = input.subspan(1);
    auto& field = fields.Add("f" + std::to_string(i), type);
    if (sya::IsStringType(type)) {
      if (input.empty()) return 0;
      field.SetSize(input[0] % 16);
      input = input.subspan(1);
    }
  }
  sya::TPDBDataFields db;
  fuzzsupport::FuzzTempDir dir;
  fuzzsupport::WriteInput(dir.Path() / "f.pdb", input);
  db.SetDirectory(dir.Path().string());
  db.SetPDBFilename("f.pdb");
  try {
    db.Open();
    for (int guard = 0; db.RecordCount() > 0 && !db.Eof(); ++guard) {
      if (guard > 70000) __builtin_trap();  // the cursor must reach the end
      try {
        sya::DecodeFields(fields, db.RecordData());
      } catch (const sya::EPDBException&) {
      } catch (const core::EConvertError&) {
      }
      db.Next();
    }
    db.Close();
  } catch (const sya::EPDBException&) {
  } catch (const core::EConvertError&) {
  }
  return 0;
}
