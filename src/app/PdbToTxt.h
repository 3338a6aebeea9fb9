// The "PDB -> TXT" conversion (document import: the handheld container Kestor_Out.pdb to office text files).
#pragma once

#include "app/Conversion.h"

namespace app {

// Runs the conversion with the directories and settings of `context.state`.
ConversionResult PdbToTxt(ConversionContext& context);

}  // namespace app
