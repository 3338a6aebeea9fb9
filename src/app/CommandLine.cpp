#include "app/CommandLine.h"

#include <array>
#include <cstdlib>
#include <utility>

#include "core/Encoding.h"
#include "core/Files.h"

namespace app {

const std::string_view kUsageMessage =
    "Допустимые параметры:\r"
    "\"Команда\"  \"Каталог с даными\"  \"Каталог для сохранения результата\"\r"
    "\"TXTTOPDB  c:\\Data              c:\\Ftp\\PALM-1\\TEMP\"  - Упаковывает справочники для отправки на PALM\r"
    "\"PDBTOTXT  c:\\Ftp\\PALM-1   c:\\Data\"  - Извлекает документы из выгруженной с PALM базы данных\r"
    "\"PDBTODBF  c:\\Ftp\\PALM-1   c:\\Data [Имя ODBC драайвера]\"  - Извлекает документы из выгруженной с "
    "PALM базы данных в формате DBF. Если не указано имя драйвера используется \"Microsoft dBase Driver "
    "(*.dbf)\"";

namespace {

// Compared in this order; the first exact match wins.
constexpr std::array<std::pair<std::string_view, Command>, 3> kCommands{{
    {"TXTTOPDB", Command::TxtToPdb},
    {"PDBTOTXT", Command::PdbToTxt},
    {"PDBTODBF", Command::PdbToDbf},
}};

std::optional<Command> FindCommand(std::string_view word) {
  // Only a-z are upper-cased, so a Cyrillic or accented look-alike never matches.
  const std::string upper = core::UpperAscii(word);
  for (const auto& [name, command] : kCommands)
    if (upper == name) return command;
  return std::nullopt;
}

}  // namespace

std::string_view CommandWord(Command command) {
  for (const auto& [name, value] : kCommands)
    if (value == command) return name;
  return {};
}

StartupPlan EvaluateCommandLine(std::span<const std::string> args, std::string_view defaultDirectory) {
  StartupPlan plan;
  convert::MainFormState& s = plan.state;
  const std::size_t n = args.size();

  if (n >= 3) {
    s.Interactive = false;
    s.edtSource = args[1];
    s.edtDest = args[2];
    plan.command = FindCommand(args[0]);
    if (!plan.command) {
      plan.unrecognisedCommand = true;
      return plan;
    }
    switch (*plan.command) {
      case Command::TxtToPdb:
        s.CategorySource = convert::CategorySource::TextFile;
        break;
      case Command::PdbToTxt:
        break;
      case Command::PdbToDbf:
        if (n >= 4) s.OdbcDriver = args[3];
        break;
    }
    return plan;
  }

  if (n == 1) {
    plan.usageRequested = args[0].find('?') != std::string::npos;
    return plan;
  }

  // No arguments, or two that are ignored: the interactive window.
  s.Interactive = true;
  s.edtSource = std::string(defaultDirectory);
  s.edtDest = std::string(defaultDirectory);
  s.CategorySource = convert::CategorySource::TextFile;
  return plan;
}

std::string DefaultKeyDirectory() {
#ifdef _WIN32
  return "c:\\Key";
#else
  const char* home = std::getenv("HOME");
  if (home == nullptr || *home == '\0') return "Key";
  std::string dir(home);
  while (dir.size() > 1 && dir.back() == core::kPathSeparator) dir.pop_back();
  if (dir.size() == 1 && dir[0] == core::kPathSeparator) return dir + "Key";
  return core::JoinPath(dir, "Key");
#endif
}

}  // namespace app
