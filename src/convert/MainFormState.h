// The state of the main window that the conversions read, kept free of any toolkit so that the
// command line, the console and the Qt window share one model.
#pragma once

#include <string>

#include "convert/CategoryTree.h"

namespace convert {

struct MainFormState {
  // When true the conversions show their completion messages; errors are shown regardless.
  bool Interactive = false;
  convert::CategorySource CategorySource = convert::CategorySource::None;
  // The source directory as the TXT -> PDB conversion last copied it from edtSource.
  std::string SourceDir;
  // The ODBC driver for PDB -> DBF; empty means the conversion's default driver.
  std::string OdbcDriver;
  // The texts of the two directory boxes, used exactly as typed (native file-system bytes).
  std::string edtSource;
  std::string edtDest;
};

}  // namespace convert
