// The checks a Palm database's identifying properties pass before they are taken: the file
// name, the database name, the creator ID and the database type. The file container and the
// data set apply the same rules, each reporting with its own messages.
#pragma once

#include <string_view>

#include "core/Messages.h"

namespace pdb {

// The two messages of a property check: the first for a wrong length (or extension), the
// second for characters that are not allowed. Raised with codes 1 and 2.
struct TPropertyMessageIds {
  int wrongLength;
  int invalidCharacters;
};

// True when the text holds nothing but blanks.
bool IsBlankText(std::string_view text);

// Each check passes a value that equals the current one or is blank; otherwise it raises
// EPDBException with the matching message of the table.
// The file name needs the extension ".PDB" (any case) and printable ASCII only.
void CheckPDBFilename(std::string_view current, std::string_view value, const core::MessageTable& messages,
                      TPropertyMessageIds ids);
// The database name holds at most 31 characters (blanks trimmed), printable ASCII only.
void CheckDatabaseName(std::string_view current, std::string_view value, const core::MessageTable& messages,
                       TPropertyMessageIds ids);
// A creator ID or database type is four letters or digits (blanks trimmed for the length).
void CheckFourCharCode(std::string_view current, std::string_view value, const core::MessageTable& messages,
                       TPropertyMessageIds ids);

}  // namespace pdb
