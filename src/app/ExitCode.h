// Exit status of the program, for callers that run it unattended.
#pragma once

#include "app/ConversionRun.h"

namespace app {

// 0 when the conversion did its work or found its input absent; a distinct code for every way a
// start can fail, so that a calling script can tell them apart.
enum class ExitCode : int {
  Success = 0,              // conversion did its work, found nothing to do, or the window was closed
  ConversionFailed = 1,     // the conversion reported a failure (packer code, missing column ...)
  ConversionStopped = 2,    // an error stopped the conversion (bad number, database, ODBC ...)
  UnrecognisedCommand = 3,  // three or more arguments, the first no command
  NoDisplay = 4,            // no command and no display to open the window on; usage printed
};

ExitCode ExitCodeFor(RunOutcome outcome);

inline int ToInt(ExitCode code) { return static_cast<int>(code); }

}  // namespace app
