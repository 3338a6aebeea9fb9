#include "app/StartChecks.h"

#include <filesystem>
#include <system_error>

#include "app/ErrorDisplay.h"
#include "convert/DocumentUnpack.h"
#include "core/Encoding.h"
#include "core/Files.h"

namespace app {

namespace {

namespace fs = std::filesystem;

bool IsSeparator(char c) { return c == '/' || c == core::kPathSeparator; }

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

}  // namespace

std::string WithoutTrailingSeparators(std::string_view directory) {
  std::string dir(directory);
  // "/" stays the root; "c:\" stays the root of drive c ("c:" alone means its current folder).
  const auto keep = [&] { return dir.size() == 1 || (dir.size() == 3 && dir[1] == ':'); };
  while (!dir.empty() && IsSeparator(dir.back()) && !keep()) dir.pop_back();
  return dir;
}

std::string SourceFolderOf(Command command, const convert::MainFormState& state) {
  // "TXT -> PDB" reads the box exactly as typed; the two imports drop its surrounding blanks.
  if (command == Command::TxtToPdb) return state.edtSource;
  return WithoutTrailingSeparators(core::TrimBlanks(state.edtSource));
}

std::string_view InputFileOf(Command command) {
  return command == Command::TxtToPdb ? "Product.txt" : convert::kOutContainerFile;
}

std::optional<std::string> SourceFolderProblem(Command command, const convert::MainFormState& state) {
  const std::string folder = SourceFolderOf(command, state);
  std::error_code ec;
  const fs::file_status status = fs::status(folder, ec);
  if (!fs::exists(status)) {
    if (!ec) ec = std::make_error_code(std::errc::no_such_file_or_directory);
    return "Каталог " + Quoted(folder) + " не найден\n" + ec.message();
  }
  if (!fs::is_directory(status))
    return Quoted(folder) + " не является каталогом\n" + std::make_error_code(std::errc::not_a_directory).message();
  fs::directory_iterator listing(folder, ec);
  if (ec) return "Нет доступа к каталогу " + Quoted(folder) + "\n" + ec.message();
  return std::nullopt;
}

std::string NothingToDoNotice(Command command, const convert::MainFormState& state) {
  const std::string folder = SourceFolderOf(command, state);
  const std::string_view input = InputFileOf(command);
  if (!core::ExistsNoCase(folder, input))
    return "Нечего делать: в каталоге " + Quoted(folder) + " нет файла " + std::string(input);
  return "Нечего делать: в файле " + Quoted(core::JoinPath(folder, input)) + " нет документов";
}

RunOutcome RunChecked(Command command, convert::ConversionContext& context, const ErrorDisplay& errors,
                      const ConversionRunner& runner) {
  convert::MainFormState& state = context.state;
  state.edtSource = WithoutTrailingSeparators(state.edtSource);
  state.edtDest = WithoutTrailingSeparators(state.edtDest);
  if (const std::optional<std::string> problem = SourceFolderProblem(command, state)) {
    context.reporter.ShowError(core::kApplicationTitle, *problem);
    return RunOutcome::Stopped;
  }
  return runner(command, context, errors);
}

}  // namespace app
