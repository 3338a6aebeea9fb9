// Splits a statement text into words, names, literals and symbols, each with its position.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dbf::sql {

struct Token {
  enum class Kind { Word, QuotedName, String, Number, Parameter, Symbol, End };
  Kind kind = Kind::End;
  std::string text;       // a word as written, a name or string without its quotes
  std::size_t position = 0;  // 1-based character position in the statement
};

// Throws DriverError 42000 on an unterminated quote or a character that starts no token.
std::vector<Token> Tokenize(std::string_view text);

// "position 12 near 'FOO'" style description of a token, for error messages.
std::string Describe(const Token& token);

}  // namespace dbf::sql
