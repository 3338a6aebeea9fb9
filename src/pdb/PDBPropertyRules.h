// The property checks of the container and the data set: the shared rules of core, reported
// with the messages of the checking unit.
#pragma once

#include <string_view>

#include "core/Messages.h"
#include "core/PalmPropertyRules.h"

namespace pdb {

// The two messages of a property check: the first for a wrong length (or extension), the
// second for characters that are not allowed. Raised with codes 1 and 2.
struct TPropertyMessageIds {
  int wrongLength;
  int invalidCharacters;
};

// Raises EPDBException with the matching message of the table when changing the property from
// `current` to `value` breaks a rule (core::CheckPalmProperty).
void CheckProperty(core::PalmProperty property, std::string_view current, std::string_view value,
                   const core::MessageTable& messages, TPropertyMessageIds ids);

}  // namespace pdb
