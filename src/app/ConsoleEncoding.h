// The console's character set, taken from the locale as the C library would (LC_ALL, LC_CTYPE,
// LANG), and the conversion of the program's UTF-8 texts into it. A set that cannot hold a
// character (Cyrillic under LANG=C) gets the character transliterated to Latin letters instead,
// so that a log written under a bare locale stays readable.
#pragma once

#include <string>
#include <string_view>

namespace app {

class ConsoleEncoding {
 public:
  // UTF-8, or a character set by name ("KOI8-R", "ANSI_X3.4-1968" ...).
  ConsoleEncoding() : ConsoleEncoding("UTF-8") {}
  explicit ConsoleEncoding(std::string charset);

  // The set of the user's locale; US-ASCII for "C", "POSIX" or no locale at all.
  static ConsoleEncoding ForLocale();

  const std::string& Charset() const { return charset_; }
  bool IsUtf8() const { return utf8_; }

  // The UTF-8 text in this set; what it cannot hold transliterated, what is left then as "?".
  std::string operator()(std::string_view utf8) const;

 private:
  std::string charset_;
  bool utf8_;
};

// The character set a locale name ("ru_RU.KOI8-R", "C.UTF-8", "C") stands for.
std::string CharsetOfLocale(std::string_view localeName);

}  // namespace app
