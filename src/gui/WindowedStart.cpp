#include "gui/WindowedStart.h"

#include <QApplication>

#include "app/ODBCErrorHandler.h"
#include "gui/TmODBCErrorDlg.h"
#include "odbc/TmSession.h"

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
  // Start-up order: the default ODBC session (no ODBC call yet; a second call is a no-op when
  // main created it), the ODBC error dialog, the title, the window.
  odbc::DefaultSession();
  TmODBCErrorDlg odbcErrorDialog;
  QApplication::setApplicationName(
      QString::fromUtf8(core::kApplicationTitle.data(), static_cast<qsizetype>(core::kApplicationTitle.size())));
  TfrmMain window(plan.state);
  // ODBC errors go to the dialog; while it shows one, another passes on to the plain display.
  window.Errors().AddHandler(app::MakeODBCErrorHandler(
      [&odbcErrorDialog](std::vector<app::ODBCDiagnosticRecord> records, std::string message) {
        return odbcErrorDialog.ShowError(std::move(records), std::move(message));
      }));
  return app::ToInt(StartWindow(window, plan, [] { QApplication::exec(); }));
}

}  // namespace gui
