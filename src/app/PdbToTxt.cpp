#include "app/PdbToTxt.h"

namespace app {

ConversionResult PdbToTxt(ConversionContext& context) { return ReportNotBuilt("PDB -> TXT", context); }

}  // namespace app
