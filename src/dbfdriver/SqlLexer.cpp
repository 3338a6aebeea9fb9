#include "dbfdriver/SqlLexer.h"

#include "dbfdriver/DriverError.h"

namespace dbf::sql {

namespace {

bool IsWordStart(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80; }
bool IsWordChar(unsigned char c) { return IsWordStart(c) || (c >= '0' && c <= '9') || c == '$' || c == '#'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

[[noreturn]] void Fail(std::size_t position, const std::string& what) {
  throw DriverError("42000", "Syntax error at position " + std::to_string(position) + ": " + what);
}

}  // namespace

std::string Describe(const Token& token) {
  if (token.kind == Token::Kind::End) return "unexpected end of statement";
  std::string shown = token.text.substr(0, 40);
  if (token.kind == Token::Kind::String) shown = "'" + shown + "'";
  if (token.kind == Token::Kind::QuotedName) shown = "\"" + shown + "\"";
  return "unexpected \"" + shown + "\"";
}

std::vector<Token> Tokenize(std::string_view text) {
  std::vector<Token> tokens;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
      ++i;
      continue;
    }
    Token token;
    token.position = i + 1;
    if (c == '\'' ) {
      token.kind = Token::Kind::String;
      for (++i;; ++i) {
        if (i >= text.size()) Fail(token.position, "unterminated string");
        if (text[i] == '\'') {
          if (i + 1 < text.size() && text[i + 1] == '\'') {
            token.text += '\'';
            ++i;
            continue;
          }
          ++i;
          break;
        }
        token.text += text[i];
      }
    } else if (c == '"' || c == '[' || c == '`') {
      const char close = c == '[' ? ']' : c;
      token.kind = Token::Kind::QuotedName;
      const std::size_t end = text.find(close, i + 1);
      if (end == std::string_view::npos) Fail(token.position, "unterminated quoted name");
      token.text = std::string(text.substr(i + 1, end - i - 1));
      i = end + 1;
    } else if (IsDigit(c) || (c == '.' && i + 1 < text.size() && IsDigit(text[i + 1]))) {
      token.kind = Token::Kind::Number;
      const std::size_t start = i;
      while (i < text.size() && IsDigit(text[i])) ++i;
      if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i])) ++i;
      }
      if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        if (j < text.size() && IsDigit(text[j])) {
          i = j;
          while (i < text.size() && IsDigit(text[i])) ++i;
        }
      }
      token.text = std::string(text.substr(start, i - start));
    } else if (IsWordStart(static_cast<unsigned char>(c))) {
      token.kind = Token::Kind::Word;
      const std::size_t start = i;
      while (i < text.size() && IsWordChar(static_cast<unsigned char>(text[i]))) ++i;
      token.text = std::string(text.substr(start, i - start));
    } else if (c == '?') {
      token.kind = Token::Kind::Parameter;
      token.text = "?";
      ++i;
    } else {
      token.kind = Token::Kind::Symbol;
      const std::string_view two = text.substr(i, 2);
      if (two == "<>" || two == "!=" || two == "<=" || two == ">=") {
        token.text = std::string(two);
        i += 2;
      } else if (std::string_view("(),*=<>.;-+").find(c) != std::string_view::npos) {
        token.text = std::string(1, c);
        ++i;
      } else {
        Fail(token.position, "unexpected character \"" + std::string(1, c) + "\"");
      }
    }
    tokens.push_back(std::move(token));
  }
  Token end;
  end.position = text.size() + 1;
  tokens.push_back(end);
  return tokens;
}

}  // namespace dbf::sql
