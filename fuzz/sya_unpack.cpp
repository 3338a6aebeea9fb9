// Container bytes -> SyaUnpack into a fresh output directory. Every outcome other than a result
// code or one of the documented exceptions (damaged zlib data, a header the database library
// refuses, a file error) is a finding; so is any file written outside the output directory.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>

#include "FuzzTempDir.h"
#include "core/NumberFormat.h"
#include "sync/SyaException.h"
#include "sync/SyaUnpack.h"
#include "sync/SyaZlib.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzsupport::FuzzTempDir dir;
  const auto in = dir.Path() / "in";
  const auto out = dir.Path() / "out";
  std::filesystem::create_directory(in);
  fuzzsupport::WriteInput(in / "Kestor_Out.pdb", std::span<const std::uint8_t>(data, size));
  try {
    sya::SyaUnpack(in.string(), "Kestor_Out.pdb", out.string());
  } catch (const sya::EZDecompressionError&) {
  } catch (const sya::EPDBException&) {
  }
  // Only the container and the output directory may exist next to each other.
  std::size_t entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
    (void)entry;
    ++entries;
  }
  for (const auto& entry : std::filesystem::directory_iterator(in)) {
    if (entry.path().filename() != "Kestor_Out.pdb") std::abort();
  }
  if (entries > 2) std::abort();
  return 0;
}
