#include "gui/WindowedStart.h"

#include <QApplication>

#include "gui/TmODBCErrorDlg.h"

namespace gui {

app::ExitCode StartWindow(TfrmMain& window, const app::StartupPlan& plan, const std::function<void()>& runEventLoop) {
  app::ExitCode code = app::ExitCode::Success;
  if (plan.command) {
    const app::RunOutcome outcome = window.RunConversion(*plan.command);
    if (outcome != app::RunOutcome::Stopped) return app::ExitCodeFor(outcome);
    // The error has been shown; the person gets the window to try again.
    code = app::ExitCode::ConversionStopped;
  } else if (plan.unrecognisedCommand) {
    window.Reporter().ShowMessage(app::kParameterError);
    code = app::ExitCode::UnrecognisedCommand;
  } else if (plan.usageRequested) {
    window.Reporter().ShowMessage(app::kUsageMessage);
  }
  window.show();
  runEventLoop();
  return code;
}

int RunWindowed(int& argc, char** argv, const app::StartupPlan& plan) {
  QApplication application(argc, argv);
  // Created first, so that errors met while the window starts up can already be shown in it.
  // The handler that turns ODBC errors into its records joins window.Errors() with the ODBC
  // library.
  TmODBCErrorDlg odbcErrorDialog;
  QApplication::setApplicationName(
      QString::fromUtf8(app::kApplicationTitle.data(), static_cast<qsizetype>(app::kApplicationTitle.size())));
  TfrmMain window(plan.state);
  return app::ToInt(StartWindow(window, plan, [] { QApplication::exec(); }));
}

}  // namespace gui
