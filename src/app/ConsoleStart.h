// The start-up when no display is available: nothing may wait for an answer, so the usage and
// every message go to the console and the exit status tells the caller what happened.
#pragma once

#include <ostream>

#include "app/CommandLine.h"
#include "app/ErrorDisplay.h"
#include "app/ExitCode.h"

namespace app {

// Installs further error handlers (the ODBC diagnostic list) on the console's error display.
using ErrorHandlerInstaller = void (*)(ErrorDisplay& display, std::ostream& err);

// Runs the plan without a window. A command runs its conversion with a ConsoleReporter; an
// unrecognised command prints the parameter error and the usage on `err`; a start without a
// command (there is no window to open) prints the usage on `err` with line feeds.
ExitCode RunConsole(const StartupPlan& plan, std::ostream& out, std::ostream& err, bool showProgress,
                    ErrorHandlerInstaller installHandlers = nullptr);

}  // namespace app
