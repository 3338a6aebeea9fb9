#include "dataset/FieldText.h"

#include "core/Encoding.h"
#include "core/NumberFormat.h"

namespace dataset::detail {

std::string Quoted(const char* pattern, std::string_view ansiName) {
  std::string text(pattern);
  const auto at = text.find("%s");
  text.replace(at, 2, core::AnsiToUtf8(ansiName));
  return text;
}

std::int64_t ParseLargeInt(std::string_view text) {
  if (auto value = core::ParseInteger64(text)) return *value;
  throw core::EConvertError::InvalidInteger(text);
}

core::TDateTime ParseDateTime(std::string_view text) {
  if (auto value = core::TDateTime::Parse(text)) return *value;
  throw core::EConvertError::InvalidDateTime(text);
}

bool TextIsTrue(std::string_view text) {
  return !text.empty() && (text[0] == 'T' || text[0] == 't' || text[0] == 'Y' || text[0] == 'y');
}

bool ParseBoolean(std::string_view text) {
  if (TextIsTrue(text)) return true;
  if (!text.empty() && (text[0] == 'F' || text[0] == 'f' || text[0] == 'N' || text[0] == 'n')) return false;
  throw core::EConvertError("'" + core::AnsiToUtf8(text) + "' is not a valid boolean value");
}

const char* BooleanText(bool value) { return value ? "True" : "False"; }

bool IsTextKind(TFieldType type) { return type == TFieldType::String || type == TFieldType::Blob; }

}  // namespace dataset::detail
