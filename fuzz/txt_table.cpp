// Fuzzes the text table: the input is a text file; it is opened, indexed on a column taken from
// its own header (and on "Id"), walked in index order with every column read, then appended to
// and saved. Every value goes through the number parser that does not throw; the throwing
// conversion is tried once per walk, since a thrown exception per value (slow under the
// sanitizers) held the target to a few hundred inputs a second.
#include <cstddef>
#include <cstdint>
#include <span>

#include "FuzzTempDir.h"
#include "core/NumberFormat.h"
#include "core/Reporter.h"
#include "text/nqTXTTable.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzsupport::FuzzTempDir dir;
  fuzzsupport::WriteInput(dir.Path() / "product.txt", std::span(data, size));
  core::SilentReporter reporter;
  text::TnqTXTTable table(reporter);
  table.Path = dir.Path().string();
  table.FileName = "product.txt";
  try {
    if (!table.Open()) return 0;
    for (const char* column : {"Id", "Name"}) {
      table.CreateIndex(column);
      for (int guard = 0; !table.Eof() && guard <= table.RecordCount(); ++guard) {
        std::size_t length = 0;
        for (const auto& field : table.Fields()) {
          length += field.Field.AsString().size();
          (void)core::ParseInteger(field.Field.AsString());
        }
        if (length > size) __builtin_trap();  // a row holds no more text than the file
        if (guard == 0 && !table.Fields().empty()) {
          try {
            (void)table.Fields().front().Field.AsInteger();
          } catch (const core::EConvertError&) {
          }
        }
        table.Next();
      }
    }
    if (!table.Fields().empty()) table.CreateIndex(table.Fields().back().Name);
    table.First();
    table.Append();
    if (auto* field = table.FindField("Id")) field->AsInteger(7);
    table.Post();
    table.Save();
  } catch (const text::EnqTXTTableError&) {
  }
  return 0;
}
