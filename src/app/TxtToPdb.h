// The "TXT -> PDB" conversion (reference data export: office text files to the handheld container Kestor_In.pdb).
#pragma once

#include "app/Conversion.h"

namespace app {

// Runs the conversion with the directories and settings of `context.state`.
ConversionResult TxtToPdb(ConversionContext& context);

}  // namespace app
