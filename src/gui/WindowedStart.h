// The start-up with a display: the window, message boxes that wait for the person.
#pragma once

#include "app/CommandLine.h"

namespace gui {

// Runs the plan with a window and returns the exit status. A command runs before the window is
// shown; the program then ends unless an error stopped the conversion, in which case the window
// opens. An unrecognised command shows the parameter error and opens the window.
int RunWindowed(int& argc, char** argv, const app::StartupPlan& plan);

}  // namespace gui
