#include "pdb/PDBPropertyRules.h"

#include "pdb/PDBDataGlobals.h"

namespace pdb {

void CheckProperty(core::PalmProperty property, std::string_view current, std::string_view value,
                   const core::MessageTable& messages, TPropertyMessageIds ids) {
  switch (core::CheckPalmProperty(property, current, value)) {
    case core::PalmPropertyFault::None:
      return;
    case core::PalmPropertyFault::WrongLength:
      RaisePDBError(messages, ids.wrongLength, 1);
    case core::PalmPropertyFault::InvalidCharacters:
      RaisePDBError(messages, ids.invalidCharacters, 2);
  }
}

}  // namespace pdb
