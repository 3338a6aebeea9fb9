#include "app/TxtToPdb.h"

namespace app {

ConversionResult TxtToPdb(ConversionContext& context) { return ReportNotBuilt("TXT -> PDB", context); }

}  // namespace app
