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

// The document databases the container carried.
struct CarriedDocuments {
  bool orders = false;
  bool orderItems = false;
  bool cash = false;

  // Orders are read only together with their lines.
  bool OrdersWithLines() const { return orders && orderItems; }
};

// The source directory is trimmed; without its Kestor_Out.pdb the result is NothingToDo. The
// document databases an earlier run left in the destination are deleted, so that only what this
// container carries is read; then the container is unpacked there (an unpacker code is shown:
// FailureReported) and `pt` is pointed at the destination. Returns no result when the documents
// are ready to be read, with `carried` telling which databases the container held; one of them
// whose file does not read as a document database raises core::FileError naming it.
std::optional<ConversionResult> UnpackDocuments(ConversionContext& context, CarriedDocuments& carried);

}  // namespace convert
