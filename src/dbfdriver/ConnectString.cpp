#include "dbfdriver/ConnectString.h"

#include <algorithm>

namespace dbf {

namespace {

bool SameKey(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

}  // namespace

Attributes ParseConnectString(std::string_view text) {
  Attributes result;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t equals = text.find('=', i);
    const std::size_t semicolon = text.find(';', i);
    if (equals == std::string_view::npos || (semicolon != std::string_view::npos && semicolon < equals)) {
      if (semicolon == std::string_view::npos) break;
      i = semicolon + 1;  // a part without a value
      continue;
    }
    const std::string key(TrimBlanks(text.substr(i, equals - i)));
    std::size_t valueStart = equals + 1;
    while (valueStart < text.size() && text[valueStart] == ' ') ++valueStart;
    std::string value;
    if (valueStart < text.size() && text[valueStart] == '{') {
      // Braced: up to the closing brace, "}}" standing for one brace.
      std::size_t j = valueStart + 1;
      for (; j < text.size(); ++j) {
        if (text[j] == '}') {
          if (j + 1 < text.size() && text[j + 1] == '}') {
            value += '}';
            ++j;
            continue;
          }
          break;
        }
        value += text[j];
      }
      const std::size_t next = text.find(';', j);
      i = next == std::string_view::npos ? text.size() : next + 1;
    } else {
      const std::size_t end = semicolon == std::string_view::npos ? text.size() : semicolon;
      value = std::string(TrimBlanks(text.substr(valueStart, end - valueStart)));
      i = end + 1;
    }
    if (!key.empty()) result.emplace_back(key, value);
  }
  return result;
}

std::optional<std::string> FindAttribute(const Attributes& attributes, std::string_view key) {
  for (const auto& [name, value] : attributes)
    if (SameKey(name, key)) return value;
  return std::nullopt;
}

std::string BuildConnectString(const Attributes& attributes) {
  std::string text;
  for (const auto& [key, value] : attributes) {
    if (!text.empty()) text += ';';
    text += key + "=";
    if (value.find_first_of(";{}") != std::string::npos || value != TrimBlanks(value)) {
      text += '{';
      for (char c : value) text += c == '}' ? std::string("}}") : std::string(1, c);
      text += '}';
    } else {
      text += value;
    }
  }
  return text;
}

std::optional<std::string> DataDirectory(const Attributes& attributes) {
  for (const char* key : {"DefaultDir", "SourceDB", "DBQ"}) {
    auto value = FindAttribute(attributes, key);
    if (value && !value->empty()) return value;
  }
  return std::nullopt;
}

}  // namespace dbf
