#include "pdb/PDBPropertyRules.h"

#include <algorithm>

#include "core/Encoding.h"
#include "pdb/PDBDataGlobals.h"
#include "pdb/PDBDataManager.h"

namespace pdb {
namespace {

bool AllPrintable(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) {
    const auto b = static_cast<unsigned char>(c);
    return b >= 32 && b <= 126;
  });
}

bool AllAlphanumeric(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
  });
}

// The extension of a file name: from its last dot after the last path separator.
std::string_view Extension(std::string_view name) {
  const auto slash = name.find_last_of("/\\:");
  const auto dot = name.rfind('.');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return {};
  return name.substr(dot);
}

// An unchanged or blank value is taken as it is.
bool NeedsCheck(std::string_view current, std::string_view value) {
  return value != current && !IsBlankText(value);
}

}  // namespace

bool IsBlankText(std::string_view text) { return core::TrimBlanks(text).empty(); }

void CheckPDBFilename(std::string_view current, std::string_view value, const core::MessageTable& messages,
                      TPropertyMessageIds ids) {
  if (!NeedsCheck(current, value)) return;
  if (core::UpperAscii(Extension(value)) != ".PDB") RaisePDBError(messages, ids.wrongLength, 1);
  if (!AllPrintable(value)) RaisePDBError(messages, ids.invalidCharacters, 2);
}

void CheckDatabaseName(std::string_view current, std::string_view value, const core::MessageTable& messages,
                       TPropertyMessageIds ids) {
  if (!NeedsCheck(current, value)) return;
  if (core::TrimBlanks(value).size() > kPDBMaxNameLength) RaisePDBError(messages, ids.wrongLength, 1);
  if (!AllPrintable(value)) RaisePDBError(messages, ids.invalidCharacters, 2);
}

void CheckFourCharCode(std::string_view current, std::string_view value, const core::MessageTable& messages,
                       TPropertyMessageIds ids) {
  if (!NeedsCheck(current, value)) return;
  if (core::TrimBlanks(value).size() != 4) RaisePDBError(messages, ids.wrongLength, 1);
  if (!AllAlphanumeric(value)) RaisePDBError(messages, ids.invalidCharacters, 2);
}

}  // namespace pdb
