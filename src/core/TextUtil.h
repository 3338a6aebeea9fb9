// Small text helpers on byte strings (Windows-1251 text: one character, one byte).
#pragma once

#include <string>
#include <string_view>

namespace core {

// The first n characters (all of them when shorter).
inline std::string LeftStr(std::string_view text, std::size_t n) { return std::string(text.substr(0, n)); }
// The last n characters (all of them when shorter).
inline std::string RightStr(std::string_view text, std::size_t n) {
  return std::string(text.size() > n ? text.substr(text.size() - n) : text);
}
// Padded on the left with fill to width; a longer text keeps its last `width` characters.
inline std::string PadLeft(std::string_view text, std::size_t width, char fill) {
  if (text.size() >= width) return RightStr(text, width);
  return std::string(width - text.size(), fill) + std::string(text);
}
// Every occurrence of `from` replaced by `to`.
inline std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(text);
  std::string out;
  std::size_t pos = 0;
  for (auto hit = text.find(from); hit != std::string_view::npos; hit = text.find(from, pos)) {
    out.append(text.substr(pos, hit - pos)).append(to);
    pos = hit + from.size();
  }
  out.append(text.substr(pos));
  return out;
}

}  // namespace core
