// The first steps both document imports ("PDB -> TXT" and "PDB -> DBF") share: finding the
// container the handheld uploaded and unpacking its databases.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "convert/Conversion.h"

namespace convert {

// The container the handheld uploads.
inline constexpr std::string_view kOutContainerFile = "Kestor_Out.pdb";

// The source directory as the conversions use it: blanks around it removed, then one trailing
// separator ("\" or "/").
std::string TrimSourceDirectory(std::string_view typed);

// The source directory is trimmed; without its Kestor_Out.pdb the result is NothingToDo. The
// container is unpacked into the destination directory (an unpacker code is shown:
// FailureReported), `pt` is pointed at the destination, and without the order or order-line
// database there the result is NothingToDo. Returns no result when the documents are ready to
// be read.
std::optional<ConversionResult> UnpackDocuments(ConversionContext& context);

}  // namespace convert
