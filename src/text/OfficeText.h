// The bytes of an office text file made into the Windows-1251 text the table holds.
//
// The office exports Windows-1251; some office tools write UTF-8 instead (with or without the
// byte-order mark). Those files are converted on reading, so that their letters reach the
// handheld as the same letters. A zero byte has no place in a text file: it is refused rather
// than taken as the end of the text, which would drop every line after it without a word.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace text {

// Where a file's text cannot be read, and why (in Russian, for the person).
struct TextFault {
  std::size_t line;    // 1 is the first line of the file (the header)
  std::size_t column;  // in characters; 1 is the first
  std::string why;
};

// Turns a file's bytes into Windows-1251 text, in place:
// - a file that starts with the UTF-8 byte-order mark is UTF-8: the mark is dropped and the rest
//   converted;
// - a file with bytes above 127 that is well-formed UTF-8 throughout is converted the same way;
// - any other file is Windows-1251 already and stays byte for byte.
// Fails at the first zero byte, at the first ill-formed byte of a marked file and at the first
// character Windows-1251 has no byte for; `bytes` is unspecified then.
std::optional<TextFault> MakeAnsiText(std::string& bytes);

}  // namespace text
