// The "PDB -> DBF" conversion (document import: the handheld container Kestor_Out.pdb to dBase tables through ODBC).
#pragma once

#include "app/Conversion.h"

namespace app {

// Runs the conversion with the directories and settings of `context.state`.
ConversionResult PdbToDbf(ConversionContext& context);

}  // namespace app
