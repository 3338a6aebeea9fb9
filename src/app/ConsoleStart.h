// The start-up when no display is available (or console mode is asked for): nothing may wait
// for an answer, so the usage and every message go to the console and the exit status tells the
// caller what happened.
#pragma once

#include <optional>
#include <ostream>
#include <string_view>

#include "app/CommandLine.h"
#include "app/ConsoleEncoding.h"
#include "app/ErrorDisplay.h"
#include "app/ExitCode.h"

namespace app {

// Where the console start-up writes, and how.
struct Console {
  std::ostream& out;
  std::ostream& err;
  // One updating line per walk on `err` (for a terminal).
  bool showProgress = false;
  ConsoleEncoding encoding = ConsoleEncoding();
};

// Installs further error handlers (the ODBC diagnostic list) on the console's error display.
using ErrorHandlerInstaller = void (*)(ErrorDisplay& display, std::ostream& err);

// Answers --help (usage and options on `out`), --version ("vestibo <version>" on `out`) and an
// unknown option (the parameter error, the option and the usage on `err`); nothing for a start
// that has none of them. These never open a window.
std::optional<ExitCode> AnswerOption(const ProgramOptions& options, const Console& console, std::string_view version);

// Runs the plan without a window. A command runs its conversion with a ConsoleReporter (a run
// that found nothing to do says so in one line on `out`); an unrecognised command prints the
// parameter error and the usage on `err`; a start without a command (there is no window to
// open) prints the usage on `err`.
ExitCode RunConsole(const StartupPlan& plan, const Console& console, ErrorHandlerInstaller installHandlers = nullptr);
// The same in UTF-8.
ExitCode RunConsole(const StartupPlan& plan, std::ostream& out, std::ostream& err, bool showProgress,
                    ErrorHandlerInstaller installHandlers = nullptr);

}  // namespace app
