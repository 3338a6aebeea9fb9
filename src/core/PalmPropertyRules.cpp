#include "core/PalmPropertyRules.h"

#include <algorithm>

#include "core/Encoding.h"
#include "core/PalmDatabaseLayout.h"

namespace core {
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

bool HasPDBExtension(std::string_view name) {
  constexpr std::string_view kExtension = ".PDB";
  return name.size() >= kExtension.size() && UpperAscii(name.substr(name.size() - kExtension.size())) == kExtension;
}

}  // namespace

bool IsBlankText(std::string_view text) { return TrimBlanks(text).empty(); }

PalmPropertyFault CheckPalmProperty(PalmProperty property, std::string_view current, std::string_view value) {
  if (value == current || IsBlankText(value)) return PalmPropertyFault::None;
  const std::size_t trimmedLength = TrimBlanks(value).size();
  bool lengthRight = false;
  bool charactersRight = false;
  switch (property) {
    case PalmProperty::FileName:
      lengthRight = HasPDBExtension(value);
      charactersRight = AllPrintable(value);
      break;
    case PalmProperty::DatabaseName:
      lengthRight = trimmedLength <= kPalmMaxNameLength;
      charactersRight = AllPrintable(value);
      break;
    case PalmProperty::CreatorID:
    case PalmProperty::DatabaseType:
      lengthRight = trimmedLength == 4;
      charactersRight = AllAlphanumeric(value);
      break;
  }
  if (!lengthRight) return PalmPropertyFault::WrongLength;
  if (!charactersRight) return PalmPropertyFault::InvalidCharacters;
  return PalmPropertyFault::None;
}

}  // namespace core
