#include "convert/DocumentUnpack.h"

#include "convert/HandheldDatabases.h"
#include "core/Files.h"
#include "core/TextUtil.h"
#include "sync/SyaUnpack.h"

namespace convert {

std::string TrimSourceDirectory(std::string_view typed) {
  std::string dir(core::TrimBlanks(typed));
  if (!dir.empty() && (dir.back() == '\\' || dir.back() == '/')) dir.pop_back();
  return dir;
}

std::optional<ConversionResult> UnpackDocuments(ConversionContext& context) {
  const std::string source = TrimSourceDirectory(context.state.edtSource);
  const std::string& dest = context.state.edtDest;
  if (!core::ExistsNoCase(source, kOutContainerFile)) return ConversionResult::NothingToDo;
  if (const int rc = sya::SyaUnpack(source, kOutContainerFile, dest); rc > 0) {
    context.reporter.ShowError(core::kApplicationTitle, "Ошибка при распаковке данных: " + std::to_string(rc));
    return ConversionResult::FailureReported;
  }
  context.objects.pt().SetDirectory(dest);
  if (!core::ExistsNoCase(dest, kOrderDb.fileName) || !core::ExistsNoCase(dest, kOrderItemDb.fileName))
    return ConversionResult::NothingToDo;
  return std::nullopt;
}

}  // namespace convert
