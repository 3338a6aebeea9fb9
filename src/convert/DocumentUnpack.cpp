#include "convert/DocumentUnpack.h"

#include <array>
#include <filesystem>
#include <optional>

#include "convert/HandheldDatabases.h"
#include "core/Files.h"
#include "core/PalmFileReader.h"
#include "core/TextUtil.h"
#include "sync/SyaUnpack.h"

namespace convert {
namespace {

const std::array<const HandheldDatabase*, 3> kDocumentDatabases{&kOrderDb, &kOrderItemDb, &kCashDb};

// Why a document database the container carried cannot be read, or nothing when its header
// reads. The handheld's document databases hold records only: an AppInfo or SortInfo block means
// the database arrived damaged (a header whose block sizes are wrong turns its records into such
// a block, and the database would seem empty).
std::optional<std::string> DamageOf(const std::filesystem::path& path) {
  core::PalmFileReader file;
  if (!file.Open(path)) return "it cannot be opened";
  const std::optional<core::PalmDatabaseHeader> header = file.ReadHeader();
  if (!header) return "its header is cut short";
  if (header->AppInfoOffset != 0 || header->SortInfoOffset != 0)
    return "it holds an AppInfo or SortInfo block, which a document database never has";
  return std::nullopt;
}

// A document database the container carried that does not read stops the conversion: it is
// not taken for absent.
void CheckCarried(const std::string& dest) {
  for (const HandheldDatabase* db : kDocumentDatabases) {
    const std::optional<std::filesystem::path> path = core::FindNoCase(dest, db->fileName);
    if (!path) continue;
    if (const std::optional<std::string> damage = DamageOf(*path))
      throw core::FileError("cannot read " + path->string() + ", which the container carried: " + *damage);
  }
}

}  // namespace

std::string TrimSourceDirectory(std::string_view typed) {
  std::string dir(core::TrimBlanks(typed));
  if (!dir.empty() && (dir.back() == '\\' || dir.back() == '/')) dir.pop_back();
  return dir;
}

std::optional<ConversionResult> UnpackDocuments(ConversionContext& context, CarriedDocuments& carried) {
  const std::string source = TrimSourceDirectory(context.state.edtSource);
  const std::string& dest = context.state.edtDest;
  if (!core::ExistsNoCase(source, kOutContainerFile)) return ConversionResult::NothingToDo;
  // Databases of an earlier upload are never read again: after the unpacking, a document
  // database in the destination is one this container carried.
  for (const HandheldDatabase* db : kDocumentDatabases) core::DeleteNoCase(dest, db->fileName);
  if (const int rc = sya::SyaUnpack(source, kOutContainerFile, dest); rc > 0) {
    context.reporter.ShowError(core::kApplicationTitle, "Ошибка при распаковке данных: " + std::to_string(rc));
    return ConversionResult::FailureReported;
  }
  CheckCarried(dest);
  context.objects.pt().SetDirectory(dest);
  carried.orders = core::ExistsNoCase(dest, kOrderDb.fileName);
  carried.orderItems = core::ExistsNoCase(dest, kOrderItemDb.fileName);
  carried.cash = core::ExistsNoCase(dest, kCashDb.fileName);
  return std::nullopt;
}

}  // namespace convert
