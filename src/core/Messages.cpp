#include "core/Messages.h"

#include <algorithm>
#include <cstdlib>

namespace core {

MessageLanguage UserMessageLanguage() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value && *value) {
      const bool pt = (value[0] == 'p' || value[0] == 'P') && (value[1] == 't' || value[1] == 'T');
      return pt ? MessageLanguage::Portuguese : MessageLanguage::English;
    }
  }
  return MessageLanguage::English;
}

std::string MessageTable::Load(int id, MessageLanguage language) const {
  const int even = id - (id & 1);
  const bool portuguese = (id & 1) || language == MessageLanguage::Portuguese;
  auto it = std::lower_bound(texts_.begin(), texts_.end(), even,
                             [](const MessageText& m, int key) { return m.id < key; });
  if (it == texts_.end() || it->id != even) return "Message " + std::to_string(id);
  return std::string(portuguese ? it->portuguese : it->english);
}

std::string WithContext(std::string_view message, std::string_view context) {
  std::string text(message);
  if (!context.empty()) text.append("\n").append(context);
  return text;
}

}  // namespace core
