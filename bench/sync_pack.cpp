// Packs about 30 MB of records spread over several databases into a container and unpacks it
// again, next to plain zlib (level 6) compressing and inflating the same record bytes in the
// same blocks on one core, measured in the same run; the packer compresses on every core. The
// same blocks are also compressed by libdeflate (zlib format, level 6) when it is installed, to
// weigh it against zlib. Then measures how much the unpacker's resident memory grows, in a fresh
// child process: for containers of two lengths, and for one database ten times the size of
// another, which should make no difference since records stream to disk.
//
//   bench_sync_pack [megabytes]        (default 30)
#include <zlib.h>
#ifdef VESTIBO_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif
#include <thread>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "BenchReport.h"
#include "BenchSupport.h"
#include "core/ByteIO.h"
#include "core/DateTime.h"
#include "sync/SyaGlobal.h"
#include "sync/SyaPack.h"
#include "sync/SyaSupport.h"
#include "sync/SyaUnpack.h"

namespace fs = std::filesystem;
using core::Bytes;

namespace {

constexpr std::size_t kDatabaseBytes = 5u << 20;  // each database holds about 5 MiB of records

// Text-like records: words, numbers and separators, as the exchange data are.
std::vector<Bytes> MakeRecords(std::size_t totalBytes, std::uint32_t seed) {
  static const char* const kWords[] = {"product", "customer", "order", "Moscow", "price", "discount", "total",
                                       "item", "cash", "agent", "route", "category", "note", "quantity",
                                       "warehouse", "invoice", "delivery", "street", "phone", "box"};
  std::mt19937 gen(seed);
  std::vector<Bytes> records;
  std::size_t total = 0;
  while (total < totalBytes) {
    const std::size_t size = 60 + gen() % 2500;
    std::string text;
    while (text.size() < size) {
      text += kWords[gen() % 20];
      text += ';';
      text += std::to_string(gen() % 100000);
      text += gen() % 4 ? ';' : '\n';
    }
    text.resize(size);
    records.emplace_back(text.begin(), text.end());
    total += size;
  }
  return records;
}

void WriteDatabase(const fs::path& dir, const std::string& name, const std::vector<Bytes>& records) {
  sya::TPDBDataFields db;
  db.SetDirectory(dir.string());
  db.SetPDBFilename(name + ".pdb");
  db.SetDatabaseName(name);
  db.SetCreatorID("PmOr");
  db.SetDatabaseType("DATA");
  db.SetCreationDate(*core::TDateTime::FromDate(2024, 1, 1));
  db.SetOpenMode(sya::dmModeWriteOnly);
  db.CreateDatabase();
  for (const auto& r : records) {
    db.SetRecordData(r);
    db.AppendRecord();
  }
  db.Close();
}

// The packer's record blocks of one database: entries gathered up to the 30000-byte limit.
std::vector<Bytes> Blocks(const std::vector<Bytes>& records) {
  std::vector<Bytes> blocks(1);
  for (const auto& r : records) {
    if (blocks.back().size() + r.size() + 8 > sya::MaxBlockSize) blocks.emplace_back();
    core::BigEndianWriter w(blocks.back());
    w.U16(0);
    w.U16(static_cast<std::uint16_t>(r.size()));
    w.Append(r);
  }
  return blocks;
}

int Pack(const fs::path& dir, const std::string& container, int databases, unsigned threads = 0) {
  sya::TSyaPacker packer(threads);
  if (int rc = packer.BeginPack(dir.string(), container, "Kestor_Out", "PDBP")) return rc;
  for (int i = 0; i < databases; ++i)
    if (int rc = packer.PackDatabase(dir.string(), "Db" + std::to_string(i) + ".pdb", 30000)) return rc;
  return packer.EndPack();
}

// Child: unpack and report the growth of the resident set.
int UnpackChild(const char* dir, const char* container, const char* out) {
  { std::ofstream("/proc/self/clear_refs") << "5"; }  // restart the peak at the current size
  const long before = bench::StatusKiB("VmRSS");
  const int rc = sya::SyaUnpack(dir, container, out);
  const long peak = bench::StatusKiB("VmHWM");
  std::printf("%d %ld\n", rc, peak - before);
  return rc;
}

long ChildGrowthKiB(const fs::path& dir, const std::string& container, const fs::path& out) {
  fs::remove_all(out);
  const std::string command = "'" + bench::SelfPath() + "' --unpack-child '" +
                              dir.string() + "' '" + container + "' '" + out.string() + "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return -1;
  int rc = -1;
  long growth = -1;
  if (std::fscanf(pipe, "%d %ld", &rc, &growth) != 2) growth = -1;
  pclose(pipe);
  return rc == 0 ? growth : -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::string(argv[1]) == "--unpack-child") return UnpackChild(argv[2], argv[3], argv[4]);
  const std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 30;
  const int databases = static_cast<int>(std::max<std::size_t>(1, (megabytes << 20) / kDatabaseBytes));

  const fs::path base = bench::FastTempBase();
  const fs::path dir = base / ("vestibo-bench-" + std::to_string(::getpid()));
  fs::create_directories(dir);

  std::vector<std::vector<Bytes>> data;
  std::size_t totalBytes = 0;
  for (int i = 0; i < databases; ++i) {
    data.push_back(MakeRecords(kDatabaseBytes, 1000 + i));
    for (const auto& r : data.back()) totalBytes += r.size();
    WriteDatabase(dir, "Db" + std::to_string(i), data.back());
  }
  std::vector<Bytes> blocks;
  for (const auto& records : data)
    for (auto& b : Blocks(records)) blocks.push_back(std::move(b));
  const double mb = static_cast<double>(totalBytes) / (1 << 20);
  std::printf("%d databases, %.1f MiB of records, %zu blocks, files in %s\n", databases, mb, blocks.size(),
              dir.c_str());

  // zlib reference: compress2 and uncompress block by block.
  std::vector<Bytes> compressed(blocks.size());
  const double zlibCompress = bench::BestSeconds([&] {
    for (std::size_t i = 0; i < blocks.size(); ++i) {
      uLongf size = compressBound(static_cast<uLong>(blocks[i].size()));
      compressed[i].resize(size);
      compress2(compressed[i].data(), &size, blocks[i].data(), static_cast<uLong>(blocks[i].size()), 6);
      compressed[i].resize(size);
    }
  });
  Bytes inflated(sya::MaxBlockSize);
  const double zlibUncompress = bench::BestSeconds([&] {
    for (const auto& c : compressed) {
      uLongf size = inflated.size();
      uncompress(inflated.data(), &size, c.data(), static_cast<uLong>(c.size()));
    }
  });

#ifdef VESTIBO_HAVE_LIBDEFLATE
  // libdeflate on the same blocks, one core, zlib format at the same level.
  libdeflate_compressor* deflater = libdeflate_alloc_compressor(6);
  std::size_t libdeflateBytes = 0, zlibBytes = 0;
  for (const auto& c : compressed) zlibBytes += c.size();
  std::vector<Bytes> viaLibdeflate(blocks.size());
  const double libdeflateCompress = bench::BestSeconds([&] {
    libdeflateBytes = 0;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
      viaLibdeflate[i].resize(libdeflate_zlib_compress_bound(deflater, blocks[i].size()));
      const std::size_t size = libdeflate_zlib_compress(deflater, blocks[i].data(), blocks[i].size(),
                                                        viaLibdeflate[i].data(), viaLibdeflate[i].size());
      viaLibdeflate[i].resize(size);
      libdeflateBytes += size;
    }
  });
  libdeflate_free_compressor(deflater);
  std::printf("libdeflate      %7.3f s  %7.1f MiB/s  = %.2f x zlib compress, output %.3f x zlib's\n",
              libdeflateCompress, mb / libdeflateCompress, libdeflateCompress / zlibCompress,
              static_cast<double>(libdeflateBytes) / static_cast<double>(zlibBytes));
  bench::Row("libdeflate-6 / zlib-6 compress, same blocks, one core", bench::Seconds(libdeflateCompress),
             bench::Seconds(zlibCompress), libdeflateCompress / zlibCompress, bench::Goal::None, 0);
  bench::Row("libdeflate-6 / zlib-6 compressed size", bench::MiB(static_cast<double>(libdeflateBytes)),
             bench::MiB(static_cast<double>(zlibBytes)), static_cast<double>(libdeflateBytes) / zlibBytes,
             bench::Goal::None, 0);
#endif

  int rc = 0;
  const double packOneThread = bench::BestSeconds([&] { rc |= Pack(dir, "Kestor_Out.pdb", databases, 1); });
  const double pack = bench::BestSeconds([&] { rc |= Pack(dir, "Kestor_Out.pdb", databases); });
  const auto containerSize = fs::file_size(dir / "Kestor_Out.pdb");
  const fs::path out = dir / "out";
  const double unpack = bench::BestSeconds([&] {
    fs::remove_all(out);
    rc |= sya::SyaUnpack(dir.string(), "Kestor_Out.pdb", out.string());
  });
  if (rc != 0) {
    std::printf("pack/unpack failed: %d\n", rc);
    return 1;
  }

  std::printf("container %.1f MiB (ratio %.2f)\n", static_cast<double>(containerSize) / (1 << 20),
              static_cast<double>(totalBytes) / static_cast<double>(containerSize));
  std::printf("zlib compress   %7.3f s  %7.1f MiB/s\n", zlibCompress, mb / zlibCompress);
  std::printf("pack, 1 thread  %7.3f s  %7.1f MiB/s  = %.2f x zlib compress\n", packOneThread, mb / packOneThread,
              packOneThread / zlibCompress);
  std::printf("pack, %u threads %6.3f s  %7.1f MiB/s  = %.2f x zlib compress   (target <= 1)\n",
              std::max(1u, std::thread::hardware_concurrency()), pack, mb / pack, pack / zlibCompress);
  std::printf("zlib uncompress %7.3f s  %7.1f MiB/s\n", zlibUncompress, mb / zlibUncompress);
  std::printf("unpack          %7.3f s  %7.1f MiB/s  = %.2f x zlib uncompress (target <= 2)\n", unpack, mb / unpack,
              unpack / zlibUncompress);
  bench::Row("pack on one thread / zlib compress", bench::Seconds(packOneThread), bench::Seconds(zlibCompress),
             packOneThread / zlibCompress, bench::Goal::None, 0);
  bench::Row("pack / zlib compress on one core", bench::Seconds(pack), bench::Seconds(zlibCompress), pack / zlibCompress,
             bench::Goal::AtMost, 1);
  bench::Row("unpack / zlib uncompress", bench::Seconds(unpack), bench::Seconds(zlibUncompress), unpack / zlibUncompress,
             bench::Goal::AtMost, 2);

  // Memory: the same container, and one twice as long made of the same databases.
  const long growth1 = ChildGrowthKiB(dir, "Kestor_Out.pdb", out);
  {
    sya::TSyaPacker packer;
    packer.BeginPack(dir.string(), "Double.pdb", "Kestor_Out", "PDBP");
    for (int round = 0; round < 2; ++round)
      for (int i = 0; i < databases; ++i) packer.PackDatabase(dir.string(), "Db" + std::to_string(i) + ".pdb", 30000);
    packer.EndPack();
  }
  const long growth2 = ChildGrowthKiB(dir, "Double.pdb", out);
  std::size_t largest = 0;
  for (const auto& records : data) {
    std::size_t bytes = 0;
    for (const auto& r : records) bytes += r.size();
    largest = std::max(largest, bytes);
  }
  const double largestMiB = static_cast<double>(largest) / (1 << 20);
  std::printf("unpack RSS growth: %.1f MiB for a %.1f MiB container, %.1f MiB for a %.1f MiB container\n",
              growth1 / 1024.0, static_cast<double>(containerSize) / (1 << 20), growth2 / 1024.0,
              static_cast<double>(fs::file_size(dir / "Double.pdb")) / (1 << 20));
  std::printf("  apart from the largest database being rebuilt (%.1f MiB): %.1f MiB and %.1f MiB\n", largestMiB,
              growth1 / 1024.0 - largestMiB, growth2 / 1024.0 - largestMiB);
  bench::Row("unpack memory growth, 2x container / 1x", bench::MiB(growth2 * 1024.0), bench::MiB(growth1 * 1024.0),
             growth1 > 0 ? static_cast<double>(growth2) / static_cast<double>(growth1) : 0, bench::Goal::None, 0);

  // One database of a tenth of the records against one of all of them (ten times the size).
  std::vector<Bytes> all;
  for (const auto& records : data) all.insert(all.end(), records.begin(), records.end());
  all.resize(std::min<std::size_t>(all.size(), core::kPalmMaxRecords));
  const std::vector<Bytes> tenth(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(all.size() / 10));
  const auto packOne = [&](const std::string& name, const std::vector<Bytes>& records) {
    WriteDatabase(dir, name, records);
    sya::TSyaPacker packer;
    packer.BeginPack(dir.string(), name + "Box.pdb", "Kestor_Out", "PDBP");
    packer.PackDatabase(dir.string(), name + ".pdb", 30000);
    packer.EndPack();
    fs::remove(dir / (name + ".pdb"));
    return ChildGrowthKiB(dir, name + "Box.pdb", out);
  };
  const long growthTenth = packOne("Tenth", tenth);
  const long growthAll = packOne("Whole", all);
  std::printf("unpack RSS growth: %.1f MiB for one database of %zu records, %.1f MiB for one of %zu records\n",
              growthTenth / 1024.0, tenth.size(), growthAll / 1024.0, all.size());
  // The records stream to disk: ten times the data may add no more than the record list (a few
  // bytes a record) and a small part of the data itself. A ratio of the two growths would punish
  // every fixed cost taken away from the small one.
  const auto bytesOf = [](const std::vector<Bytes>& records) {
    double bytes = 0;
    for (const auto& r : records) bytes += static_cast<double>(r.size());
    return bytes;
  };
  const double extraBytes = bytesOf(all) - bytesOf(tenth);
  const double extraGrowth = static_cast<double>(growthAll - growthTenth) * 1024;
  bench::Row("unpack memory growth / data, 10x database - 1x", bench::MiB(extraGrowth), bench::MiB(extraBytes),
             extraGrowth / extraBytes, bench::Goal::AtMost, 0.1);
  fs::remove_all(dir);
  return 0;
}
