// The "PDB -> DBF" conversion (document import: the handheld container Kestor_Out.pdb to dBase
// tables written through an ODBC driver).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "convert/Conversion.h"

namespace convert {

// The driver used when the command line and the window name none.
inline constexpr std::string_view kDefaultOdbcDriver = "Microsoft dBase Driver (*.dbf)";

// The two sets of table definitions: Visual FoxPro drivers want the full path in CREATE TABLE,
// other numeric types and transactions; every other driver gets the dBase set.
enum class DbfVariant { dBase, FoxPro };

// FoxPro when the driver name, upper-cased in the user's locale, contains "VFP".
DbfVariant DbfVariantFor(std::string_view driverName);

// The connect lines for `driverName` writing into `destDir` (as typed).
std::vector<std::string> DbfConnectParams(DbfVariant variant, std::string_view driverName, std::string_view destDir);

// Runs the conversion with the directories and settings of `context.state`: unpacks
// Kestor_Out.pdb of the source directory into the destination directory, creates order.dbf,
// orderitem.dbf and orders.dbf there through the ODBC driver `OdbcDriver` (set to
// kDefaultOdbcDriver when empty) and fills them; the unpacked databases are removed at the end.
// NothingToDo without the container or its order databases; FailureReported with the
// unpacker's code; ODBC errors (odbc::ESQLerror) and errors of the databases raise, and the
// connection is closed whichever way the run ends.
ConversionResult PdbToDbf(ConversionContext& context);

}  // namespace convert
