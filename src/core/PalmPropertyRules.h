// The rules a Palm database's identifying properties follow before a database takes them: the
// file name, the database name, the creator ID and the database type. Both Palm database
// libraries apply them, each reporting a broken rule with its own messages.
#pragma once

#include <cstdint>
#include <string_view>

namespace core {

enum class PalmProperty { FileName, DatabaseName, CreatorID, DatabaseType };

// The rule a new value breaks; its number is the error code the libraries raise it with.
enum class PalmPropertyFault : std::uint16_t {
  None = 0,
  WrongLength = 1,        // or, for the file name, the extension is not ".PDB"
  InvalidCharacters = 2,
};

// True when the text holds nothing but blanks.
bool IsBlankText(std::string_view text);

// The fault of changing a property from `current` to `value`. A value equal to the current one
// (compared with case) or blank passes unchecked. The length is checked before the characters:
// - file name: ends with ".PDB" in any case; printable ASCII (32..126) only;
// - database name: at most 31 characters once blanks are trimmed; printable ASCII only;
// - creator ID, database type: 4 characters once blanks are trimmed; letters and digits only.
PalmPropertyFault CheckPalmProperty(PalmProperty property, std::string_view current, std::string_view value);

}  // namespace core
