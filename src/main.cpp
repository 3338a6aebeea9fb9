// Vestibo: converts between the office's text files and dBase tables and the handheld's Palm
// databases. With a display it opens its window (or runs one command and ends); without one, or
// with one that cannot be opened, or with --console, it runs a command on the console and never
// waits for an answer.
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "app/CommandLine.h"
#include "app/ConsoleStart.h"
#include "app/ExitCode.h"
#include "app/ODBCErrorHandler.h"
#include "odbc/TmSession.h"

#ifdef VESTIBO_WITH_GUI
#include "gui/DisplayProbe.h"
#include "gui/WindowedStart.h"
#endif

#ifndef VESTIBO_VERSION
#define VESTIBO_VERSION "unknown"
#endif

namespace {

bool StderrIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(STDERR_FILENO) != 0;
#endif
}

}  // namespace

int main(int argc, char** argv) {
  const app::Console console{std::cout, std::cerr, StderrIsTerminal(), app::ConsoleEncoding::ForLocale()};
  try {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const app::ProgramOptions options = app::ParseProgramOptions(args);
    if (const auto answered = app::AnswerOption(options, console, VESTIBO_VERSION)) return app::ToInt(*answered);
    const app::StartupPlan plan = app::EvaluateCommandLine(options.arguments, app::DefaultKeyDirectory());
    // The process-wide ODBC objects exist before anything can raise an ODBC error (no ODBC call
    // is made here).
    odbc::DefaultSession();
#ifdef VESTIBO_WITH_GUI
    if (!options.console && gui::DisplayCanBeOpened(argc, argv)) return gui::RunWindowed(argc, argv, plan);
#endif
    return app::ToInt(app::RunConsole(plan, console, app::InstallODBCConsoleHandler));
  } catch (const std::exception& e) {
    std::cerr << core::kApplicationTitle << ": " << console.encoding(e.what()) << '\n';
  } catch (...) {
    std::cerr << core::kApplicationTitle << ": Unknown error\n";
  }
  return app::ToInt(app::ExitCode::ConversionStopped);
}
