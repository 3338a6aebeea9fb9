#include "app/PdbToDbf.h"

namespace app {

ConversionResult PdbToDbf(ConversionContext& context) { return ReportNotBuilt("PDB -> DBF", context); }

}  // namespace app
