// The "TXT -> PDB" conversion (reference data export: office text files to the handheld container Kestor_In.pdb).
#pragma once

#include <stdexcept>
#include <string_view>

#include "convert/Conversion.h"

namespace convert {

// The container the conversion makes in the destination directory.
inline constexpr std::string_view kInContainerFile = "Kestor_In.pdb";

// A database that would need more records than a Palm database can hold (its count is 16 bits).
class ETooManyRecords : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Runs the conversion with the directories and settings of `context.state`: writes the eight
// handheld databases from product.txt, category.txt, customer.txt, note1.txt and note2.txt of
// the source directory into the destination directory, packs them into Kestor_In.pdb and
// deletes them. NothingToDo without Product.txt. A missing required column or a packer code is
// reported (FailureReported); a malformed number, too many records or a library error raise.
// Either way no container is made and the data set is left closed; an earlier Kestor_In.pdb is
// replaced only by a complete new one.
ConversionResult TxtToPdb(ConversionContext& context);

}  // namespace convert
