// Library messages in English and Portuguese.
//
// A message is a pair of texts under one even id: the English text at the id and the Portuguese
// one at id + 1. Portuguese is chosen when the user's locale language is Portuguese.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace core {

enum class MessageLanguage { English, Portuguese };

// Portuguese when LC_ALL, LC_MESSAGES or LANG (the first one set) begins with "pt", any case.
MessageLanguage UserMessageLanguage();

struct MessageText {
  int id;  // even
  std::string_view english;
  std::string_view portuguese;
};

// A library's message table, sorted by id.
class MessageTable {
 public:
  constexpr explicit MessageTable(std::span<const MessageText> texts) : texts_(texts) {}
  // The text of id (even: English, odd: Portuguese) or of the even id in the given language.
  std::string Load(int id, MessageLanguage language) const;
  std::string Load(int id) const { return Load(id, UserMessageLanguage()); }

 private:
  std::span<const MessageText> texts_;
};

// `message` with `context` (which file, line, database, and the system's reason) on a second
// line: the first line stays the text the person knows from before.
std::string WithContext(std::string_view message, std::string_view context);

}  // namespace core
