// The start-up with a display: the window, message boxes that wait for the person.
#pragma once

#include <functional>

#include "app/CommandLine.h"
#include "app/ExitCode.h"
#include "gui/TfrmMain.h"

namespace gui {

// Carries out the plan on a window that exists but is not shown yet; `runEventLoop` runs the
// window's message loop until it is closed. A command runs at once and the program then ends
// without showing the window, unless an error stopped the conversion: the window then opens.
// An unrecognised command shows the parameter error and opens the window; a single argument
// with "?" shows the usage and opens the window.
app::ExitCode StartWindow(TfrmMain& window, const app::StartupPlan& plan, const std::function<void()>& runEventLoop);

// The whole windowed program: the application object, its title, the ODBC error dialog, the
// main window and StartWindow. Returns the exit status.
int RunWindowed(int& argc, char** argv, const app::StartupPlan& plan);

}  // namespace gui
