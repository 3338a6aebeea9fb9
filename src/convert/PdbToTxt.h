// The "PDB -> TXT" conversion (document import: the handheld container Kestor_Out.pdb to office text files).
#pragma once

#include "convert/Conversion.h"

namespace convert {

// Runs the conversion with the directories and settings of `context.state`: unpacks
// Kestor_Out.pdb of the source directory into the destination directory and writes its orders,
// order lines and cash receipts as Order.txt, OrderItem.txt and Cash.txt there. The three files
// are written under hidden names and put in place together once all are complete, so a failure
// or a crash leaves the earlier files as they were. Orders are written when the container
// carried both order databases, receipts when it carried the cash database. NothingToDo
// without the container or without either; FailureReported with the unpacker's code; errors
// of the databases (a carried one that does not read included) raise.
ConversionResult PdbToTxt(ConversionContext& context);

}  // namespace convert
