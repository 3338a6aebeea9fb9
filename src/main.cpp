// Vestibo: converts between the office's text files and dBase tables and the handheld's Palm
// databases. With a display it opens its window (or runs one command and ends); without one it
// runs a command on the console and never waits for an answer.
#include <cstdio>
#include <cstdlib>
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
#include "gui/WindowedStart.h"
#endif

namespace {

#ifdef VESTIBO_WITH_GUI
bool HasDisplay() {
#ifdef _WIN32
  return true;
#else
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
#endif
}
#endif

bool StderrIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(STDERR_FILENO) != 0;
#endif
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const app::StartupPlan plan = app::EvaluateCommandLine(args, app::DefaultKeyDirectory());
    // The process-wide ODBC objects exist before anything can raise an ODBC error (no ODBC call
    // is made here).
    odbc::DefaultSession();
#ifdef VESTIBO_WITH_GUI
    if (HasDisplay()) return gui::RunWindowed(argc, argv, plan);
#endif
    return app::ToInt(app::RunConsole(plan, std::cout, std::cerr, StderrIsTerminal(), app::InstallODBCConsoleHandler));
  } catch (const std::exception& e) {
    std::cerr << core::kApplicationTitle << ": " << e.what() << '\n';
  } catch (...) {
    std::cerr << core::kApplicationTitle << ": Unknown error\n";
  }
  return app::ToInt(app::ExitCode::ConversionStopped);
}
