#include "text/OfficeText.h"

#include <unicode/utf8.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "core/Encoding.h"

namespace text {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The line and column of text[offset]. Lines break as the table cuts them (CR, LF, CR LF);
// in UTF-8 text a column counts characters, not bytes.
TextFault FaultAt(std::string_view text, std::size_t offset, bool utf8, std::string why) {
  std::size_t line = 1, lineStart = 0;
  for (std::size_t i = 0; i < offset; ++i) {
    const bool crBeforeLf = text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n';
    if ((text[i] == '\r' && !crBeforeLf) || text[i] == '\n') {
      ++line;
      lineStart = i + 1;
    }
  }
  const std::string_view before = text.substr(lineStart, offset - lineStart);
  const std::size_t characters =
      utf8 ? static_cast<std::size_t>(std::count_if(before.begin(), before.end(), [](char c) { return !IsContinuationByte(c); }))
           : before.size();
  return {line, characters + 1, std::move(why)};
}

// The character's own text and code, as "«ß» (U+00DF)".
std::string ShowCharacter(std::string_view utf8, UChar32 character) {
  char code[16];
  std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(character));
  return "«" + std::string(utf8) + "» (" + code + ")";
}

bool IsWellFormedUtf8(std::string_view text) {
  const auto* s = reinterpret_cast<const std::uint8_t*>(text.data());
  for (std::size_t i = 0; i < text.size();) {
    UChar32 c = 0;
    U8_NEXT(s, i, text.size(), c);
    if (c < 0) return false;
  }
  return true;
}

// Converts `utf8` (a part of `file` starting at `base`) into `out`.
std::optional<TextFault> Utf8ToAnsiText(std::string_view file, std::size_t base, std::string& out) {
  const std::string_view utf8 = file.substr(base);
  const auto* s = reinterpret_cast<const std::uint8_t*>(utf8.data());
  out.clear();
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const std::size_t start = i;
    UChar32 c = 0;
    U8_NEXT(s, i, utf8.size(), c);
    if (c < 0) {
      char byte[8];
      std::snprintf(byte, sizeof byte, "0x%02X", static_cast<unsigned>(s[start]));
      return FaultAt(file, base + start, true,
                     std::string("байт ") + byte + " не из текста UTF-8, хотя файл начинается с метки UTF-8");
    }
    const auto ansi = core::UnicodeToAnsi(static_cast<char32_t>(c));
    if (!ansi)
      return FaultAt(file, base + start, true,
                     "символ " + ShowCharacter(utf8.substr(start, i - start), c) + ", которого нет в кодировке Windows-1251");
    out += *ansi;
  }
  return std::nullopt;
}

}  // namespace

std::optional<TextFault> MakeAnsiText(std::string& bytes) {
  const bool marked = bytes.starts_with(kUtf8Mark);
  const bool utf8 = marked || (std::any_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }) &&
                               IsWellFormedUtf8(bytes));
  if (utf8) {
    std::string ansi;
    if (auto fault = Utf8ToAnsiText(bytes, marked ? kUtf8Mark.size() : 0, ansi)) return fault;
    bytes = std::move(ansi);
  }
  // After the conversion one byte is one character, so the column of a zero byte is its offset
  // in its line either way.
  if (const auto nul = bytes.find('\0'); nul != std::string::npos)
    return FaultAt(bytes, nul, false, "нулевой байт (файл повреждён или это не текст)");
  return std::nullopt;
}

}  // namespace text
