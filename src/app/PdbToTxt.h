// The "PDB -> TXT" conversion (document import: the handheld container Kestor_Out.pdb to office text files).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "app/Conversion.h"

namespace app {

// The container the handheld uploads.
inline constexpr std::string_view kOutContainerFile = "Kestor_Out.pdb";

// Runs the conversion with the directories and settings of `context.state`: unpacks
// Kestor_Out.pdb of the source directory into the destination directory and writes its orders,
// order lines and cash receipts as Order.txt, OrderItem.txt and Cash.txt there. The three files
// are written under hidden names and put in place together once all are complete, so a failure
// or a crash leaves the earlier files as they were. NothingToDo
// without the container or without the order databases in it; FailureReported with the
// unpacker's code; errors of the databases raise.
ConversionResult PdbToTxt(ConversionContext& context);

// The source directory as the conversions use it: blanks around it removed, then one trailing
// separator ("\" or "/").
std::string TrimSourceDirectory(std::string_view typed);

// The first steps of both document imports. The source directory is trimmed; without its
// Kestor_Out.pdb the result is NothingToDo. The container is unpacked into the destination
// directory (an unpacker code is shown: FailureReported), `pt` is pointed at the destination,
// and without the order or order-line database there the result is NothingToDo. Returns no
// result when the documents are ready to be read.
std::optional<ConversionResult> UnpackDocuments(ConversionContext& context);

// Adds `text` and CR LF at the end of the file, creating it when it does not exist. The file is
// replaced whole, never left half-written; an input/output error leaves it as it was and is
// otherwise ignored.
void AppendLine(const std::string& path, std::string_view text);

}  // namespace app
