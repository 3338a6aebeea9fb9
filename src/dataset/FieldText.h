// Messages and text conversions shared by the field, field-definition and data-set units.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/DateTime.h"
#include "dataset/FieldType.h"

namespace dataset::detail {

// pattern holds one %s, replaced by the (Windows-1251) name; the result is UTF-8.
std::string Quoted(const char* pattern, std::string_view ansiName);
std::int64_t ParseLargeInt(std::string_view text);
core::TDateTime ParseDateTime(std::string_view text);
// The boolean reading of a text: true when it begins with T, t, Y or y.
bool TextIsTrue(std::string_view text);
// A text written to a boolean field: T/t/Y/y is true, F/f/N/n false, anything else refused.
bool ParseBoolean(std::string_view text);
const char* BooleanText(bool value);
bool IsTextKind(TFieldType type);

}  // namespace dataset::detail
