// Windows-1251, the program's 8-bit code page, and the locale-aware text work done on it.
//
// Exchange data stay Windows-1251 bytes in std::string from file to file; they are converted to
// UTF-8 only where a person reads them (messages, the window, the console).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace core {

// Windows-1251 bytes to UTF-8 and back. Characters Windows-1251 lacks become '?'.
std::string AnsiToUtf8(std::string_view ansi);
std::string Utf8ToAnsi(std::string_view utf8);
// The Windows-1251 byte of one Unicode character, or nothing when the code page lacks it.
std::optional<char> UnicodeToAnsi(char32_t character);

// Comparison without regard to letter case for names (columns, fields, files): ASCII letters and
// the Cyrillic letters of Windows-1251 fold to one case. Locale-independent.
bool AnsiSameText(std::string_view a, std::string_view b);
// Upper case of ASCII letters a-z only.
std::string UpperAscii(std::string_view text);
// Trims characters up to and including the blank at both ends.
std::string_view TrimBlanks(std::string_view text);

// The user's locale for collation (LC_ALL, LC_COLLATE, LANG) and for letter case (LC_ALL,
// LC_CTYPE, LANG), as ICU locale ids ("ru_RU"); "en_US_POSIX" style root when unset or "C".
std::string UserCollationLocale();
std::string UserCaseLocale();

// Upper-cases Windows-1251 text by the rules of a locale (Cyrillic included). Letters whose
// upper case Windows-1251 cannot hold keep their own byte.
class AnsiUpperCaser {
 public:
  explicit AnsiUpperCaser(std::string locale = UserCaseLocale());
  std::string operator()(std::string_view ansi) const;

 private:
  std::string locale_;
};

// Case-insensitive collation of Windows-1251 text in a locale, through ICU sort keys: sorting
// by the keys (bytewise) orders the texts as the locale's collation, letters case ignored.
class AnsiCollator {
 public:
  explicit AnsiCollator(const std::string& locale = UserCollationLocale());
  ~AnsiCollator();
  AnsiCollator(const AnsiCollator&) = delete;
  AnsiCollator& operator=(const AnsiCollator&) = delete;

  // A byte string whose bytewise order is the collation order.
  std::string SortKey(std::string_view ansi) const;
  // <0, 0, >0 as a compares to b.
  int Compare(std::string_view a, std::string_view b) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace core
