// The start-up with a display: the window, message boxes that wait for the person.
#pragma once

#include <QLocale>
#include <QTranslator>
#include <functional>
#include <memory>
#include <ostream>
#include <vector>

#include "app/CommandLine.h"
#include "app/ExitCode.h"
#include "gui/TfrmMain.h"

namespace gui {

// Carries out the plan on a window that exists but is not shown yet; `runEventLoop` runs the
// window's message loop until it is closed. A command runs at once and the program then ends
// without showing the window (a run that found nothing to do says so in one line on `out`),
// unless an error stopped the conversion: the window then opens. An unrecognised command shows
// the parameter error and opens the window; a single argument with "?" shows the usage and
// opens the window.
app::ExitCode StartWindow(TfrmMain& window, const app::StartupPlan& plan, const std::function<void()>& runEventLoop,
                          std::ostream& out);

// Installs Qt's own translations for `locale` (the buttons and the folder chooser of Qt's
// dialogs); none are installed when Qt has none for that language. The translators stay
// installed while the returned objects live.
std::vector<std::unique_ptr<QTranslator>> InstallQtTranslations(const QLocale& locale);

// The whole windowed program: the application object, its translations, title and icon, the
// ODBC error dialog, the main window and StartWindow. Returns the exit status.
int RunWindowed(int& argc, char** argv, const app::StartupPlan& plan);

}  // namespace gui
